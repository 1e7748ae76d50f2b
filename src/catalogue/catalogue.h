// The track catalogue: path rules on Shift-JIS program text, the search and the build.
//
// The catalogue itself lives in g_state.catalogue (program_state.h). No heap allocation; every
// text is a fixed 512-byte buffer. User-interface thread only.
#pragma once

#include <cstdint>

namespace veldan {

// Replaces the path in its 512-byte buffer by its sort key.
void MakeSortKey(char* path);

// Cuts the path at its last separator (never a trail byte); no separator gives the empty text.
void CutToParentFolder(char* path);

// The parent folder of catalogue entry index, into a 512-byte buffer.
void EntryFolder(char* out, int32_t index);

// Waits until the drive of path (first byte: the letter) answers the media-present test. False
// when the wait was aborted (wait-abort or closing flag).
bool WaitForMedia(const char* path);

// Adds the MP3 files and play-list lines under folder (no trailing separator) to the catalogue.
int32_t SearchFolder(const char* folder, int depth);

// Rebuilds the catalogue from the starting folder (no trailing separator).
void BuildCatalogue(const char* starting_folder);

}  // namespace veldan
