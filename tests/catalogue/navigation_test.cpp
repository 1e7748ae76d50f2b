#include "catalogue/navigation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/program_state.h"
#include "catalogue/temp_tree.h"

namespace veldan {
namespace {

void SetEntries(const std::vector<std::string>& entries) {
  ResetProgramState();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::strcpy(g_state.catalogue.entries[i], entries[i].c_str());
  }
  g_state.catalogue.count = static_cast<int32_t>(entries.size());
}

struct Case {
  const char* what;
  std::function<int32_t()> op;
  int32_t expected;
};

void Check(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(c.op(), c.expected) << c.what;
}

// Entries 0-2 in folder A, 3-4 in folder B.
void SetFiveEntries() {
  SetEntries({"C:\\A\\1.mp3", "C:\\A\\2.mp3", "C:\\A\\3.mp3", "C:\\B\\4.mp3", "C:\\B\\5.mp3"});
}

TEST(NavigationTest, TwoAlbumsOfFiveEntries) {
  SetFiveEntries();
  Check({
      {"NextAlbumFirstIndex(1)", [] { return NextAlbumFirstIndex(1); }, 3},
      {"NextAlbumFirstIndex(4)", [] { return NextAlbumFirstIndex(4); }, 0},
      {"AlbumFirstIndex(1)", [] { return AlbumFirstIndex(1); }, 0},
      {"AlbumFirstIndex(4)", [] { return AlbumFirstIndex(4); }, 3},
      {"AlbumLastIndex(1)", [] { return AlbumLastIndex(1); }, 2},
      {"AlbumLastIndex(3)", [] { return AlbumLastIndex(3); }, 4},
      {"PrevAlbumFirstIndex(3)", [] { return PrevAlbumFirstIndex(3); }, 0},
      {"PrevAlbumFirstIndex(1)", [] { return PrevAlbumFirstIndex(1); }, 3},
      {"NextFileIndex(2, lock)", [] { return NextFileIndex(2, true, false); }, 0},
      {"NextFileIndex(4, lock)", [] { return NextFileIndex(4, true, false); }, 3},
      {"NextFileIndex(1, lock)", [] { return NextFileIndex(1, true, false); }, 2},
      {"NextFileIndex(4)", [] { return NextFileIndex(4, false, false); }, 0},
      {"NextFileIndex(2)", [] { return NextFileIndex(2, false, false); }, 3},
      {"PrevFileIndex(0, lock)", [] { return PrevFileIndex(0, true); }, 2},
      {"PrevFileIndex(3, lock)", [] { return PrevFileIndex(3, true); }, 4},
      {"PrevFileIndex(2, lock)", [] { return PrevFileIndex(2, true); }, 1},
      {"PrevFileIndex(0)", [] { return PrevFileIndex(0, false); }, 4},
      {"PrevFileIndex(3)", [] { return PrevFileIndex(3, false); }, 2},
      {"AlbumNumberOf(2)", [] { return AlbumNumberOf(2); }, 1},
      {"AlbumNumberOf(4)", [] { return AlbumNumberOf(4); }, 2},
  });
  // In a two-entry album, random play under the lock alternates whatever the generator gives.
  for (unsigned seed = 0; seed < 20; ++seed) {
    SeedRandom(seed);
    EXPECT_EQ(NextFileIndex(3, true, true), 4);
    EXPECT_EQ(NextFileIndex(4, true, true), 3);
  }
}

TEST(NavigationTest, FixedResultsBelowTwoEntries) {
  for (int32_t count : {0, 1}) {
    SetEntries(count == 1 ? std::vector<std::string>{"C:\\A\\1.mp3"} : std::vector<std::string>{});
    Check({
        {"NextAlbumFirstIndex", [] { return NextAlbumFirstIndex(0); }, -1},
        {"AlbumLastIndex", [] { return AlbumLastIndex(0); }, 0},
        {"AlbumFirstIndex", [] { return AlbumFirstIndex(0); }, 0},
        {"PrevAlbumFirstIndex", [] { return PrevAlbumFirstIndex(0); }, 0},
        {"NextFileIndex lock random", [] { return NextFileIndex(0, true, true); }, 0},
        {"NextFileIndex random", [] { return NextFileIndex(0, false, true); }, 0},
        {"NextFileIndex", [] { return NextFileIndex(0, false, false); }, 0},
        {"PrevFileIndex lock", [] { return PrevFileIndex(0, true); }, 0},
        {"PrevFileIndex", [] { return PrevFileIndex(0, false); }, 0},
        {"AlbumNumberOf", [] { return AlbumNumberOf(0); }, 1},
    });
  }
}

TEST(NavigationTest, AlbumsRunCyclicallyButAreNumberedFromTheStart) {
  SetEntries({"X:\\A\\1.mp3", "X:\\B\\2.mp3", "X:\\A\\3.mp3"});
  Check({
      {"AlbumFirstIndex(0)", [] { return AlbumFirstIndex(0); }, 2},
      {"AlbumLastIndex(0)", [] { return AlbumLastIndex(0); }, 0},
      {"AlbumLastIndex(2)", [] { return AlbumLastIndex(2); }, 0},
      {"NextFileIndex(0, lock, random)", [] { return NextFileIndex(0, true, true); }, 2},
      {"NextFileIndex(2, lock)", [] { return NextFileIndex(2, true, false); }, 2},
      {"AlbumNumberOf(2)", [] { return AlbumNumberOf(2); }, 3},
  });
}

TEST(NavigationTest, OneFolderIsOneAlbum) {
  SetEntries({"X:\\A\\1.mp3", "X:\\A\\2.mp3", "X:\\A\\3.mp3", "X:\\A\\4.mp3"});
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(NextAlbumFirstIndex(i), -1);
    EXPECT_EQ(AlbumFirstIndex(i), 0);
    EXPECT_EQ(AlbumLastIndex(i), 3);
    EXPECT_EQ(PrevAlbumFirstIndex(i), 0);
  }
  // Letter case counts: x:\a is another album.
  std::strcpy(g_state.catalogue.entries[3], "X:\\a\\4.mp3");
  EXPECT_EQ(NextAlbumFirstIndex(0), 3);
}

