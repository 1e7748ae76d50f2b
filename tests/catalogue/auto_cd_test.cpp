// Media discovery over drive tables made of temporary folders: a CD-ROM drive "holds a disc"
// while its folder exists.
#include "catalogue/auto_cd.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/program_state.h"
#include "platform/drives.h"
#include "support/recording_window.h"

namespace veldan {
namespace {

namespace fs = std::filesystem;

// Scripted answers for the prompt and the drive dialog, and a record of what was asked.
class ScriptedWindow final : public AutoCdWindow {
 public:
  bool AskForMedium(const char* root) override {
    prompts.push_back(root);
    return answer_ok;
  }
  int ChooseDrive() override {
    ++dialogs;
    if (choose_index > 0) g_state.ready_drives[0] = g_state.ready_drives[choose_index];
    return dialog_result;
  }
  bool answer_ok = true;
  int dialog_result = 1;
  int choose_index = 0;
  int dialogs = 0;
  std::vector<std::string> prompts;
};

// Drives E:, F:, ... as CD-ROM drives over folders below a temporary base; a drive holds a disc
// while its folder exists.
class Drives {
 public:
  explicit Drives(const std::string& drives) {
    char pattern[] = "/tmp/veldan_autocd_XXXXXX";
    base_ = mkdtemp(pattern);
    setenv("VELDAN_DRIVES", Expand(drives).c_str(), 1);
    ReloadDriveTable();
  }
  ~Drives() {
    fs::remove_all(base_);
    unsetenv("VELDAN_DRIVES");
    ReloadDriveTable();
  }
  void Insert(char letter) { fs::create_directories(Folder(letter)); }
  std::string Folder(char letter) const { return base_ + "/" + letter; }

 private:
  // "E=cdrom F=removable" -> VELDAN_DRIVES with folders below the base.
  std::string Expand(const std::string& drives) {
    std::string out;
    size_t pos = 0;
    while (pos < drives.size()) {
      size_t end = drives.find(' ', pos);
      if (end == std::string::npos) end = drives.size();
      std::string item = drives.substr(pos, end - pos);
      pos = end + 1;
      const char letter = item[0];
      const std::string kind = item.substr(2);
      if (!out.empty()) out += ';';
      out.push_back(letter);
      out += '=';
      out += kind;
      out += ':';
      out += Folder(letter);
    }
    return out;
  }
  std::string base_;
};

class AutoCdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    std::snprintf(g_state.starting_folder, sizeof g_state.starting_folder, "C:\\Music");
  }
  std::string StartingFolder() const { return g_state.starting_folder; }
  std::string ReadyDrives() const {
    return std::string(g_state.ready_drives, g_state.ready_drive_count);
  }
  RecordingWindow status;
  ScriptedWindow window;
};

TEST_F(AutoCdTest, OneReadyDriveIsTakenWithoutAskingAnything) {
  Drives drives("E=cdrom");
  drives.Insert('E');
  EXPECT_TRUE(DiscoverMedia(true, window));
  EXPECT_EQ(StartingFolder(), "E:");
  EXPECT_EQ(window.dialogs, 0);
  EXPECT_TRUE(window.prompts.empty());
}

TEST_F(AutoCdTest, OnlyTheDriveWithADiscIsTaken) {
  Drives drives("E=cdrom F=cdrom");
  drives.Insert('F');
  EXPECT_TRUE(DiscoverMedia(true, window));
  EXPECT_EQ(StartingFolder(), "F:");
  EXPECT_EQ(ReadyDrives(), "F");
  EXPECT_EQ(window.dialogs, 0);
}

TEST_F(AutoCdTest, TwoReadyDrivesAskTheDialogAndTakeItsChoice) {
  Drives drives("E=cdrom F=cdrom");
  drives.Insert('E');
  drives.Insert('F');
  window.choose_index = 1;
  EXPECT_TRUE(DiscoverMedia(true, window));
  EXPECT_EQ(window.dialogs, 1);
  EXPECT_EQ(StartingFolder(), "F:");
}

TEST_F(AutoCdTest, DialogClosedWithoutChoiceLeavesTheLastReadyDrive) {
  Drives drives("E=cdrom F=cdrom");
  drives.Insert('E');
  drives.Insert('F');
  window.dialog_result = 2;
  EXPECT_FALSE(DiscoverMedia(true, window));
  EXPECT_EQ(StartingFolder(), "F:");
}

TEST_F(AutoCdTest, NoCdDriveIsSilentAndKeepsTheStartingFolder) {
  Drives drives("R=removable Q=fixed");
  drives.Insert('R');
  drives.Insert('Q');
  EXPECT_FALSE(DiscoverMedia(true, window));
  EXPECT_EQ(StartingFolder(), "C:\\Music");
  EXPECT_TRUE(window.prompts.empty());
}

TEST_F(AutoCdTest, EmptyDrivesPromptForTheLastAndWaitForItsDisc) {
  Drives drives("E=cdrom F=cdrom");
  status.on_wait = [&](int waits) {
    if (waits == 3) drives.Insert('F');
  };
  EXPECT_TRUE(DiscoverMedia(true, window));
  ASSERT_EQ(window.prompts.size(), 1u);
  EXPECT_EQ(window.prompts[0], "F:\\");
  EXPECT_EQ(StartingFolder(), "F:");
  EXPECT_EQ(status.waits.size(), 3u);
  EXPECT_EQ(status.calls.front(), "status Waiting CD/" + std::to_string(kColourMagenta));
}

TEST_F(AutoCdTest, CancelledPromptKeepsTheStartingFolder) {
  Drives drives("E=cdrom");
  window.answer_ok = false;
  EXPECT_FALSE(DiscoverMedia(true, window));
  EXPECT_EQ(StartingFolder(), "C:\\Music");
  EXPECT_TRUE(status.waits.empty());
}

TEST_F(AutoCdTest, ClosingTheProgramEndsTheDiscWait) {
  Drives drives("E=cdrom");
  status.on_wait = [](int waits) {
    if (waits == 2) g_state.closing = true;
  };
  EXPECT_FALSE(DiscoverMedia(true, window));
  EXPECT_EQ(StartingFolder(), "C:\\Music");
}

TEST_F(AutoCdTest, TenReadyDrivesAreAllListedInOrder) {
  Drives drives("E=cdrom F=cdrom G=cdrom H=cdrom I=cdrom J=cdrom K=cdrom L=cdrom M=cdrom N=cdrom");
  for (char c = 'E'; c <= 'N'; ++c) drives.Insert(c);
  window.dialog_result = 1;
  EXPECT_TRUE(DiscoverMedia(true, window));
  EXPECT_EQ(ReadyDrives(), "EFGHIJKLMN");
}

}  // namespace
}  // namespace veldan
