#include "main/time_text.h"

#include <cstdio>

namespace veldan {

std::string TimeText(int32_t seconds) {
  if (seconds < 0) return "Unknown ";
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d:%02d ", static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return text;
}

}  // namespace veldan