TEST(NavigationTest, RandomChoicesAreEvenAmongTheOthers) {
  SetFiveEntries();
  SeedRandom(3);
  std::vector<int> hits(5, 0);
  for (int n = 0; n < 5000; ++n) ++hits[NextFileIndex(2, false, true)];
  EXPECT_EQ(hits[2], 0);
  for (int i : {0, 1, 3, 4}) EXPECT_GT(hits[i], 1000) << i;

  std::set<int32_t> in_album;
  for (int n = 0; n < 200; ++n) in_album.insert(NextFileIndex(1, true, true));
  EXPECT_EQ(in_album, (std::set<int32_t>{0, 2}));

  SetEntries({"X:\\A\\1.mp3", "X:\\B\\2.mp3"});
  for (int n = 0; n < 50; ++n) {
    EXPECT_EQ(NextFileIndex(0, false, true), 1);
    EXPECT_EQ(NextFileIndex(1, false, true), 0);
  }
}

TEST(NavigationTest, AnIndexOutsideTheCatalogueEndsTheWalks) {
  SetEntries({"X:\\A\\1.mp3", "X:\\A\\2.mp3"});
  NextAlbumFirstIndex(600);
  AlbumFirstIndex(-7);
  PrevAlbumFirstIndex(600);
  EXPECT_EQ(AlbumNumberOf(600), 1);
}

TEST(FindEntryIndexTest, FindsTheEntryThroughTheListing) {
  TempTree tree;
  tree.WriteFile("Album/Song.mp3");
  tree.WriteFile("Album/cover.jpg");
  SetEntries({"T:\\Album\\other.mp3", "T:\\Album\\Song.mp3", "T:\\Album\\Song.mp3"});
  Check({
      {"exact", [] { return FindEntryIndex("T:\\Album", "T:\\Album\\Song.mp3"); }, 1},
      {"other case", [] { return FindEntryIndex("T:\\Album", "T:\\Album\\SONG.mp3"); }, 1},
      {"wildcard", [] { return FindEntryIndex("T:\\Album", "T:\\Album\\S*.mp3"); }, 1},
      {"not in catalogue", [] { return FindEntryIndex("T:\\Album", "T:\\Album\\cover.jpg"); }, -1},
      {"no such file", [] { return FindEntryIndex("T:\\Album", "T:\\Album\\none.mp3"); }, -1},
      {"other folder", [] { return FindEntryIndex("T:", "T:\\Album\\Song.mp3"); }, -1},
  });
  g_state.catalogue.count = 1;
  EXPECT_EQ(FindEntryIndex("T:\\Album", "T:\\Album\\Song.mp3"), -1);
}

}  // namespace
}  // namespace veldan
