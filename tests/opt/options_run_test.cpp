#include "opt/options_run.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QSlider>
#include <cstring>
#include <string>
#include <vector>

#include "catalogue/program_state.h"
#include "fakes/vbmp3_fake.h"
#include "opt/dialog_driver.h"
#include "support/temp_drives.h"
#include "ui/folder_list.h"

namespace veldan {
namespace {

// Records what the main window was asked to do, with the state it saw at that moment.
class RecordingHost : public OptionsDialogHost {
 public:
  void ShowStartingFolderInTitle() override {
    events.push_back(std::string("VELDAN [") + g_state.starting_folder + "]");
  }
  void PumpMessages() override { events.push_back("pump"); }
  void ShowTrackTitles() override {
    events.push_back("titles " + std::to_string(g_state.catalogue.count) + " at " +
                     std::to_string(g_state.catalogue.current));
  }
  std::vector<std::string> events;
};

class OptionsRunTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    fake::ResetDecoder();
    for (const char* file : {"top.mp3", "Music/a.mp3", "Music/Live/b.mp3"}) {
      drives_.WriteFile(drives_.Q(file));
    }
    drives_.EnterFolder(drives_.Q("Music"));
    std::strcpy(g_state.starting_folder, "C:\\elsewhere");
    dialog_ = std::make_unique<TForm_option>();  // opens at the process's folder
  }
  // Runs the options dialog as the main window's Option button does, with steps inside it.
  int Run(const std::function<void()>& steps) {
    host_.events.clear();
    return test::ExecWith(*dialog_, steps, [this] { return RunOptionsDialog(host_); });
  }
  static std::vector<int32_t> Applied() {
    return {g_state.applied_equalizer, g_state.applied_equalizer + kEqualizerBands};
  }

  test::TempDrives drives_;
  std::unique_ptr<TForm_option> dialog_;
  RecordingHost host_;
};

TEST_F(OptionsRunTest, OkTakesTheListsFolderRebuildsAndAppliesWithoutPlaying) {
  g_state.catalogue.count = 7;
  g_state.catalogue.current = 5;
  g_state.applied_equalizer[0] = 50;
  // OK at once: the folder the list shows, not the old starting folder.
  EXPECT_EQ(Run([&] { dialog_->BitBtn1->click(); }), kModalOk);
  EXPECT_STREQ(g_state.starting_folder, "Q:\\Music");
  EXPECT_EQ(host_.events,
            (std::vector<std::string>{"VELDAN [Q:\\Music]", "pump", "titles 2 at 0"}));

  // OK on the drive root: letter and colon.
  EXPECT_EQ(Run([&] {
              test::DoubleClickItem(dialog_->DirectoryListBox_source, "Q:\\");
              QTest::keyClick(dialog_->TrackBar3, Qt::Key_Down);
              dialog_->BitBtn1->click();
            }),
            kModalOk);
  EXPECT_STREQ(g_state.starting_folder, "Q:");
  EXPECT_EQ(host_.events, (std::vector<std::string>{"VELDAN [Q:]", "pump", "titles 3 at 0"}));
  const std::vector<int32_t> edited = {50, 0, -10, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(Applied(), edited);
  EXPECT_EQ(fake::LastEqualizer(), edited);
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"setEqualizer", "setEqualizer"}));
}

TEST_F(OptionsRunTest, CancelAfterTrialListeningRestoresTheAppliedSound) {
  std::strcpy(g_state.catalogue.entries[0], "Q:\\Music\\a.mp3");
  g_state.catalogue.count = 1;
  const int result = Run([&] {
    EXPECT_EQ(dialog_->TrackBar5->value(), 12);  // no preset: every bar in the middle
    QTest::keyClick(dialog_->TrackBar5, Qt::Key_Up);
    dialog_->Button_test->click();
    EXPECT_EQ(fake::LastEqualizer()[4], 10);
    dialog_->Button_test->click();
    dialog_->BitBtn2->click();
  });
  EXPECT_EQ(result, kModalCancel);
  EXPECT_TRUE(host_.events.empty());
  EXPECT_STREQ(g_state.starting_folder, "C:\\elsewhere");
  EXPECT_EQ(g_state.catalogue.count, 1);
  EXPECT_EQ(fake::LastEqualizer(), std::vector<int32_t>(10, 0));  // flat, handed over anyway
  EXPECT_EQ(fake::CallLog().back(), "setEqualizer");
}

}  // namespace
}  // namespace veldan
