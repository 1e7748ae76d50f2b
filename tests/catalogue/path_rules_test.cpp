#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/path_text.h"
#include "catalogue/program_state.h"

namespace veldan {
namespace {

// Each row: path, its parent, and the path with one trailing separator stripped.
TEST(PathRulesTest, ParentAndTrailingSeparatorNeverSplitACharacter) {
  struct Row {
    const char* path;
    const char* parent;
    const char* stripped;
  };
  const Row rows[] = {
      {"D:\\A\\x.mp3", "D:\\A", "D:\\A\\x.mp3"},
      {"D:\\x.mp3", "D:", "D:\\x.mp3"},
      {"x.mp3", "", "x.mp3"},
      {"", "", ""},
      {"E:\\Music\\", "E:\\Music", "E:\\Music"},
      {"E:\\", "E:", "E:"},
      // 表 is 0x95 0x5C: its trail byte is not a separator.
      {"D:\\\x95\x5C", "D:", "D:\\\x95\x5C"},
      {"D:\\\x95\x5C\\a.mp3", "D:\\\x95\x5C", "D:\\\x95\x5C\\a.mp3"},
      {"D:\\\x95\x5C\\", "D:\\\x95\x5C", "D:\\\x95\x5C"},
      // A lead byte in the last position has no trail byte to step over.
      {"D:\\a\\\x95", "D:\\a", "D:\\a\\\x95"},
      // Half-width katakana are single bytes: the 0x5C after one is a separator.
      {"D:\\\xB1\\b", "D:\\\xB1", "D:\\\xB1\\b"},
  };
  for (const Row& row : rows) {
    char parent[kTextSize] = {};
    char stripped[kTextSize] = {};
    std::strcpy(parent, row.path);
    std::strcpy(stripped, row.path);
    CutToParentFolder(parent);
    StripTrailingSeparator(stripped);
    EXPECT_STREQ(parent, row.parent) << row.path;
    EXPECT_STREQ(stripped, row.stripped) << row.path;
  }
}

TEST(JoinPathTest, NeverTruncatesIntoAnotherPath) {
  char out[kTextSize];
  const std::string folder(500, 'f');
  ASSERT_TRUE(JoinPath(out, folder.c_str(), std::string(10, 'n').c_str()));  // 511 bytes
  EXPECT_EQ(std::strlen(out), 511u);
  EXPECT_EQ(out[500], '\\');
  EXPECT_FALSE(JoinPath(out, folder.c_str(), std::string(11, 'n').c_str()));  // 512 bytes
  EXPECT_STREQ(out, "");
}

}  // namespace
}  // namespace veldan
