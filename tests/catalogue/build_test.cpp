#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/program_state.h"
#include "support/recording_window.h"
#include "support/temp_drives.h"

namespace veldan {
namespace {

using Lines = std::vector<std::string>;

Lines Entries() {
  return {g_state.catalogue.entries, g_state.catalogue.entries + g_state.catalogue.count};
}

const Lines kStatusSequence = {"timer off", "status Searching /" + std::to_string(kColourYellow),
                               "pump",      "status Stop /" + std::to_string(kColourRed),
                               "timer on",  "pump"};

TEST(BuildCatalogueTest, ShallowerFilesFirstAndTheStatusAroundTheBuild) {
  test::TempDrive tree;
  tree.WriteFile("M/b.mp3");
  tree.WriteFile("M/A/a.mp3");
  tree.WriteFile("Other/o.mp3");
  tree.WriteFile("Docs/readme.txt");
  ResetProgramState();
  RecordingWindow window;
  g_state.catalogue.current = 7;
  BuildCatalogue("T:\\M");
  EXPECT_EQ(Entries(), (Lines{"T:\\M\\b.mp3", "T:\\M\\A\\a.mp3"}));
  EXPECT_EQ(g_state.catalogue.current, 0);
  EXPECT_EQ(window.calls, kStatusSequence);

  // Nothing found, nothing listable, no drive: an empty catalogue, and no wait.
  for (const char* folder : {"T:\\Docs", "T:\\missing", "nodrive"}) {
    g_state.catalogue.current = 1;
    window.calls.clear();
    BuildCatalogue(folder);
    EXPECT_EQ(g_state.catalogue.count, 0) << folder;
    EXPECT_EQ(g_state.catalogue.current, 0) << folder;
    EXPECT_EQ(window.calls, kStatusSequence) << folder;
  }
  EXPECT_TRUE(window.waits.empty());
}

TEST(BuildCatalogueTest, AnAbortedWaitStillSearches) {
  const std::string disc = "/tmp/veldan_build_disc_" + std::to_string(::getpid());
  test::TempDrive tree('T', "M=cdrom:" + disc);
  ResetProgramState();
  RecordingWindow window;
  // The disc arrives while the wait is being aborted: the search that follows finds it.
  window.on_wait = [&disc](int) {
    std::filesystem::create_directories(disc + "/Songs");
    std::ofstream(disc + "/Songs/a.mp3").put('x');
    g_state.wait_abort = true;
  };
  BuildCatalogue("M:\\Songs");
  std::filesystem::remove_all(disc);
  EXPECT_EQ(window.waits.size(), 1u);
  EXPECT_EQ(Entries(), (Lines{"M:\\Songs\\a.mp3"}));
}

}  // namespace
}  // namespace veldan
