#include "opt/equalizer_setting.h"

#include <algorithm>

namespace veldan {

int32_t ValueFromBarPosition(int position) {
  return 10 * (kBarMiddle - position);
}

int BarPositionFromValue(int32_t value) {
  // Widened first: 12 - INT32_MIN / 10 fits an int, but the clamp must see the true result.
  const int64_t position = int64_t{kBarMiddle} - value / 10;
  return static_cast<int>(std::clamp<int64_t>(position, kBarTop, kBarBottom));
}

}  // namespace veldan
