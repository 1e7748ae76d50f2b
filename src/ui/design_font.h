// The two Japanese UI fonts the windows are designed in, by their design names, and the IPA
// fonts that stand in for them (same metrics). User-interface thread only.
#pragma once

#include <QFont>

namespace veldan {

inline constexpr char kProportionalGothic[] = "ＭＳ Ｐゴシック";
inline constexpr char kFixedGothic[] = "ＭＳ ゴシック";

// Makes the design names resolve to IPAPGothic and IPAGothic, program-wide.
void MapDesignFonts();

// A design font at a pixel size.
QFont DesignFont(const char* family, int pixels, bool bold = false, bool italic = false);

}  // namespace veldan
