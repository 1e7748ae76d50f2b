// Renders the options dialog as the user meets it into a PNG, for looking at the layout:
//   options_dialog_screenshot OUT.png
// Run it on a real display (Xvfb) so the fonts and the style are the ones the program gets. It
// builds a small music tree in a temporary folder as drive Q:, opens the dialog there with a few
// equalizer values set, and grabs the dialog's client area.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalogue/program_state.h"
#include "opt/options_dialog.h"
#include "platform/drives.h"
#include "ui/design_font.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  veldan::MapDesignFonts();

  QTemporaryDir tree;
  const QString root = tree.path() + "/music";
  for (const char* folder : {"Jazz", "Live 1998", "Rock/Disc 1", "Rock/Disc 2", "Classics"}) {
    QDir().mkpath(root + "/" + QString::fromUtf8(folder));
  }
  for (const char* file : {"01 Intro.mp3", "02 夜明け.mp3", "03 Blue.mp3", "cover.jpg"}) {
    QFile(root + "/Rock/" + QString::fromUtf8(file)).open(QIODevice::WriteOnly);
  }
  const std::string table = "Q=fixed:" + root.toStdString() + ":MUSIC;R=cdrom:/nonexistent";
  setenv("VELDAN_DRIVES", table.c_str(), 1);
  veldan::ReloadDriveTable();
  QDir::setCurrent(root + "/Rock");

  veldan::ResetProgramState();
  const int32_t setting[10] = {60, 40, 20, 0, -20, 0, 30, 50, 70, 120};
  for (int band = 0; band < 10; ++band) veldan::g_state.applied_equalizer[band] = setting[band];

  veldan::TForm_option dialog;
  dialog.show();
  int status = 1;
  QTimer::singleShot(300, &dialog, [&] {
    status = dialog.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
    dialog.QDialog::done(veldan::kModalCancel);
    app.quit();
  });
  app.exec();
  return status;
}
