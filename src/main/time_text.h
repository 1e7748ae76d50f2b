// Seconds as the text of the main window's time labels: "H:MM:SS " or "Unknown ".
//
// Pure; callable from any thread.
#pragma once

#include <cstdint>
#include <string>

namespace veldan {

// Hours without leading zeros and without upper bound, minutes and seconds as two digits, and a
// trailing blank; a negative count is a length the decoder does not know.
std::string TimeText(int32_t seconds);

}  // namespace veldan
