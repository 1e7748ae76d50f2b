// The command line at start-up over a temporary folder mapped as drive T:.
#include "main/command_line.h"

#include <gtest/gtest.h>

#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/list_line_path.h"
#include "catalogue/program_state.h"
#include "support/recording_window.h"
#include "support/temp_tree.h"

namespace veldan {
namespace {

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetProgramState(); }

  // Start-up's own order: folders from the argument, the first build, then the argument.
  void StartWith(const std::string& argument) {
    TakeFoldersFromCommandLine(argument.c_str(), argument_text_);
    BuildCatalogue(g_state.starting_folder);
    ApplyCommandLineArgument(argument_text_);
  }
  std::string Entry(int i) const { return g_state.catalogue.entries[i]; }

  RecordingWindow window_;
  TempTree tree_;
  char argument_text_[kTextSize];
};

TEST_F(CommandLineTest, FolderArgumentIsTheStartingFolderItself) {
  tree_.WriteFile("Songs/a.mp3");
  tree_.WriteFile("Other/x.mp3");
  StartWith(tree_.root() + "/Songs");
  EXPECT_STREQ(g_state.starting_folder, "T:\\Songs");
  ASSERT_EQ(g_state.catalogue.count, 1);
  EXPECT_EQ(Entry(0), "T:\\Songs\\a.mp3");
}

TEST_F(CommandLineTest, TrackArgumentStartsAtThatTrackFoundInAnyLetterCase) {
  tree_.WriteFile("Songs/a.mp3");
  tree_.WriteFile("Songs/b.mp3");
  StartWith("T:\\Songs\\B.MP3");
  EXPECT_STREQ(g_state.starting_folder, "T:\\Songs");
  EXPECT_EQ(Entry(g_state.catalogue.current), "T:\\Songs\\b.mp3");
}

TEST_F(CommandLineTest, MissingTrackStartsAtTheFirstEntry) {
  tree_.WriteFile("Songs/a.mp3");
  StartWith(tree_.root() + "/Songs/gone.mp3");
  EXPECT_EQ(g_state.catalogue.count, 1);
  EXPECT_EQ(g_state.catalogue.current, 0);
}

TEST_F(CommandLineTest, ListArgumentReplacesTheCatalogueInItsOwnOrder) {
  tree_.WriteFile("Lists/a.mp3");
  tree_.WriteFile("Lists/Party.M3U", "#EXTM3U\r\nT:\\z.mp3\r\n\r\nT:\\a.mp3\r\n");
  StartWith(tree_.root() + "/Lists/Party.M3U");
  EXPECT_STREQ(g_state.starting_folder, "T:\\Lists");
  ASSERT_EQ(g_state.catalogue.count, 2);
  EXPECT_EQ(Entry(0), "T:\\z.mp3");
  EXPECT_EQ(Entry(1), "T:\\a.mp3");
  EXPECT_EQ(g_state.catalogue.current, 0);
}

TEST_F(CommandLineTest, ListOfSixHundredLinesGivesFiveHundredEntries) {
  std::string lines;
  for (int i = 0; i < 600; ++i) lines += "T:\\" + std::to_string(i) + ".mp3\n";
  tree_.WriteFile("big.m3u", lines);
  StartWith(tree_.root() + "/big.m3u");
  EXPECT_EQ(g_state.catalogue.count, 500);
  EXPECT_EQ(Entry(499), "T:\\499.mp3");
}

TEST_F(CommandLineTest, ListThatDoesNotOpenKeepsTheSearchOfItsFolder) {
  tree_.WriteFile("Lists/a.mp3");
  StartWith(tree_.root() + "/Lists/missing.m3u");
  ASSERT_EQ(g_state.catalogue.count, 1);
  EXPECT_EQ(Entry(0), "T:\\Lists\\a.mp3");
}

TEST(PlayListName, FoldsCaseAndWidth) {
  struct Case {
    const char* text;
    bool list;
  } cases[] = {
      {"T:\\a.m3u", true},           {"T:\\a.M3u", true},
      {"T:\\a.\x82\x8D\x82\x52\x82\x95", true},  // full-width ｍ３ｕ
      {"T:\\a.mp3", false},          {".m3u", false},
      {"T:\\am3u", false},           {"", false},
      {"T:\\a.M3U8", true},         {"T:\\a.m3u\x82\x57", true},  // full-width ８
      {".m3u8", false},              {"T:\\a.m3u9", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsListFileName(c.text), c.list) << c.text;
}

}  // namespace
}  // namespace veldan
