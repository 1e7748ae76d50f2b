#include "catalogue/media_wait.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "catalogue/catalogue.h"
#include "catalogue/program_state.h"
#include "catalogue/recording_window.h"
#include "catalogue/temp_tree.h"

namespace veldan {
namespace {

// Drive M: is a CD-ROM drive whose disc is the folder "cd" below the tree: absent until made.
class MediaWaitTest : public ::testing::Test {
 protected:
  MediaWaitTest() : tree_('T', "M=cdrom:" + Disc()) { ResetProgramState(); }
  std::string Disc() const { return std::filesystem::temp_directory_path() / disc_name_; }
  void InsertDisc() { std::filesystem::create_directory(Disc()); }
  ~MediaWaitTest() override { std::filesystem::remove(Disc()); }

  std::string disc_name_ = "veldan_media_wait_" + std::to_string(::getpid());
  TempTree tree_;
  RecordingWindow window_;
};

TEST_F(MediaWaitTest, WaitsBetweenProbesUntilTheDiscAnswers) {
  window_.on_wait = [this](int waits) {
    if (waits == 3) InsertDisc();
  };
  EXPECT_TRUE(WaitForMedia("M:\\Songs"));
  ASSERT_EQ(window_.waits.size(), 3u);
  for (int ms : window_.waits) {
    EXPECT_GT(ms, 0);
    EXPECT_LE(ms, 100);
  }
  // A present drive answers at once.
  window_.waits.clear();
  EXPECT_TRUE(WaitForMedia("T:"));
  EXPECT_TRUE(window_.waits.empty());
}

TEST_F(MediaWaitTest, AbortEndsTheWaitButOnlyOneMadeDuringIt) {
  g_state.wait_abort = true;  // an earlier close request: this wait clears it and goes on
  window_.on_wait = [](int waits) {
    if (waits == 2) g_state.wait_abort = true;
  };
  EXPECT_FALSE(WaitForMedia("M:\\"));
  EXPECT_EQ(window_.waits.size(), 2u);
}

TEST_F(MediaWaitTest, ClosingEndsEveryWaitAndStaysSet) {
  g_state.closing = true;
  g_state.wait_abort = true;
  EXPECT_FALSE(WaitForMedia("M:\\"));
  EXPECT_FALSE(WaitUntilMediaPresent("M:\\"));
  EXPECT_TRUE(window_.waits.empty());

  g_state.closing = false;
  window_.on_wait = [](int) { g_state.closing = true; };
  EXPECT_FALSE(WaitUntilMediaPresent("M:\\"));
  EXPECT_EQ(window_.waits.size(), 1u);
}

TEST_F(MediaWaitTest, AFolderWithoutADriveLetterEndsAtOnce) {
  for (const char* folder : {"", "M", "\\\\server\\share", "relative\\x", "1:\\x", ":\\x"}) {
    EXPECT_FALSE(WaitForMedia(folder)) << folder;
  }
  EXPECT_TRUE(window_.waits.empty());
}

}  // namespace
}  // namespace veldan
