#include "opt/equalizer_setting.h"

#include <gtest/gtest.h>

#include <climits>

namespace veldan {
namespace {

TEST(EqualizerSettingTest, ConvertsBetweenValuesAndBarPositions) {
  const struct {
    int32_t value;
    int position;
  } cases[] = {
      {0, 12},  {120, 0},  {-120, 24}, {15, 11},       {-15, 13},
      {125, 0}, {5000, 0}, {-300, 24}, {INT32_MAX, 0}, {INT32_MIN, 24},
  };
  for (const auto& c : cases) EXPECT_EQ(BarPositionFromValue(c.value), c.position) << c.value;
  for (int position = kBarTop; position <= kBarBottom; ++position) {
    EXPECT_EQ(BarPositionFromValue(ValueFromBarPosition(position)), position);
  }
  EXPECT_EQ(ValueFromBarPosition(kBarTop), 120);
  EXPECT_EQ(ValueFromBarPosition(kBarBottom), -120);
}

}  // namespace
}  // namespace veldan
