#include "catalogue/search.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/program_state.h"
#include "catalogue/temp_tree.h"

namespace veldan {
namespace {

using Lines = std::vector<std::string>;

TEST(ClassifyNameTest, ExtensionOfTheFoldedName) {
  struct Row {
    const char* name;
    NameKind kind;
  };
  const Row rows[] = {
      {"x.mp3", NameKind::kTrack},
      {"x.MP3", NameKind::kTrack},
      {"A.Mp3", NameKind::kTrack},
      {".hidden.mp3", NameKind::kTrack},
      {"\x82\x98.\x82\x8D\x82\x90\x82\x52", NameKind::kTrack},  // ｘ.ｍｐ３
      {"x.\x82\x6C\x82\x6F\x82\x52", NameKind::kTrack},          // x.ＭＰ３
      {"\x95\x5C.mp3", NameKind::kTrack},                        // 表.mp3
      {"list.m3u", NameKind::kPlayList},
      {"LIST.M3U", NameKind::kPlayList},
      {"l.\x82\x8D\x82\x52\x82\x95", NameKind::kPlayList},  // l.ｍ３ｕ
      {"l.m3\x82\x74", NameKind::kPlayList},                // l.m3Ｕ
      {".mp3", NameKind::kOther},                           // folds to four bytes
      {".m3u", NameKind::kOther},
      {"\x82\x8D\x82\x90\x82\x52.", NameKind::kOther},
      {"xmp3", NameKind::kOther},
      {"songmp3", NameKind::kOther},
      {"a.mp3.txt", NameKind::kOther},
      {"a.mp4", NameKind::kOther},
      {"a.mp", NameKind::kOther},
      {"", NameKind::kOther},
  };
  for (const Row& row : rows) EXPECT_EQ(ClassifyName(row.name), row.kind) << row.name;
}

Lines Entries() {
  return {g_state.catalogue.entries, g_state.catalogue.entries + g_state.catalogue.count};
}

Lines Sorted(Lines lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

class SearchTest : public ::testing::Test {
 protected:
  SearchTest() {
    ResetProgramState();
    ResetFoldersListed();
  }
  Lines Search(const char* folder) {
    g_state.catalogue.count = 0;
    SearchFolder(folder, 0);
    return Entries();
  }
  TempTree tree_;
};

TEST_F(SearchTest, NineLevelsDownAreSearchedNotTen) {
  std::string nine = "1/2/3/4/5/6/7/8/9";
  tree_.WriteFile(nine + "/nine.mp3");
  tree_.WriteFile(nine + "/10/ten.mp3");
  EXPECT_EQ(Search("T:"), (Lines{"T:\\1\\2\\3\\4\\5\\6\\7\\8\\9\\nine.mp3"}));
  EXPECT_EQ(FoldersListed(), 10);
}

TEST_F(SearchTest, SkipsDotFoldersAndKeepsNamesAsListed) {
  tree_.WriteFile(".songs/a.mp3");
  tree_.WriteFile("Music/B.Mp3");
  tree_.WriteFile("Music/cover.jpg");
  tree_.WriteFile("Music/.c.mp3");
  tree_.WriteFile("Music/mp3");
  tree_.MakeFolder("Empty.mp3");
  EXPECT_EQ(Sorted(Search("T:")), (Lines{"T:\\Music\\.c.mp3", "T:\\Music\\B.Mp3"}));
}

TEST_F(SearchTest, AListStandsForItsFolder) {
  // Whatever order the listing gives, the folder's own files go: those before the list are
  // dropped, those after it are not taken once a line was.
  tree_.WriteFile("a.mp3");
  tree_.WriteFile("list.m3u", "X:\\1.mp3\n\nX:\\2.mp3\n");
  tree_.WriteFile("z.mp3");
  EXPECT_EQ(Search("T:"), (Lines{"X:\\1.mp3", "X:\\2.mp3"}));

  // A subfolder has its own flag, so its files stay when it is searched after the list; one
  // searched before the list is dropped with the rest of what the folder added.
  tree_.WriteFile("Sub/s.mp3");
  bool sub_first = false;
  for (const auto& item : std::filesystem::directory_iterator(tree_.root())) {
    if (item.path().filename() == "list.m3u") break;
    if (item.path().filename() == "Sub") sub_first = true;
  }
  Lines expected = {"X:\\1.mp3", "X:\\2.mp3"};
  if (!sub_first) expected.push_back("T:\\Sub\\s.mp3");
  EXPECT_EQ(Search("T:"), expected);
}

TEST_F(SearchTest, AListInAFullerCatalogueAddsWhatFits) {
  tree_.WriteFile("L/list.m3u", "X:\\1.mp3\nX:\\2.mp3\nX:\\3.mp3\n");
  g_state.catalogue.count = 499;
  SearchFolder("T:\\L", 0);
  EXPECT_EQ(g_state.catalogue.count, 500);
  EXPECT_STREQ(g_state.catalogue.entries[499], "X:\\1.mp3");
}

TEST_F(SearchTest, FiveHundredEntriesAtMostYetEveryFolderIsWalked) {
  for (int f = 0; f < 6; ++f) {
    for (int i = 0; i < 100; ++i) {
      tree_.WriteFile("F" + std::to_string(f) + "/" + std::to_string(i) + ".mp3");
    }
  }
  EXPECT_EQ(Search("T:").size(), 500u);
  EXPECT_EQ(FoldersListed(), 7);
}

TEST_F(SearchTest, PathsThatWouldNotFitAreSkipped) {
  const std::string a(200, 'a');
  const std::string b(200, 'b');
  tree_.WriteFile(a + "/" + b + "/" + std::string(100, 'n') + ".mp3");  // 509 bytes
  tree_.WriteFile(a + "/" + b + "/" + std::string(110, 'n') + ".mp3");  // 519 bytes
  Lines entries = Search("T:");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].size(), 509u);
}

TEST_F(SearchTest, FoldersThatCannotBeListedAddNothing) {
  tree_.WriteFile("open/a.mp3");
  tree_.WriteFile("locked/b.mp3");
  chmod((tree_.root() + "/locked").c_str(), 0);
  if (access((tree_.root() + "/locked").c_str(), R_OK) == 0) GTEST_SKIP() << "running as root";
  EXPECT_EQ(Search("T:"), (Lines{"T:\\open\\a.mp3"}));
  EXPECT_EQ(Search("T:\\missing"), Lines{});
  EXPECT_EQ(SearchFolder("T:\\missing", 0), 0);
}

}  // namespace
}  // namespace veldan
