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
#include "opt/options_dialog.h"
#include "ui/folder_list.h"
#include "ui/temp_drives.h"

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
    events.push_back("titles of " + std::to_string(g_state.catalogue.count) + " at " +
                     std::to_string(g_state.catalogue.current));
  }
  std::vector<std::string> events;
};

class OptionsRunTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    fake::ResetDecoder();
    drives_.MakeFolder(drives_.Q("Music/Live"));
    drives_.MakeFile(drives_.Q("Music/a.mp3"));
    drives_.MakeFile(drives_.Q("Music/Live/b.mp3"));
    drives_.MakeFile(drives_.Q("top.mp3"));
    drives_.EnterFolder(drives_.Q("Music"));
    std::strcpy(g_state.starting_folder, "C:\\elsewhere");
    dialog_ = std::make_unique<TForm_option>();
  }

  // Runs the options dialog as the main window's Option button does, with steps inside it.
  int Run(const std::function<void()>& steps) {
    QTimer::singleShot(0, dialog_.get(), steps);
    return RunOptionsDialog(host_);
  }
  static bool Played() {
    for (const auto& call : fake::CallLog()) {
      if (call == "play" || call.rfind("open", 0) == 0) return true;
    }
    return false;
  }

  test::TempDrives drives_;
  std::unique_ptr<TForm_option> dialog_;
  RecordingHost host_;
};

TEST_F(OptionsRunTest, OkOnADriveRootStartsFromTheLetterAndColon) {
  g_state.applied_equalizer[0] = 50;
  TForm_option& d = *dialog_;
  const int result = Run([&] {
    test::DoubleClickItem(d.DirectoryListBox_source, "Q:\\");
    QTest::keyClick(d.TrackBar3, Qt::Key_Down);
    d.BitBtn1->click();
  });
  EXPECT_EQ(result, kModalOk);
  EXPECT_STREQ(g_state.starting_folder, "Q:");
  EXPECT_EQ(host_.events,
            (std::vector<std::string>{"VELDAN [Q:]", "pump", "titles of 3 at 0"}));
  const std::vector<int32_t> edited = {50, 0, -10, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::vector<int32_t>(g_state.applied_equalizer, g_state.applied_equalizer + 10),
            edited);
  EXPECT_EQ(fake::LastEqualizer(), edited);
  EXPECT_FALSE(Played());
}

TEST_F(OptionsRunTest, OkAtOnceRebuildsFromTheFolderTheListShows) {
  g_state.catalogue.count = 7;
  g_state.catalogue.current = 5;
  const int result = Run([&] { dialog_->BitBtn1->click(); });
  EXPECT_EQ(result, kModalOk);
  EXPECT_STREQ(g_state.starting_folder, "Q:\\Music");
  EXPECT_EQ(host_.events,
            (std::vector<std::string>{"VELDAN [Q:\\Music]", "pump", "titles of 2 at 0"}));
  EXPECT_STREQ(g_state.catalogue.entries[0], "Q:\\Music\\a.mp3");
  EXPECT_FALSE(Played());
}

TEST_F(OptionsRunTest, CancelAfterTrialListeningRestoresTheAppliedSound) {
  TForm_option& d = *dialog_;
  std::strcpy(g_state.catalogue.entries[0], "Q:\\Music\\a.mp3");
  g_state.catalogue.count = 1;
  const int result = Run([&] {
    // No preset: every bar in the middle.
    for (QSlider* bar : {d.TrackBar1, d.TrackBar5, d.TrackBar10}) EXPECT_EQ(bar->value(), 12);
    QTest::keyClick(d.TrackBar5, Qt::Key_Up);
    d.Button_test->click();
    EXPECT_EQ(fake::LastEqualizer()[4], 10);
    d.Button_test->click();
    d.BitBtn2->click();
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
