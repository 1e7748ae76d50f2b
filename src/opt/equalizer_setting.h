// The ten-band equalizer setting and its bar positions.
//
// A setting is ten signed 32-bit values in tenths of a decibel, 60 Hz first and 16 kHz last; the
// options dialog shows each on a vertical bar of 25 positions, 0 at the top (+12 dB) and 24 at the
// bottom (-12 dB), one position per decibel. Pure functions, callable from any thread.
#pragma once

#include <cstdint>

namespace veldan {

inline constexpr int kBarTop = 0;
inline constexpr int kBarMiddle = 12;
inline constexpr int kBarBottom = 24;

// The value a bar position stands for: 10 x (12 - position).
int32_t ValueFromBarPosition(int position);

// The bar position that shows a value: 12 - value / 10 with the division truncating toward zero,
// limited to the bar's range as the bar itself would limit it. Values off the bar stay as stored;
// only their display is limited.
int BarPositionFromValue(int32_t value);

}  // namespace veldan
