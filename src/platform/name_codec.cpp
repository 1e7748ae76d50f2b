#include "platform/name_codec.h"

#include <cstdint>
#include <cstring>

#include "platform/cp932_table.h"
#include "platform/sjis.h"

namespace veldan {
namespace {

// Escape pairs live in the user-defined area: ten lead bytes of 188 trail values each.
constexpr unsigned kPairLeadFirst = 0xF0;
constexpr unsigned kPairLeadLast = 0xF9;
constexpr uint32_t kPairRadix = 1880;
constexpr uint32_t kUserAreaFirst = 0xE000;  // what CP932 itself decodes 0xF040 to
constexpr uint32_t kUserAreaLast = 0xE757;
constexpr uint32_t kRawByteBase = 0x110000;

// Output to a fixed buffer (stops counting once full) or to a std::string.
class BufferSink {
 public:
  BufferSink(char* out, std::size_t size) : out_(out), size_(size) {}
  void Put(char c) {
    if (len_ + 1 < size_) out_[len_] = c;
    ++len_;
  }
  void Put(const char* p, std::size_t n) {
    if (len_ + n < size_) std::memcpy(out_ + len_, p, n);
    len_ += n;
  }
  std::size_t Finish() {
    if (size_ == 0) return kTextTooLong;
    if (len_ + 1 > size_) {
      out_[0] = '\0';
      return kTextTooLong;
    }
    out_[len_] = '\0';
    return len_;
  }

 private:
  char* out_;
  std::size_t size_;
  std::size_t len_ = 0;
};

class StringSink {
 public:
  void Put(char c) { s_.push_back(c); }
  void Put(const char* p, std::size_t n) { s_.append(p, n); }
  std::string Take() { return std::move(s_); }

