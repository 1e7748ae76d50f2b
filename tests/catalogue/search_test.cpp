#include "catalogue/search.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/program_state.h"
#include "support/recording_window.h"
#include "support/temp_drives.h"

namespace veldan {
namespace {

using Lines = std::vector<std::string>;

TEST(ClassifyNameTest, ExtensionOfTheFoldedName) {
  constexpr NameKind kTrack = NameKind::kTrack;
  constexpr NameKind kList = NameKind::kPlayList;
  constexpr NameKind kOther = NameKind::kOther;
  struct Row {
    const char* name;
    NameKind kind;
  };
  const Row rows[] = {
      {"x.mp3", kTrack},
      {"x.MP3", kTrack},
      {"A.Mp3", kTrack},
      {".hidden.mp3", kTrack},
      {"\x82\x98.\x82\x8D\x82\x90\x82\x52", kTrack},  // ｘ.ｍｐ３
      {"x.\x82\x6C\x82\x6F\x82\x52", kTrack},         // x.ＭＰ３
      {"\x95\x5C.mp3", kTrack},                       // 表.mp3
      {"list.m3u", kList},
      {"LIST.M3U", kList},
      {"l.\x82\x8D\x82\x52\x82\x95", kList},  // l.ｍ３ｕ
      {"l.m3\x82\x74", kList},                // l.m3Ｕ
      {"list.m3u8", kList},                   // UTF-8 lists of other players
      {"l.M3U\x82\x57", kList},               // l.M3U８
      {".m3u8", kOther},
      {"l.m3u9", kOther},
      // Four bytes or fewer after folding match nothing.
      {".mp3", kOther},
      {".m3u", kOther},
      {"\x82\x8D\x82\x90\x82\x52.", kOther},
      {"xmp3", kOther},
      {"songmp3", kOther},
      {"a.mp3.txt", kOther},
      {"a.mp4", kOther},
      {"", kOther},
  };
  for (const Row& row : rows) EXPECT_EQ(ClassifyName(row.name), row.kind) << row.name;
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
    Lines entries(g_state.catalogue.entries, g_state.catalogue.entries + g_state.catalogue.count);
    std::sort(entries.begin(), entries.end());
    return entries;
  }
  test::TempDrive tree_;
};

TEST_F(SearchTest, WhatIsFound) {
  tree_.WriteFile("1/2/3/4/5/6/7/8/9/nine.mp3");
  tree_.WriteFile("1/2/3/4/5/6/7/8/9/10/ten.mp3");  // ten levels down: not listed
  tree_.WriteFile(".songs/a.mp3");
  tree_.WriteFile("Music/B.Mp3");
  tree_.WriteFile("Music/.c.mp3");
  tree_.WriteFile("Music/cover.jpg");
  tree_.MakeFolder("Empty.mp3");
  const std::string a(200, 'a');
  const std::string b(200, 'b');
  tree_.WriteFile(a + "/" + b + "/" + std::string(100, 'n') + ".mp3");  // 509 bytes
  tree_.WriteFile(a + "/" + b + "/" + std::string(110, 'n') + ".mp3");  // 519: skipped
  tree_.WriteFile("locked/l.mp3");
  chmod((tree_.root() + "/locked").c_str(), 0);
  const bool root = access((tree_.root() + "/locked").c_str(), R_OK) == 0;

  Lines expected = {"T:\\1\\2\\3\\4\\5\\6\\7\\8\\9\\nine.mp3", "T:\\Music\\.c.mp3",
                    "T:\\Music\\B.Mp3",
                    "T:\\" + a + "\\" + b + "\\" + std::string(100, 'n') + ".mp3"};
  if (root) expected.push_back("T:\\locked\\l.mp3");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Search("T:"), expected);
  EXPECT_EQ(Search("T:\\missing"), Lines{});
  chmod((tree_.root() + "/locked").c_str(), 0700);
}

TEST_F(SearchTest, AListStandsForItsFolder) {
  tree_.WriteFile("a.mp3");
  tree_.WriteFile("list.m3u", "X:\\1.mp3\n\nX:\\2.mp3\n");
  tree_.WriteFile("z.mp3");
  tree_.WriteFile("Sub/s.mp3");
  // The folder's own files go whatever the listing's order. A subfolder has a flag of its own,
  // so its files stay when it is searched after the list, and go with the rest before it.
  bool sub_first = false;
  for (const auto& item : std::filesystem::directory_iterator(tree_.root())) {
    if (item.path().filename() == "list.m3u") break;
    sub_first = sub_first || item.path().filename() == "Sub";
  }
  Lines expected = {"X:\\1.mp3", "X:\\2.mp3"};
  if (!sub_first) expected.insert(expected.begin(), "T:\\Sub\\s.mp3");
  EXPECT_EQ(Search("T:"), expected);
}

TEST_F(SearchTest, FiveHundredEntriesAtMostYetEveryFolderIsWalked) {
  char name[32];
  for (int f = 0; f < 6; ++f) {
    for (int i = 0; i < 100; ++i) {
      std::snprintf(name, sizeof name, "F%d/%d.mp3", f, i);
      tree_.WriteFile(name);
    }
  }
  tree_.WriteFile("F5/L/list.m3u", "X:\\1.mp3\n");
  EXPECT_EQ(Search("T:").size(), 500u);
  EXPECT_EQ(FoldersListed(), 8);

  // With 499 entries before the folder is listed, a list of three lines adds its first.
  tree_.WriteFile("L3/list.m3u", "X:\\1.mp3\nX:\\2.mp3\nX:\\3.mp3\n");
  g_state.catalogue.count = 499;
  SearchFolder("T:\\L3", 0);
  EXPECT_EQ(g_state.catalogue.count, 500);
  EXPECT_STREQ(g_state.catalogue.entries[499], "X:\\1.mp3");
}

// Level i holds four links to level i + 1: a few folders on disk that the search meets as 4^9
// folders, far more than it lists in a tenth of a second.
void MakeLinkFan(const std::string& root) {
  for (int level = 0; level < kSearchDepthLimit; ++level) {
    const std::string folder = root + "/L" + std::to_string(level);
    std::filesystem::create_directories(folder);
    if (level + 1 == kSearchDepthLimit) break;
    for (char link = 'a'; link < 'e'; ++link) {
      std::filesystem::create_directory_symlink(root + "/L" + std::to_string(level + 1),
                                                folder + "/" + link);
    }
  }
}

TEST_F(SearchTest, ALongSearchLetsTheWindowRunAndEndsWhenTheProgramCloses) {
  MakeLinkFan(tree_.root());
  tree_.WriteFile("L9/x.mp3");
  RecordingWindow window;
  window.on_keep_alive = [] { g_state.closing = true; };
  Search("T:\\L0");
  EXPECT_GE(window.keep_alives, 1);
  EXPECT_LT(FoldersListed(), 100000);
  EXPECT_LE(g_state.catalogue.count, 500);

  // A close made before the search began leaves nothing to search.
  ResetFoldersListed();
  EXPECT_EQ(Search("T:\\L8"), Lines{});
  EXPECT_EQ(FoldersListed(), 0);
}

}  // namespace
}  // namespace veldan
