// Shows the main window in a playing state over the fake decoder and saves a picture of it.
//
//   main-window-shot OUT.png [SECONDS [CONTROL]]
//
// The window is grabbed into OUT.png. With SECONDS it then stays on screen that long, with the
// tooltip of CONTROL (an object name such as BitBtn_auto_cd) shown, so that a screen grab
// (import -window root) can see the tooltip too.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "catalogue/catalogue.h"
#include "catalogue/program_state.h"
#include "fakes/vbmp3_fake.h"
#include "main/main_window.h"
#include "platform/paths.h"

namespace {

void Wait(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(10);
  }
}

bool CreateTrack(const QString& root, const char* relative) {
  const QString path = root + "/" + QString::fromUtf8(relative);
  if (!QDir().mkpath(QFileInfo(path).path())) return false;
  QFile file(path);
  return file.open(QIODevice::WriteOnly);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.png [SECONDS [CONTROL]]\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  using namespace veldan;

  QTemporaryDir dir;
  const QString root = dir.path() + "/Music";
  for (const char* track : {"Morning/01 Sunrise.mp3", "Morning/02 Daybreak.mp3",
                            "Morning/03 Blue Hour.mp3", "Evening/01 Dusk.mp3"}) {
    if (!CreateTrack(root, track)) return 1;
  }

  TForm_main window;
  window.Timer1->stop();
  if (!HostPathToProgram(root.toStdString(), g_state.starting_folder, kTextSize)) return 1;
  window.ShowStartingFolderInTitle();
  BuildCatalogue(g_state.starting_folder);
  window.Timer1->stop();
  g_state.catalogue.current = 3;
  window.ShowTrackTitles();

  fake::SetTrackInfo(fake::MakeTrackInfo("Blue Hour", "", 2, 192, 44100, 245));
  window.Controller().StartPlayback();
  fake::SetDecoderPosition(97);
  window.Timer1Timer();

  window.show();
  Wait(500);
  if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "could not write %s\n", argv[1]);
    return 1;
  }
  if (argc >= 3) {
    if (argc >= 4) {
      if (auto* control = window.findChild<QWidget*>(QString::fromLatin1(argv[3]))) {
        QToolTip::showText(control->mapToGlobal(QPoint(10, control->height())), control->toolTip(),
                           control);
      }
    }
    Wait(std::atoi(argv[2]) * 1000);
  }
  return 0;
}
