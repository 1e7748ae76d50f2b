#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/program_state.h"

namespace veldan {
namespace {

TEST(MakeSortKeyTest, DepthThenFoldedPath) {
  struct Row {
    std::string path;
    std::string key;
  };
  const Row rows[] = {
      {"", ""},
      {"D:\\x.mp3", "1:\\X.MP3"},
      {"C:\\M\\A\\a.mp3", "3:\\M\\A\\A.MP3"},
      {"E:\\Songs\\A.MP3", "2:\\SONGS\\A.MP3"},
      {"\\\\\\\\\\\\\\\\\\\\", ":\\\\\\\\\\\\\\\\\\"},  // ten separators give ':'
      // Full-width digits, capitals and small letters at the range ends fold to plain ones.
      {"D:\\\x82\x81\x82\x82\x82\x50.mp3", "1:\\AB1.MP3"},
      {"D:\\\x82\x4F\x82\x58\x82\x60\x82\x79\x82\x9A", "1:\\09AZZ"},
      // Just outside the ranges the two bytes stay.
      {"D:\\\x82\x4E\x82\x59\x82\x5F\x82\x7A\x82\x80\x82\x9B",
       "1:\\\x82\x4E\x82\x59\x82\x5F\x82\x7A\x82\x80\x82\x9B"},
      // A trail byte is never raised to a capital nor counted as a separator (表 = 0x95 0x5C).
      {"D:\\\x81\x61\x95\x5C", "1:\\\x81\x61\x95\x5C"},
      // Half-width katakana stay; a lead byte in the last position stays.
      {"D:\\\xB1\xDFx", "1:\\\xB1\xDFX"},
      {"D:\\a\\\x88", "2:\\A\\\x88"},
      // The depth character replaces the first output byte, even a lead byte.
      {"\x95\x5C"
       "a",
       "0\x5C"
       "A"},
      {std::string(511, 'a'), "0" + std::string(510, 'A')},
  };
  for (const Row& row : rows) {
    char buf[kTextSize] = {};
    std::memcpy(buf, row.path.data(), row.path.size());
    MakeSortKey(buf);
    EXPECT_EQ(buf, row.key) << row.path;
  }
}

}  // namespace
}  // namespace veldan
