#include "catalogue/media_wait.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "catalogue/catalogue.h"
#include "catalogue/program_state.h"
#include "support/recording_window.h"
#include "support/temp_drives.h"

namespace veldan {
namespace {

// Drive M: is a CD-ROM drive whose disc is a folder that is absent until a test makes it.
class MediaWaitTest : public ::testing::Test {
 protected:
  MediaWaitTest() { ResetProgramState(); }
  ~MediaWaitTest() override { std::filesystem::remove(disc_); }

  std::string disc_ = "/tmp/veldan_media_wait_" + std::to_string(::getpid());
  test::TempDrive tree_{'T', "M=cdrom:" + disc_ + ";F=fixed:" + disc_ + ";R=removable:" + disc_};
  RecordingWindow window_;
};

TEST_F(MediaWaitTest, WaitsForMessagesBetweenProbesUntilTheDiscAnswers) {
  g_state.wait_abort = true;  // a close request from before the wait does not end it
  window_.on_wait = [this](int waits) {
    if (waits == 3) std::filesystem::create_directory(disc_);
  };
  EXPECT_TRUE(WaitForMedia("M:\\Songs"));
  EXPECT_EQ(window_.waits, (std::vector<int>{100, 100, 100}));
}

TEST_F(MediaWaitTest, AbortAndClosingEndTheWait) {
  window_.on_wait = [](int waits) { g_state.wait_abort = waits == 2; };
  EXPECT_FALSE(WaitForMedia("M:\\"));
  EXPECT_EQ(window_.waits.size(), 2u);

  // Closing is never cleared: every later wait ends before it probes.
  window_.waits.clear();
  window_.on_wait = [](int) { g_state.closing = true; };
  EXPECT_FALSE(WaitUntilMediaPresent("M:\\"));
  EXPECT_FALSE(WaitForMedia("T:"));
  EXPECT_EQ(window_.waits.size(), 1u);
}

// Only a CD-ROM or removable drive can get a medium later. A letter the drive table doesn't have
// (a start on 'Q:\music') or a fixed drive whose folder is missing answers now or never, and
// waiting for it would hold the program before its window ever showed.
TEST_F(MediaWaitTest, DrivesThatCanGetNoMediumEndAtOnce) {
  EXPECT_FALSE(WaitForMedia("Q:\\music"));
  EXPECT_FALSE(WaitForMedia("F:\\"));
  EXPECT_TRUE(window_.waits.empty());
  EXPECT_FALSE(MediumCanArrive("Q:\\"));
  EXPECT_FALSE(MediumCanArrive("F:\\"));
  EXPECT_TRUE(MediumCanArrive("M:\\"));
  EXPECT_TRUE(MediumCanArrive("R:\\"));

  // A removable drive is waited for like a CD drive.
  window_.on_wait = [this](int) { std::filesystem::create_directory(disc_); };
  EXPECT_TRUE(WaitForMedia("R:\\x"));
  EXPECT_EQ(window_.waits.size(), 1u);
}

TEST_F(MediaWaitTest, AFolderWithoutADriveLetterEndsAtOnce) {
  for (const char* folder : {"", "M", "\\\\server\\share", "relative\\x", "1:\\x"}) {
    EXPECT_FALSE(WaitForMedia(folder)) << folder;
  }
  EXPECT_TRUE(window_.waits.empty());
}

}  // namespace
}  // namespace veldan
