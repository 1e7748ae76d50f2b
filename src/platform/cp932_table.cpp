#include "platform/cp932_table.h"

#include <iconv.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/sjis.h"

namespace veldan::cp932 {
namespace {

constexpr unsigned kUserAreaFirstLead = 0xF0;
constexpr unsigned kUserAreaLastLead = 0xF9;

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of in; returns the output length, or -1 when iconv rejects any of it.
  int Convert(const char* in, std::size_t in_len, char* out, std::size_t out_cap) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in_p = const_cast<char*>(in);
    char* out_p = out;
    std::size_t in_left = in_len;
    std::size_t out_left = out_cap;
    if (iconv(cd_, &in_p, &in_left, &out_p, &out_left) == static_cast<std::size_t>(-1)) return -1;
    if (in_left != 0) return -1;
    return static_cast<int>(out_cap - out_left);
  }

 private:
  iconv_t cd_;
};

// One character of UTF-32LE output, or 0 when the bytes don't decode to exactly one BMP character.
uint16_t DecodeOne(Converter& dec, const unsigned char* bytes, std::size_t len) {
  unsigned char out[8];
  if (dec.Convert(reinterpret_cast<const char*>(bytes), len, reinterpret_cast<char*>(out),
                  sizeof out) != 4)
    return 0;
  const uint32_t u = out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<uint32_t>(out[3]) << 24);
  return u > 0 && u < 0x10000 ? static_cast<uint16_t>(u) : 0;
}

// Without a CP932 converter only the characters whose bytes are fixed by the code page itself
// remain: ASCII and half-width katakana. Everything else escapes, which still round-trips.
void FillFallback(Tables* t) {
  for (unsigned b = 1; b < 0x80; ++b) t->decode_single[b] = static_cast<uint16_t>(b);
  for (unsigned b = 0xA1; b <= 0xDF; ++b) t->decode_single[b] = static_cast<uint16_t>(0xFF61 + b - 0xA1);
}

void Build(Tables* t) {
  std::memset(t, 0, sizeof *t);
  Converter dec("UTF-32LE", "CP932");
  Converter enc("CP932", "UTF-32LE");
  if (!dec.ok() || !enc.ok()) {
    FillFallback(t);
  } else {
    for (unsigned b = 1; b < 0x100; ++b) {
      const unsigned char byte = static_cast<unsigned char>(b);
      t->decode_single[b] = DecodeOne(dec, &byte, 1);
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
      if (lead >= kUserAreaFirstLead && lead <= kUserAreaLastLead) continue;
      if (lead >= 0xA0 && lead < 0xE0) continue;
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
        if (!sjis::IsTrail(static_cast<unsigned char>(trail))) continue;
        const unsigned char pair[2] = {static_cast<unsigned char>(lead),
                                       static_cast<unsigned char>(trail)};
        t->decode_double[lead - 0x80][trail - 0x40] = DecodeOne(dec, pair, 2);
      }
    }
  }

  // Invert the decode tables. A byte the program reads as a lead byte can't be a character of its
  // own, and a pair whose lead the program doesn't read as a lead would be split by it, so
  // neither may be produced by the encoder.
  for (unsigned b = 1; b < 0x100; ++b) {
    const uint16_t u = t->decode_single[b];
    if (u == 0) continue;
    if (sjis::IsLead(static_cast<unsigned char>(b))) {
      t->decode_single[b] = 0;
      continue;
    }
    if (t->encode[u] == 0) t->encode[u] = static_cast<uint16_t>(b);
  }
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      uint16_t& u = t->decode_double[lead - 0x80][trail - 0x40];
      if (u == 0) continue;
      if (!sjis::IsLead(static_cast<unsigned char>(lead))) {
        u = 0;
        continue;
      }
      const uint16_t code = static_cast<uint16_t>(lead << 8 | trail);
      uint16_t& slot = t->encode[u];
      if (slot == 0) {
        slot = code;
        continue;
      }
      // Two codes decode to the same character (the NEC and IBM copies of the extension rows):
      // take the one the converter itself writes, so our text matches what other software writes.
      if (!enc.ok()) continue;
      const unsigned char in[4] = {static_cast<unsigned char>(u & 0xFF),
                                   static_cast<unsigned char>(u >> 8), 0, 0};
      unsigned char out[4];
      if (enc.Convert(reinterpret_cast<const char*>(in), 4, reinterpret_cast<char*>(out),
                      sizeof out) == 2) {
        const uint16_t preferred = static_cast<uint16_t>(out[0] << 8 | out[1]);
        if (preferred == code) slot = code;
      }
    }
  }
}

std::once_flag g_once;
std::unique_ptr<Tables> g_tables;
long g_build_us = 0;

}  // namespace

const Tables& Get() {
  std::call_once(g_once, [] {
    const auto start = std::chrono::steady_clock::now();
    auto tables = std::make_unique<Tables>();
    Build(tables.get());
    g_tables = std::move(tables);
    g_build_us = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                       std::chrono::steady_clock::now() - start)
                                       .count());
  });
  return *g_tables;
}

long BuildMicroseconds() {
  Get();
  return g_build_us;
}

}  // namespace veldan::cp932
