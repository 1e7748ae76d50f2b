#include "main/time_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace veldan {
namespace {

TEST(TimeTextTest, WritesHoursMinutesSecondsWithTrailingBlank) {
  const struct {
    int32_t seconds;
    const char* text;
  } cases[] = {
      {0, "0:00:00 "},      {59, "0:00:59 "},
      {300, "0:05:00 "},    {3725, "1:02:05 "},
      {36000, "10:00:00 "}, {std::numeric_limits<int32_t>::max(), "596523:14:07 "},
      {-1, "Unknown "},     {std::numeric_limits<int32_t>::min(), "Unknown "},
  };
  for (const auto& c : cases) EXPECT_EQ(TimeText(c.seconds), c.text) << c.seconds;
}

}  // namespace
}  // namespace veldan
