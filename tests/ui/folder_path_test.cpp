#include "ui/folder_path.h"

#include <gtest/gtest.h>

#include <string>

namespace veldan {
namespace {

struct NormaliseCase {
  const char* in;
  bool ok;
  const char* out;
};

TEST(FolderPathTest, NormalisesToTheReportedForm) {
  const NormaliseCase cases[] = {
      {"Q:", true, "Q:\\"},
      {"q:\\", true, "Q:\\"},
      {"Q:\\Music", true, "Q:\\Music"},
      {"Q:\\Music\\", true, "Q:\\Music"},
      {"Q:\\\x95\x5C", true, "Q:\\\x95\x5C"},  // ends in the character 表, not a separator
      {"Q:\\\x95\x5C\\", true, "Q:\\\x95\x5C"},
      {"", false, ""},
      {"\\Music", false, ""},
      {"Q:Music", false, ""},
      {"1:\\", false, ""},
  };
  for (const auto& c : cases) {
    char out[512] = "junk";
    EXPECT_EQ(NormaliseFolderText(c.in, out, sizeof out), c.ok) << c.in;
    EXPECT_STREQ(out, c.out) << c.in;
  }
}

TEST(FolderPathTest, NeverWritesPastTheBuffer) {
  char out[6];
  EXPECT_TRUE(NormaliseFolderText("Q:\\abc", out, sizeof out) == false);
  EXPECT_STREQ(out, "");
  EXPECT_TRUE(NormaliseFolderText("Q:\\ab", out, sizeof out));
  EXPECT_TRUE(JoinFolderText("Q:\\", "ab", out, sizeof out));
  EXPECT_STREQ(out, "Q:\\ab");
  EXPECT_FALSE(JoinFolderText("Q:\\a", "b", out, sizeof out));
  EXPECT_STREQ(out, "");
}

TEST(FolderPathTest, JoinsWithOneSeparator) {
  char out[512];
  ASSERT_TRUE(JoinFolderText("Q:\\", "*", out, sizeof out));
  EXPECT_STREQ(out, "Q:\\*");
  ASSERT_TRUE(JoinFolderText("Q:\\a\\b", "c", out, sizeof out));
  EXPECT_STREQ(out, "Q:\\a\\b\\c");
}

TEST(FolderPathTest, FindsComponentsPastTwoByteCharacters) {
  // 表 (95 5C) and ソ (83 5C) carry a separator byte as their second byte.
  const char* folder = "Q:\\\x95\x5C\\\x83\x5C" "a\\b";
  int starts[8];
  ASSERT_EQ(FolderComponentStarts(folder, starts, 8), 3);
  EXPECT_EQ(starts[0], 3);
  EXPECT_EQ(starts[1], 6);
  EXPECT_EQ(starts[2], 10);
  EXPECT_EQ(FolderComponentStarts("Q:\\", starts, 8), 0);
  EXPECT_EQ(FolderComponentStarts("Q:\\a\\b\\c", starts, 2), 2);  // bounded by max
}

TEST(FolderPathTest, TellsSeparatorsFromTrailBytes) {
  EXPECT_TRUE(EndsWithSeparator("Q:\\"));
  EXPECT_TRUE(EndsWithSeparator("Q:\\\x95\x5C\\"));
  EXPECT_FALSE(EndsWithSeparator("Q:\\\x95\x5C"));
  EXPECT_FALSE(EndsWithSeparator("Q:"));
  EXPECT_FALSE(EndsWithSeparator(""));
  EXPECT_TRUE(IsDriveRootText("Q:\\"));
  EXPECT_FALSE(IsDriveRootText("Q:\\a"));
}

}  // namespace
}  // namespace veldan
