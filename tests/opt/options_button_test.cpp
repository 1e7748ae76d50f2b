// The main window's Option button with the real main window around the dialog.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "catalogue/program_state.h"
#include "fakes/vbmp3_fake.h"
#include "main/main_window.h"
#include "opt/dialog_driver.h"
#include "opt/options_dialog.h"
#include "support/temp_drives.h"
#include "ui/folder_list.h"

namespace veldan {
namespace {

TEST(OptionsButtonTest, OkOnADriveRootRetitlesTheMainWindowAndPlaysNothing) {
  ResetProgramState();
  fake::ResetDecoder();
  test::TempDrives drives;
  drives.WriteFile(drives.Q("b.mp3"));
  drives.WriteFile(drives.Q("Music/a.mp3"));
  drives.EnterFolder(drives.Q("Music"));
  TForm_main window;
  window.Timer1->stop();
  TForm_option dialog;
  fake::ClearCallLog();

  const int result = test::ExecWith(
      dialog,
      [&] {
        test::DoubleClickItem(dialog.DirectoryListBox_source, "Q:\\");
        dialog.BitBtn1->click();
      },
      [&] {
        window.BitBtn_options->click();
        return dialog.result();
      });
  EXPECT_EQ(result, kModalOk);
  EXPECT_STREQ(g_state.starting_folder, "Q:");
  EXPECT_EQ(window.windowTitle(), "VELDAN [Q:]");
  EXPECT_EQ(g_state.catalogue.count, 2);
  EXPECT_EQ(g_state.catalogue.current, 0);
  EXPECT_TRUE(window.Label_song->text().startsWith("b"));
  EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"setEqualizer"});
}

}  // namespace
}  // namespace veldan
