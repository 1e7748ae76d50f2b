#include "decoder/replay_gain.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace veldan {
namespace {

constexpr std::size_t kHeaderSize = 10;

uint32_t BigEndian(const unsigned char* b) {
  return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
}

uint32_t Syncsafe(const unsigned char* b) {
  return uint32_t{b[0] & 0x7Fu} << 21 | uint32_t{b[1] & 0x7Fu} << 14 | uint32_t{b[2] & 0x7Fu} << 7 |
         (b[3] & 0x7Fu);
}

bool EqualsFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// The master volume's peak in an RVA2 frame's body, 0 when it has none. The peak counts full
// scale at 2^(bits - 1), as sample values of that many bits do.
double Rva2MasterPeak(const unsigned char* body, std::size_t size, bool* album) {
  std::size_t pos = 0;
  while (pos < size && body[pos] != 0) ++pos;
  if (pos == size) return 0;
  *album = EqualsFolded(std::string_view(reinterpret_cast<const char*>(body), pos), "album");
  ++pos;
  // Channels: type (1 byte), adjustment (2), bits of the peak (1), the peak.
  while (pos + 4 <= size) {
    const unsigned type = body[pos];
    const unsigned bits = body[pos + 3];
    const std::size_t peak_bytes = (bits + 7) / 8;
    pos += 4;
    if (peak_bytes > size - pos) return 0;
    if (type == 1) {
      if (bits == 0 || bits > 32) return 0;
      uint64_t value = 0;
      for (std::size_t i = 0; i < peak_bytes; ++i) value = value << 8 | body[pos + i];
      value >>= peak_bytes * 8 - bits;  // the peak's bits are the leading ones
      return static_cast<double>(value) / static_cast<double>(uint64_t{1} << (bits - 1));
    }
    pos += peak_bytes;
  }
  return 0;
}

}  // namespace

GainPeaks Rva2Peaks(const unsigned char* tag, std::size_t size) {
  GainPeaks peaks;
  if (tag == nullptr || size < kHeaderSize || tag[0] != 'I' || tag[1] != 'D' || tag[2] != '3') {
    return peaks;
  }
  const int version = tag[3];
  const unsigned flags = tag[5];
  // RVA2 exists from 2.4 on, but 2.3 taggers write it too. A tag unsynchronised as a whole or
  // with an extended header is rare enough to read as telling nothing.
  if ((version != 3 && version != 4) || (flags & 0xC0) != 0) return peaks;
  const std::size_t end = std::min<std::size_t>(size, kHeaderSize + Syncsafe(tag + 6));
  std::size_t pos = kHeaderSize;
  while (pos + 10 <= end && tag[pos] != 0) {
    const unsigned char* frame = tag + pos;
    const std::size_t frame_size = version == 4 ? Syncsafe(frame + 4) : BigEndian(frame + 4);
    if (frame_size > end - pos - 10) break;
    // Compressed, encrypted, unsynchronised or with a data length indicator: left alone.
    const unsigned format = frame[9];
    const bool plain = version == 4 ? (format & 0x0F) == 0 : (format & 0xE0) == 0;
    if (plain && std::string_view(reinterpret_cast<const char*>(frame), 4) == "RVA2") {
      bool album = false;
      const double peak = Rva2MasterPeak(frame + 10, frame_size, &album);
      (album ? peaks.album : peaks.track) = peak;
    }
    pos += 10 + frame_size;
  }
  return peaks;
}

double ParsePeak(std::string_view text) {
  // from_chars, not strtod: the program runs in the desktop's locale, whose decimal point may
  // be a comma, and the tags always write a point.
  while (!text.empty() && (text.front() == ' ' || text.front() == '+')) text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data() || !std::isfinite(value) || value <= 0) return 0;
  return value;
}

double PeakLimit(double gain_db, double peak) {
  const double gain = std::pow(10.0, gain_db / 20.0);
  if (!(peak > 0) || peak * gain <= 1.0) return 1.0;
  // A millionth below the exact limit (far below anything heard), so that the decoder, which
  // works the gain out in float, finds no peak past full scale either.
  return 1.0 / (peak * gain) * (1.0 - 1e-6);
}

}  // namespace veldan
