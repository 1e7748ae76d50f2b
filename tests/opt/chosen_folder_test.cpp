#include "opt/chosen_folder.h"

#include <gtest/gtest.h>

namespace veldan {
namespace {

TEST(ChosenFolderTest, DropsOneTrailingSeparator) {
  const struct {
    const char* chosen;
    bool taken;
    const char* starting;
  } cases[] = {
      {"Q:\\", true, "Q:"},
      {"Q:\\Music", true, "Q:\\Music"},
      {"Q:\\Music\\", true, "Q:\\Music"},
      {"Q:\\\x95\x5C", true, "Q:\\\x95\x5C"},  // 表: its second byte is no separator
      {"", false, "old"},
      {"\\", false, "old"},
  };
  for (const auto& c : cases) {
    char starting[512] = "old";
    EXPECT_EQ(StartingFolderFromChosen(c.chosen, starting, sizeof starting), c.taken) << c.chosen;
    EXPECT_STREQ(starting, c.starting) << c.chosen;
  }
}

TEST(ChosenFolderTest, KeepsTheOldFolderWhenTheChosenOneDoesNotFit) {
  char starting[8] = "C:\\old";
  EXPECT_FALSE(StartingFolderFromChosen("Q:\\folder", starting, sizeof starting));
  EXPECT_STREQ(starting, "C:\\old");
  EXPECT_TRUE(StartingFolderFromChosen("Q:\\abcd\\", starting, sizeof starting));
  EXPECT_STREQ(starting, "Q:\\abcd");
}

}  // namespace
}  // namespace veldan
