// Host file names <-> program text.
//
// Program text is Shift-JIS (CP932) bytes. A host name (UTF-8, or any bytes) is written as CP932
// where CP932 can hold a character, and otherwise as an escape pair: two characters from CP932's
// user-defined area (lead 0xF0-0xF9, trail 0x40-0x7E and 0x80-0xFC, k = 0..1879 in that order)
// carrying v = k1 * 1880 + k2. v is the Unicode scalar value of a character that CP932 lacks, of
// a backslash inside a host name, and of U+E000-U+E757; v = 0x110000 + b for a byte b that is not
// part of valid UTF-8. Every host name therefore round-trips byte for byte.
//
// Pure functions, callable from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace veldan {

// Converts one host name (a single path component, no '/') to program text.
std::string HostNameToProgramText(std::string_view host_name);

// Converts program text back to the host name it came from. Invalid CP932 bytes are kept as
// they are, so any text maps to some host name.
std::string ProgramTextToHostName(std::string_view program_text);

// Buffer forms of the two conversions above, for callers that must not allocate (the directory
// listing, the path mapping). They write at most out_size - 1 bytes and a terminating zero and
// return the length written; kTextTooLong when the result does not fit (out is then empty).
inline constexpr std::size_t kTextTooLong = static_cast<std::size_t>(-1);
std::size_t HostNameToProgramText(std::string_view host_name, char* out, std::size_t out_size);
std::size_t ProgramTextToHostName(std::string_view program_text, char* out, std::size_t out_size);

// Program text as UTF-8 for the screen: escape pairs show the character they carry, an escaped
// invalid byte shows as U+FFFD.
std::string ProgramTextToDisplay(std::string_view program_text);

// True when text is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Copies src into dst (capacity dst_size, including the terminating zero). Returns false and
// leaves dst empty when src does not fit; never writes past dst_size.
bool CopyText(char* dst, std::size_t dst_size, std::string_view src);

}  // namespace veldan
