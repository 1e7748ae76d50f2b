// The named colours the windows are drawn in, as 0xRRGGBB: the status texts the catalogue sets
// through its window interface and the faces, texts and button pictures of every window. Qt takes
// them as they are (QColor(kColourAqua)). Constants only, any thread.
#pragma once

#include <cstdint>

namespace veldan {

inline constexpr uint32_t kColourBlack = 0x000000;
inline constexpr uint32_t kColourNavy = 0x000080;
inline constexpr uint32_t kColourGreen = 0x008000;
inline constexpr uint32_t kColourTeal = 0x008080;
inline constexpr uint32_t kColourOlive = 0x808000;
inline constexpr uint32_t kColourGray = 0x808080;
inline constexpr uint32_t kColourSilver = 0xC0C0C0;
inline constexpr uint32_t kColourRed = 0xFF0000;
inline constexpr uint32_t kColourLime = 0x00FF00;
inline constexpr uint32_t kColourYellow = 0xFFFF00;
inline constexpr uint32_t kColourBlue = 0x0000FF;
inline constexpr uint32_t kColourMagenta = 0xFF00FF;
inline constexpr uint32_t kColourAqua = 0x00FFFF;
inline constexpr uint32_t kColourWhite = 0xFFFFFF;

}  // namespace veldan
