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
      {"Q:\\\x95\x5C", true, "Q:\\\x95\x5C"},  // 表: its second byte is no separator
      {"", false, "old"},
      {"Q:\\much too long", false, "old"},
  };
  for (const auto& c : cases) {
    char starting[12] = "old";
    EXPECT_EQ(StartingFolderFromChosen(c.chosen, starting, sizeof starting), c.taken) << c.chosen;
    EXPECT_STREQ(starting, c.starting) << c.chosen;
  }
}

}  // namespace
}  // namespace veldan
