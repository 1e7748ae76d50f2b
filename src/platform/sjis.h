// Shift-JIS character stepping and the ASCII letter fold, the one copy for the codec, the path
// mapping, the wildcard matcher, the catalogue's path rules and sort keys, and the drive letters.
//
// The program decides what a two-byte character is by its lead byte alone (IsLead: 0x81-0x84,
// 0x87-0x9F, 0xE0-0xFF); the platform layer must see the same characters, or a cut the program
// makes would fall inside one of ours. The one refinement of CharLength: a lead byte pairs only
// with a byte that CP932 allows as a trail (0x40-0x7E, 0x80-0xFC), so '/' and the terminating zero
// always stand alone.
//
// Pure functions, any thread.
#pragma once

#include <cstddef>

namespace veldan::sjis {

constexpr bool IsLead(unsigned char b) {
  return (b >= 0x81 && b <= 0x84) || (b >= 0x87 && b <= 0x9F) || b >= 0xE0;
}

constexpr bool IsTrail(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// Length (1 or 2) of the character that starts at text[i]; text holds len bytes.
constexpr std::size_t CharLength(const char* text, std::size_t i, std::size_t len) {
  const auto b = static_cast<unsigned char>(text[i]);
  if (IsLead(b) && i + 1 < len && IsTrail(static_cast<unsigned char>(text[i + 1]))) return 2;
  return 1;
}

constexpr bool IsSeparator(char c) { return c == '\\' || c == '/'; }

constexpr char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c; }

}  // namespace veldan::sjis
