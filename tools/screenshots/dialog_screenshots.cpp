// Renders the selection dialog, the drive dialog, the version box and the help viewer with
// sample contents into PNG files, for the documentation. Run on a display (Xvfb will do):
//   dialog_screenshots OUTPUT_FOLDER HELP_FILE
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "catalogue/program_state.h"
#include "dsel/form_drive_sel.h"
#include "help/help_viewer.h"
#include "platform/drives.h"
#include "platform/paths.h"
#include "sel/form_sel.h"
#include "ui/design_font.h"
#include "ver/form_version.h"

namespace {

void Settle() {
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QThread::msleep(20);
  }
}

bool Save(QWidget& widget, const QString& folder, const char* name) {
  widget.show();
  Settle();
  const QString path = QDir(folder).filePath(name);
  const bool ok = widget.grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.toUtf8().constData());
  widget.hide();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER HELP_FILE\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  veldan::MapDesignFonts();
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  using namespace veldan;
  ResetProgramState();

  QTemporaryDir discs;
  const std::string e = discs.filePath("e").toStdString();
  const std::string f = discs.filePath("f").toStdString();
  QDir().mkpath(QString::fromStdString(e));
  QDir().mkpath(QString::fromStdString(f));
  const std::string drives = "E=cdrom:" + e + ":DISC01;F=cdrom:" + f;
  setenv("VELDAN_DRIVES", drives.c_str(), 1);
  ReloadDriveTable();

  const char* tracks[] = {"/srv/music/01 Opening.mp3",
                          "/srv/music/02 Morning Walk.mp3",
                          "/srv/music/Live/01 Intro.mp3",
                          "/srv/music/Live/02 Encore.mp3",
                          "/srv/music/夏の思い出/01 海辺.mp3",
                          "/srv/music/夏の思い出/02 花火.mp3",
                          "/srv/music/夏の思い出/03 夕立.mp3",
                          "/srv/music/Björk/Jóga.mp3",
                          "/srv/music/Classics/Bach/Air.mp3",
                          "/srv/music/Classics/Bach/Prelude.mp3",
                          "/srv/music/Classics/Satie/Gymnopédie No.1.mp3"};
  for (const char* track : tracks) {
    char* slot = g_state.catalogue.entries[g_state.catalogue.count];
    if (HostPathToProgram(track, slot, kTextSize)) ++g_state.catalogue.count;
  }
  g_state.catalogue.current = 5;
  HostPathToProgram(QCoreApplication::applicationDirPath().toStdString(), g_state.program_folder,
                    kTextSize);

  TForm_sel sel;
  bool ok = Save(sel, out, "dialog-select.png");

  std::memcpy(g_state.ready_drives, "EF", 2);
  g_state.ready_drive_count = 2;
  TForm_drive_sel drive_sel;
  ok = Save(drive_sel, out, "dialog-drive-select.png") && ok;

  TForm_version version;
  ok = Save(version, out, "dialog-version.png") && ok;

  QTemporaryDir program_folder;
  QFile::copy(QString::fromLocal8Bit(argv[2]), program_folder.filePath("VELDAN.HLP"));
  HostPathToProgram(program_folder.path().toStdString(), g_state.program_folder, kTextSize);
  QWidget owner;
  HelpViewer* viewer = ShowProgramHelp(&owner);
  ok = Save(*viewer, out, "help-viewer.png") && ok;
  viewer->Browser()->setSource(QUrl("#select"));
  ok = Save(*viewer, out, "help-viewer-select.png") && ok;

  HostPathToProgram(discs.path().toStdString(), g_state.program_folder, kTextSize);
  ShowProgramHelp(&owner);
  ok = Save(*viewer, out, "help-viewer-missing.png") && ok;
  return ok ? 0 : 1;
}
