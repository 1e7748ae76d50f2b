#include "ui/folder_path.h"

#include <gtest/gtest.h>

namespace veldan {
namespace {

TEST(FolderPathTest, NormalisesToTheReportedForm) {
  const struct {
    const char* in;
    bool ok;
    const char* out;
  } cases[] = {
      {"Q:", true, "Q:\\"},
      {"q:\\", true, "Q:\\"},
      {"Q:\\Music\\", true, "Q:\\Music"},
      {"Q:\\\x95\x5C", true, "Q:\\\x95\x5C"},  // ends in 表 (95 5C), not in a separator
      {"Q:\\\x95\x5C\\", true, "Q:\\\x95\x5C"},
      {"", false, ""},
      {"\\Music", false, ""},
      {"Q:Music", false, ""},
  };
  for (const auto& c : cases) {
    char out[512] = "junk";
    EXPECT_EQ(NormaliseFolderText(c.in, out, sizeof out), c.ok) << c.in;
    EXPECT_STREQ(out, c.out) << c.in;
  }
  char small[6];
  EXPECT_FALSE(NormaliseFolderText("Q:\\abc", small, sizeof small));
  EXPECT_FALSE(JoinFolderText("Q:\\a", "b", small, sizeof small));
  EXPECT_TRUE(JoinFolderText("Q:\\", "ab", small, sizeof small));
  EXPECT_STREQ(small, "Q:\\ab");
}

TEST(FolderPathTest, FindsComponentsPastTwoByteCharacters) {
  // 表 (95 5C) and ソ (83 5C) carry a separator byte as their second byte.
  const char* folder =
      "Q:\\\x95\x5C\\\x83\x5C"
      "a\\b";
  int starts[8];
  ASSERT_EQ(FolderComponentStarts(folder, starts, 8), 3);
  EXPECT_EQ(starts[0], 3);
  EXPECT_EQ(starts[1], 6);
  EXPECT_EQ(starts[2], 10);
  EXPECT_EQ(FolderComponentStarts("Q:\\", starts, 8), 0);
}

}  // namespace
}  // namespace veldan
