// Bounded joins and trims of program-text paths (Shift-JIS, separator 0x5C, 512-byte buffers).
//
// Pure functions on caller buffers; callable from any thread.
#pragma once

namespace veldan {

// Writes folder + "\" + name into out (512 bytes). False, with out empty, when the result would
// not fit 511 bytes: such a path is never truncated into a different one.
bool JoinPath(char* out, const char* folder, const char* name);

// Removes one trailing separator (never a trail byte), so that "E:\Music\" becomes "E:\Music"
// and a drive root "E:\" becomes "E:".
void StripTrailingSeparator(char* path);

}  // namespace veldan
