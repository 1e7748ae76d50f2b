// The now-playing titles made from a track's path: the folder part and the file part, and the
// "text-(n/m) " form in which the main window shows them with album and track numbers.
//
// Pure; callable from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "catalogue/program_state.h"

namespace veldan {

struct TrackPathParts {
  char folder[kTextSize];  // the folder holding the file; the drive ("D:") for a file in a root
  char file[kTextSize];    // the file name without its four-byte extension
};

// Splits a program path at its last two separators (a trail byte is never one). A file part of
// more than four bytes loses its last four, the extension; a shorter one stays whole.
void SplitTrackPath(const char* path, TrackPathParts* parts);

// text + "-(" + number + "/" + total + ") ".
std::string NumberedTitle(std::string_view text, int32_t number, int32_t total);

}  // namespace veldan
