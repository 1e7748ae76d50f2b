#include "catalogue/navigation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "catalogue/program_state.h"
#include "support/temp_drives.h"

namespace veldan {
namespace {

void SetEntries(const std::vector<std::string>& entries) {
  ResetProgramState();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::strcpy(g_state.catalogue.entries[i], entries[i].c_str());
  }
  g_state.catalogue.count = static_cast<int32_t>(entries.size());
}

using Op = int32_t (*)(int32_t);
int32_t Next(int32_t i) {
  return NextFileIndex(i, false, false);
}
int32_t NextLock(int32_t i) {
  return NextFileIndex(i, true, false);
}
int32_t NextRandomPick(int32_t i) {
  return NextFileIndex(i, false, true);
}
int32_t NextLockRandom(int32_t i) {
  return NextFileIndex(i, true, true);
}
int32_t Prev(int32_t i) {
  return PrevFileIndex(i, false);
}
int32_t PrevLock(int32_t i) {
  return PrevFileIndex(i, true);
}

struct Row {
  Op op;
  const char* name;
  int32_t index;
  int32_t expected;
};
#define ROW(op, index, expected) (Row{op, #op, index, expected})

void Check(const std::vector<Row>& rows) {
  for (const Row& r : rows) EXPECT_EQ(r.op(r.index), r.expected) << r.name << "(" << r.index << ")";
}

TEST(NavigationTest, TwoAlbumsOfFiveEntries) {
  SetEntries({"C:\\A\\1.mp3", "C:\\A\\2.mp3", "C:\\A\\3.mp3", "C:\\B\\4.mp3", "C:\\B\\5.mp3"});
  Check({ROW(NextAlbumFirstIndex, 1, 3), ROW(NextAlbumFirstIndex, 4, 0), ROW(AlbumFirstIndex, 1, 0),
         ROW(AlbumFirstIndex, 4, 3), ROW(AlbumLastIndex, 1, 2), ROW(AlbumLastIndex, 3, 4),
         ROW(PrevAlbumFirstIndex, 3, 0), ROW(PrevAlbumFirstIndex, 1, 3), ROW(NextLock, 2, 0),
         ROW(NextLock, 4, 3), ROW(NextLock, 1, 2), ROW(Next, 4, 0), ROW(PrevLock, 0, 2),
         ROW(PrevLock, 3, 4), ROW(PrevLock, 2, 1), ROW(Prev, 0, 4), ROW(AlbumNumberOf, 2, 1),
         ROW(AlbumNumberOf, 4, 2)});
  // Random choices are among the others only, and cover them all.
  for (unsigned seed = 0; seed < 20; ++seed) {
    SeedRandom(seed);
    EXPECT_EQ(NextLockRandom(3), 4);  // a two-entry album alternates
    EXPECT_EQ(NextLockRandom(4), 3);
  }
  std::set<int32_t> in_album;
  std::set<int32_t> anywhere;
  for (int n = 0; n < 400; ++n) {
    in_album.insert(NextLockRandom(1));
    anywhere.insert(NextRandomPick(2));
  }
  EXPECT_EQ(in_album, (std::set<int32_t>{0, 2}));
  EXPECT_EQ(anywhere, (std::set<int32_t>{0, 1, 3, 4}));
}

TEST(NavigationTest, FixedResultsBelowTwoEntries) {
  for (int32_t count : {0, 1}) {
    SetEntries(std::vector<std::string>(count, "C:\\A\\1.mp3"));
    Check({ROW(NextAlbumFirstIndex, 0, -1), ROW(AlbumLastIndex, 0, 0), ROW(AlbumFirstIndex, 0, 0),
           ROW(PrevAlbumFirstIndex, 0, 0), ROW(NextLockRandom, 0, 0), ROW(NextRandomPick, 0, 0),
           ROW(Next, 0, 0), ROW(PrevLock, 0, 0), ROW(Prev, 0, 0), ROW(AlbumNumberOf, 0, 1)});
  }
}

TEST(NavigationTest, AlbumsRunCyclicallyButAreNumberedFromTheStart) {
  SetEntries({"X:\\A\\1.mp3", "X:\\B\\2.mp3", "X:\\A\\3.mp3"});
  Check({ROW(AlbumFirstIndex, 0, 2), ROW(AlbumLastIndex, 0, 0), ROW(NextLockRandom, 0, 2),
         ROW(AlbumNumberOf, 2, 3)});
  // One folder is one album; letter case counts.
  SetEntries({"X:\\A\\1.mp3", "X:\\A\\2.mp3", "X:\\A\\3.mp3", "X:\\a\\4.mp3"});
  Check({ROW(NextAlbumFirstIndex, 0, 3), ROW(AlbumLastIndex, 1, 2)});
  g_state.catalogue.count = 3;
  Check({ROW(NextAlbumFirstIndex, 1, -1), ROW(AlbumFirstIndex, 2, 0), ROW(AlbumLastIndex, 0, 2),
         ROW(PrevAlbumFirstIndex, 1, 0)});
  // An index outside the catalogue still ends every walk.
  NextAlbumFirstIndex(600);
  AlbumFirstIndex(-7);
  EXPECT_EQ(AlbumNumberOf(600), 1);
}

TEST(NavigationTest, FindEntryIndexGoesThroughTheListing) {
  test::TempDrive tree;
  tree.WriteFile("Album/Song.mp3");
  tree.WriteFile("Album/cover.jpg");
  SetEntries({"T:\\Album\\other.mp3", "T:\\Album\\Song.mp3", "T:\\Album\\Song.mp3"});
  struct Case {
    const char* folder;
    const char* pattern;
    int32_t expected;
  };
  const Case cases[] = {
      {"T:\\Album", "T:\\Album\\Song.mp3", 1},  {"T:\\Album", "T:\\Album\\SONG.mp3", 1},
      {"T:\\Album", "T:\\Album\\S*.mp3", 1},    {"T:\\Album", "T:\\Album\\cover.jpg", -1},
      {"T:\\Album", "T:\\Album\\none.mp3", -1}, {"T:", "T:\\Album\\Song.mp3", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(FindEntryIndex(c.folder, c.pattern), c.expected) << c.pattern;
}

}  // namespace
}  // namespace veldan
