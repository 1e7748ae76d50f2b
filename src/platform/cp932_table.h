// CP932 lookup tables, built once from glibc's iconv "CP932" converter at first use.
//
// Only characters that survive the round trip are in the encode table: a Unicode character is
// representable when its CP932 bytes decode back to that same character. Several characters share
// bytes with another (U+301C and U+FF5E both encode to 0x8160; U+00A5 encodes to 0x5C), and a name
// holding one of them must come back unchanged, so those are left out and escaped instead. The
// user-defined area (leads 0xF0-0xF9) is left out of both tables: the codec owns it.
//
// Thread-safe: the tables are built under std::call_once and read-only afterwards.
#pragma once

#include <cstdint>

namespace veldan::cp932 {

struct Tables {
  // BMP character -> CP932 code: 0 when not representable, a value below 0x100 for a single
  // byte, otherwise lead * 256 + trail.
  uint16_t encode[0x10000];
  // Single byte -> BMP character, 0 when the byte is not a character on its own.
  uint16_t decode_single[0x100];
  // decode_double[lead - 0x80][trail - 0x40] -> BMP character, 0 when the pair is not assigned.
  uint16_t decode_double[0x80][0xC0];
};

const Tables& Get();

// Microseconds the first Get() spent building the tables (for the benchmark report).
long BuildMicroseconds();

}  // namespace veldan::cp932