 private:
  std::string s_;
};

template <class Sink>
void PutUtf8(Sink& sink, uint32_t cp) {
  char b[4];
  if (cp < 0x80) {
    sink.Put(static_cast<char>(cp));
  } else if (cp < 0x800) {
    b[0] = static_cast<char>(0xC0 | (cp >> 6));
    b[1] = static_cast<char>(0x80 | (cp & 0x3F));
    sink.Put(b, 2);
  } else if (cp < 0x10000) {
    b[0] = static_cast<char>(0xE0 | (cp >> 12));
    b[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    b[2] = static_cast<char>(0x80 | (cp & 0x3F));
    sink.Put(b, 3);
  } else {
    b[0] = static_cast<char>(0xF0 | (cp >> 18));
    b[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    b[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    b[3] = static_cast<char>(0x80 | (cp & 0x3F));
    sink.Put(b, 4);
  }
}

template <class Sink>
void PutPairChar(Sink& sink, uint32_t k) {
  const uint32_t t = k % 188;
  const char c[2] = {static_cast<char>(kPairLeadFirst + k / 188),
                     static_cast<char>(t < 63 ? 0x40 + t : 0x80 + (t - 63))};
  sink.Put(c, 2);
}

template <class Sink>
void PutEscape(Sink& sink, uint32_t v) {
  PutPairChar(sink, v / kPairRadix);
  PutPairChar(sink, v % kPairRadix);
}

// Decodes one well-formed UTF-8 sequence at s[i]; returns its length, 0 when malformed
// (overlong forms, surrogates and values past U+10FFFF are malformed).
std::size_t DecodeUtf8(const unsigned char* s, std::size_t i, std::size_t n, uint32_t* cp) {
  const unsigned b0 = s[i];
  auto cont = [&](std::size_t j, unsigned lo, unsigned hi) {
    return j < n && s[j] >= lo && s[j] <= hi;
  };
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    if (!cont(i + 1, 0x80, 0xBF)) return 0;
    *cp = (b0 & 0x1F) << 6 | (s[i + 1] & 0x3F);
    return 2;
  }
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    const unsigned lo = b0 == 0xE0 ? 0xA0 : 0x80;
    const unsigned hi = b0 == 0xED ? 0x9F : 0xBF;
    if (!cont(i + 1, lo, hi) || !cont(i + 2, 0x80, 0xBF)) return 0;
    *cp = (b0 & 0x0F) << 12 | (s[i + 1] & 0x3F) << 6 | (s[i + 2] & 0x3F);
    return 3;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4) {
    const unsigned lo = b0 == 0xF0 ? 0x90 : 0x80;
    const unsigned hi = b0 == 0xF4 ? 0x8F : 0xBF;
    if (!cont(i + 1, lo, hi) || !cont(i + 2, 0x80, 0xBF) || !cont(i + 3, 0x80, 0xBF)) return 0;
    *cp = (b0 & 0x07) << 18 | (s[i + 1] & 0x3F) << 12 | (s[i + 2] & 0x3F) << 6 | (s[i + 3] & 0x3F);
    return 4;
  }
  return 0;
}

template <class Sink>
void EncodeName(std::string_view host, Sink& sink) {
  const auto* s = reinterpret_cast<const unsigned char*>(host.data());
  const std::size_t n = host.size();
  const cp932::Tables* tables = nullptr;  // built only when a name is not plain ASCII
  std::size_t i = 0;
  while (i < n) {
    std::size_t run = i;
    while (run < n && s[run] < 0x80 && s[run] != '\\') ++run;
    if (run > i) {
      sink.Put(host.data() + i, run - i);
      i = run;
      continue;
    }
    if (s[i] == '\\') {
      PutEscape(sink, '\\');
      ++i;
      continue;
    }
    uint32_t cp = 0;
    const std::size_t len = DecodeUtf8(s, i, n, &cp);
    if (len == 0) {
      PutEscape(sink, kRawByteBase + s[i]);
      ++i;
      continue;
    }
    i += len;
    if (cp >= 0x10000 || (cp >= kUserAreaFirst && cp <= kUserAreaLast)) {
      PutEscape(sink, cp);
      continue;
    }
    if (tables == nullptr) tables = &cp932::Get();
    const uint16_t code = tables->encode[cp];
    if (code == 0) {
      PutEscape(sink, cp);
    } else if (code < 0x100) {
      sink.Put(static_cast<char>(code));
    } else {
      const char c[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
      sink.Put(c, 2);
    }
  }
}

// Index k of a user-area character, or -1.
int PairIndex(unsigned char lead, unsigned char trail) {
  if (lead < kPairLeadFirst || lead > kPairLeadLast) return -1;
  const int t = trail <= 0x7E ? trail - 0x40 : trail - 0x80 + 63;
  return static_cast<int>(lead - kPairLeadFirst) * 188 + t;
}

enum class Target { kHost, kDisplay };

// Only values the encoder produces decode as a pair; anything else (which could smuggle a '/'
// or a zero into a host name) reads as two plain user-area characters.
template <Target target, class Sink>
bool PutPairValue(Sink& sink, uint32_t v) {
  if (v == '\\' || (v >= 0x80 && v < 0x110000 && !(v >= 0xD800 && v <= 0xDFFF))) {
    PutUtf8(sink, v);
    return true;
  }
  if (v >= kRawByteBase + 0x80 && v <= kRawByteBase + 0xFF) {
    if (target == Target::kHost)
      sink.Put(static_cast<char>(v - kRawByteBase));
    else
      PutUtf8(sink, 0xFFFD);
    return true;
  }
  return false;
}

template <Target target, class Sink>
void DecodeText(std::string_view text, Sink& sink) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  const cp932::Tables* tables = nullptr;
  std::size_t i = 0;
  while (i < n) {
    std::size_t run = i;
    while (run < n && s[run] < 0x80) ++run;
    if (run > i) {
      sink.Put(text.data() + i, run - i);
      i = run;
      continue;
    }
    if (tables == nullptr) tables = &cp932::Get();
    if (sjis::CharLength(text.data(), i, n) == 2) {
      const unsigned char lead = s[i];
      const unsigned char trail = s[i + 1];
      const int k1 = PairIndex(lead, trail);
      if (k1 >= 0) {
        if (i + 3 < n && sjis::CharLength(text.data(), i + 2, n) == 2) {
          const int k2 = PairIndex(s[i + 2], s[i + 3]);
          if (k2 >= 0 && PutPairValue<target>(sink, static_cast<uint32_t>(k1) * kPairRadix +
                                                          static_cast<uint32_t>(k2))) {
            i += 4;
            continue;
          }
        }
        PutUtf8(sink, kUserAreaFirst + static_cast<uint32_t>(k1));
        i += 2;
        continue;
      }
      const uint16_t u = tables->decode_double[lead - 0x80][trail - 0x40];
      if (u != 0) {
        PutUtf8(sink, u);
      } else if (target == Target::kHost) {
        sink.Put(text.data() + i, 2);
      } else {
        PutUtf8(sink, 0xFFFD);
      }
      i += 2;
      continue;
    }
    const uint16_t u = tables->decode_single[s[i]];
    if (u != 0)
      PutUtf8(sink, u);
    else if (target == Target::kHost)
      sink.Put(text.data()[i]);
    else
      PutUtf8(sink, 0xFFFD);
    ++i;
  }
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  uint32_t cp = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (s[i] < 0x80) {
      ++i;
      continue;
    }
    const std::size_t length = DecodeUtf8(s, i, text.size(), &cp);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string HostNameToProgramText(std::string_view host_name) {
  StringSink sink;
  EncodeName(host_name, sink);
  return sink.Take();
}

std::size_t HostNameToProgramText(std::string_view host_name, char* out, std::size_t out_size) {
  BufferSink sink(out, out_size);
  EncodeName(host_name, sink);
  return sink.Finish();
}

std::string ProgramTextToHostName(std::string_view program_text) {
  StringSink sink;
  DecodeText<Target::kHost>(program_text, sink);
  return sink.Take();
}

std::size_t ProgramTextToHostName(std::string_view program_text, char* out, std::size_t out_size) {
  BufferSink sink(out, out_size);
  DecodeText<Target::kHost>(program_text, sink);
  return sink.Finish();
}

std::string ProgramTextToDisplay(std::string_view program_text) {
  StringSink sink;
  DecodeText<Target::kDisplay>(program_text, sink);
  return sink.Take();
}

bool CopyText(char* dst, std::size_t dst_size, std::string_view src) {
  if (dst_size == 0) return false;
  if (src.size() + 1 > dst_size) {
    dst[0] = '\0';
    return false;
  }
  std::memcpy(dst, src.data(), src.size());
  dst[src.size()] = '\0';
  return true;
}

}  // namespace veldan
