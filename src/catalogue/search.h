// The catalogue search's own questions: what a file name is, and how much a build listed.
//
// User-interface thread only.
#pragma once

#include <cstdint>

namespace veldan {

// Search depth: the starting folder is 0; folders at this depth are not listed.
inline constexpr int kSearchDepthLimit = 10;

enum class NameKind { kOther, kTrack, kPlayList };

// What a file of this bare name is to the search: the last four bytes of its sort key are ".MP3"
// (a track) or ".M3U" (a play list), and the key is longer than four bytes; a key ending in
// ".M3U8" and longer than five bytes is a play list too (UTF-8 text).
NameKind ClassifyName(const char* name);

// Folders whose listing opened, counted over all searches since the last reset.
int64_t FoldersListed();
void ResetFoldersListed();

}  // namespace veldan
