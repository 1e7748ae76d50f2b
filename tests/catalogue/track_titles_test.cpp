#include "catalogue/track_titles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace veldan {
namespace {

TEST(TrackTitlesTest, SplitsFolderAndFileParts) {
  const struct {
    const char* path;
    const char* folder;
    const char* file;
  } cases[] = {
      {"D:\\MP3\\BEST\\03 SONG.MP3", "BEST", "03 SONG"},
      {"D:\\SONG.MP3", "D:", "SONG"},  // a file in a drive's root shows the drive
      {"D:\\A\\A.MP3", "A", "A"},
      {"D:\\A\\ABCD", "A", "ABCD"},  // four bytes or fewer stay whole
      {"D:\\A\\ABCDE", "A", "A"},
      // 0x95 0x5C is one character; its trail byte does not separate.
      {"D:\\\x95\x5C\\\x95\x5C.mp3", "\x95\x5C", "\x95\x5C"},
      {"D:\\x\\y\\\x95\x5C\x95\x5C\x95\x5C.mp3", "y", "\x95\x5C\x95\x5C\x95\x5C"},
      {"song.mp3", "", "song"},  // a play-list line without any folder
      {"", "", ""},
      {"D:\\A\\", "A", ""},
      {"D:\\A\\b.mp3\x95", "A", "b."},  // a lead byte at the very end stands alone
  };
  for (const auto& c : cases) {
    TrackPathParts parts;
    SplitTrackPath(c.path, &parts);
    EXPECT_STREQ(parts.folder, c.folder) << c.path;
    EXPECT_STREQ(parts.file, c.file) << c.path;
  }
}

TEST(TrackTitlesTest, UnterminatedPathIsReadWithinItsBuffer) {
  char path[kTextSize];
  std::fill(std::begin(path), std::end(path), 'a');
  path[0] = 'D';
  path[1] = ':';
  path[2] = '\\';
  TrackPathParts parts;
  SplitTrackPath(path, &parts);
  EXPECT_STREQ(parts.folder, "D:");
  EXPECT_EQ(std::string(parts.file).size(), kTextSize - 1u - 3u - 4u);
}

TEST(TrackTitlesTest, NumberedTitleAppendsPositionAndBlank) {
  EXPECT_EQ(NumberedTitle("BEST", 2, 5), "BEST-(2/5) ");
  EXPECT_EQ(NumberedTitle("03 SONG", 3, 12), "03 SONG-(3/12) ");
  EXPECT_EQ(NumberedTitle("", 1, 1), "-(1/1) ");
}

}  // namespace
}  // namespace veldan
