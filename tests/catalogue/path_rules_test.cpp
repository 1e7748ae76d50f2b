#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/path_text.h"
#include "catalogue/program_state.h"

namespace veldan {
namespace {

TEST(IsLeadByteTest, RangesAndGaps) {
  struct Row {
    unsigned char byte;
    bool lead;
  };
  const Row rows[] = {{0x00, false}, {0x5C, false}, {0x7F, false}, {0x80, false}, {0x81, true},
                      {0x84, true},  {0x85, false}, {0x86, false}, {0x87, true},  {0x9F, true},
                      {0xA0, false}, {0xB1, false}, {0xDF, false}, {0xE0, true},  {0xFF, true}};
  for (const Row& row : rows) EXPECT_EQ(IsLeadByte(row.byte), row.lead) << int{row.byte};
}

std::string Cut(std::string path) {
  char buf[kTextSize] = {};
  std::memcpy(buf, path.data(), path.size());
  CutToParentFolder(buf);
  return buf;
}

TEST(CutToParentFolderTest, CutsAtLastSingleByteSeparator) {
  struct Row {
    const char* path;
    const char* parent;
  };
  const Row rows[] = {
      {"D:\\A\\x.mp3", "D:\\A"},
      {"D:\\x.mp3", "D:"},
      {"x.mp3", ""},
      {"", ""},
      {"C:\\Tools\\Player.exe", "C:\\Tools"},
      // 表 is 0x95 0x5C: its trail byte is not a separator.
      {"D:\\\x95\x5C", "D:"},
      {"D:\\\x95\x5C\\a.mp3", "D:\\\x95\x5C"},
      {"\x95\x5C", ""},
      // A lead byte in the last position has no trail byte to step over.
      {"D:\\a\\\x95", "D:\\a"},
      // Half-width katakana are single bytes: the 0x5C after one is a separator.
      {"D:\\\xB1\\b", "D:\\\xB1"},
  };
  for (const Row& row : rows) EXPECT_EQ(Cut(row.path), row.parent) << row.path;
}

TEST(EntryFolderTest, ParentOfTheEntry) {
  ResetProgramState();
  std::strcpy(g_state.catalogue.entries[3], "E:\\Songs\\Live\\b.mp3");
  g_state.catalogue.count = 4;
  char out[kTextSize];
  EntryFolder(out, 3);
  EXPECT_STREQ(out, "E:\\Songs\\Live");
  EntryFolder(out, -1);
  EXPECT_STREQ(out, "");
}

TEST(JoinPathTest, NeverTruncatesIntoAnotherPath) {
  char out[kTextSize];
  ASSERT_TRUE(JoinPath(out, "D:\\A", "x.mp3"));
  EXPECT_STREQ(out, "D:\\A\\x.mp3");

  const std::string folder(500, 'f');
  ASSERT_TRUE(JoinPath(out, folder.c_str(), std::string(10, 'n').c_str()));  // 511 bytes
  EXPECT_EQ(std::strlen(out), 511u);
  EXPECT_FALSE(JoinPath(out, folder.c_str(), std::string(11, 'n').c_str()));  // 512 bytes
  EXPECT_STREQ(out, "");
}

TEST(StripTrailingSeparatorTest, OneSingleByteSeparatorGoes) {
  struct Row {
    const char* path;
    const char* stripped;
  };
  const Row rows[] = {
      {"E:\\Music\\", "E:\\Music"}, {"E:\\", "E:"},   {"E:", "E:"},
      {"E:\\Music", "E:\\Music"},   {"", ""},         {"E:\\\x95\x5C", "E:\\\x95\x5C"},
      {"E:\\\x95\x5C\\", "E:\\\x95\x5C"},
  };
  for (const Row& row : rows) {
    char buf[kTextSize] = {};
    std::strcpy(buf, row.path);
    StripTrailingSeparator(buf);
    EXPECT_STREQ(buf, row.stripped) << row.path;
  }
}

}  // namespace
}  // namespace veldan
