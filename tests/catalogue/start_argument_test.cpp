// The start-up argument over a temporary folder mapped as drive T:: what it names, the folders
// it gives, and what it does to the first catalogue.
#include "catalogue/start_argument.h"

#include <gtest/gtest.h>

#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/list_line_path.h"
#include "catalogue/program_state.h"
#include "support/recording_window.h"
#include "support/temp_drives.h"

namespace veldan {
namespace {

class StartArgumentTest : public ::testing::Test {
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
  test::TempDrive tree_;
  char argument_text_[kTextSize];
};

TEST_F(StartArgumentTest, FolderArgumentIsTheStartingFolderItself) {
  tree_.WriteFile("Songs/a.mp3");
  tree_.WriteFile("Other/x.mp3");
  StartWith(tree_.root() + "/Songs");
  EXPECT_STREQ(g_state.starting_folder, "T:\\Songs");
  ASSERT_EQ(g_state.catalogue.count, 1);
  EXPECT_EQ(Entry(0), "T:\\Songs\\a.mp3");
}

TEST_F(StartArgumentTest, TrackArgumentStartsAtThatTrackFoundInAnyLetterCase) {
  tree_.WriteFile("Songs/a.mp3");
  tree_.WriteFile("Songs/b.mp3");
  StartWith("T:\\Songs\\B.MP3");
  EXPECT_STREQ(g_state.starting_folder, "T:\\Songs");
  EXPECT_EQ(Entry(g_state.catalogue.current), "T:\\Songs\\b.mp3");
}

TEST_F(StartArgumentTest, MissingTrackStartsAtTheFirstEntry) {
  tree_.WriteFile("Songs/a.mp3");
  StartWith(tree_.root() + "/Songs/gone.mp3");
  EXPECT_EQ(g_state.catalogue.count, 1);
  EXPECT_EQ(g_state.catalogue.current, 0);
}

TEST_F(StartArgumentTest, ListArgumentReplacesTheCatalogueInItsOwnOrder) {
  tree_.WriteFile("Lists/a.mp3");
  tree_.WriteFile("Lists/Party.M3U", "#EXTM3U\r\nT:\\z.mp3\r\n\r\nT:\\a.mp3\r\n");
  StartWith(tree_.root() + "/Lists/Party.M3U");
  EXPECT_STREQ(g_state.starting_folder, "T:\\Lists");
  ASSERT_EQ(g_state.catalogue.count, 2);
  EXPECT_EQ(Entry(0), "T:\\z.mp3");
  EXPECT_EQ(Entry(1), "T:\\a.mp3");
  EXPECT_EQ(g_state.catalogue.current, 0);
}

TEST_F(StartArgumentTest, ListOfSixHundredLinesGivesFiveHundredEntries) {
  std::string lines;
  for (int i = 0; i < 600; ++i) lines += "T:\\" + std::to_string(i) + ".mp3\n";
  tree_.WriteFile("big.m3u", lines);
  StartWith(tree_.root() + "/big.m3u");
  EXPECT_EQ(g_state.catalogue.count, 500);
  EXPECT_EQ(Entry(499), "T:\\499.mp3");
}

TEST_F(StartArgumentTest, ListThatDoesNotOpenKeepsTheSearchOfItsFolder) {
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
      {"T:\\a.m3u", true},
      {"T:\\a.M3u", true},
      {"T:\\a.\x82\x8D\x82\x52\x82\x95", true},  // full-width ｍ３ｕ
      {"T:\\a.mp3", false},
      {".m3u", false},
      {"T:\\am3u", false},
      {"", false},
      {"T:\\a.M3U8", true},
      {"T:\\a.m3u\x82\x57", true},  // full-width ８
      {".m3u8", false},
      {"T:\\a.m3u9", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsListFileName(c.text), c.list) << c.text;
}

// Found as start-up finds it (a drive-letter path in any letter case; a CD drive without a
// disc is waited for), and only what the player takes: folders, tracks and lists.
TEST(ExamineArgument, TellsWhatThePathNames) {
  test::TempDrive tree('T', "M=cdrom:/nonexistent/veldan-cd");
  tree.WriteFile("Songs/b.mp3");
  tree.WriteFile("Songs/notes.txt");
  tree.WriteFile("Lists/Party.m3u", "T:\\Songs\\b.mp3\r\n");
  EXPECT_EQ(ExamineArgument((tree.root() + "/Songs").c_str()), ArgumentKind::kPlayable);
  EXPECT_EQ(ExamineArgument("T:\\Songs\\B.MP3"), ArgumentKind::kPlayable);
  EXPECT_EQ(ExamineArgument("T:\\Lists\\PARTY.m3u"), ArgumentKind::kPlayable);
  EXPECT_EQ(ExamineArgument("M:\\Music\\a.mp3"), ArgumentKind::kPlayable);
  EXPECT_EQ(ExamineArgument((tree.root() + "/Songs/notes.txt").c_str()),
            ArgumentKind::kNotPlayable);
  EXPECT_EQ(ExamineArgument("/dev/zero"), ArgumentKind::kNotPlayable);
  EXPECT_EQ(ExamineArgument((tree.root() + "/Songs/c.mp3").c_str()), ArgumentKind::kNothing);
  EXPECT_EQ(ExamineArgument("Q:\\music"), ArgumentKind::kNothing);
}

// A track that exists but whose program text would not fit: nothing is searched or played.
TEST(ExamineArgument, TooLongPathLeavesTheFoldersOfNoArgument) {
  ResetProgramState();
  test::TempDrive tree;
  tree.WriteFile("Songs/a.mp3");
  const std::string deep =
      std::string(200, 'd') + "/" + std::string(200, 'e') + "/" + std::string(120, 'f') + ".mp3";
  tree.WriteFile(deep);
  const std::string too_long = tree.root() + "/" + deep;
  EXPECT_EQ(ExamineArgument(too_long.c_str()), ArgumentKind::kTooLong);
  char argument_text[kTextSize];
  EXPECT_FALSE(TakeFoldersFromCommandLine(too_long.c_str(), argument_text));
  EXPECT_STREQ(argument_text, "");
  EXPECT_STREQ(g_state.starting_folder, g_state.program_folder);
  EXPECT_TRUE(TakeFoldersFromCommandLine((tree.root() + "/Songs").c_str(), argument_text));
  EXPECT_TRUE(TakeFoldersFromCommandLine(nullptr, argument_text));
}

}  // namespace
}  // namespace veldan
