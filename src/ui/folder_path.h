// Folder texts as the folder list reports them: program text, a drive root as "X:\" and any
// other folder as its full path without a trailing separator. A separator is the byte 0x5C that
// is not the second byte of a two-byte character. Pure functions, callable from any thread.
#pragma once

#include <cstddef>

namespace veldan {

// Brings a folder text into the reported form: upper-case drive letter, "X:" becomes "X:\", one
// trailing separator of any other folder removed. False, with out empty, when the text names no
// drive ("X:" first) or does not fit.
bool NormaliseFolderText(const char* folder, char* out, std::size_t out_size);

// True when the (normalised) folder is a drive root.
bool IsDriveRootText(const char* folder);

// Offsets where each folder component below the root starts, and their count (at most max).
// "Q:\a\b" gives 3 and 5. The component ends at the next separator or the end.
int FolderComponentStarts(const char* folder, int* starts, int max);

// folder + separator + name (a root already ends with one). False, with out empty, when the
// result does not fit.
bool JoinFolderText(const char* folder, const char* name, char* out, std::size_t out_size);

// True when the text's last byte is a folder separator and not the second byte of a two-byte
// character (so "表" = 95 5C does not end with one).
bool EndsWithSeparator(const char* text);

}  // namespace veldan
