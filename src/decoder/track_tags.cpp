#include "decoder/track_tags.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "platform/name_codec.h"

namespace veldan {
namespace {

bool IsLead(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool IsTrail(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}
// Escape pairs of the name codec use the user-defined lead bytes 0xF0-0xF9.
bool IsEscapeLead(unsigned char b) {
  return b >= 0xF0 && b <= 0xF9;
}

// Latin-1 text as bytes, or false when a character lies above U+00FF (then it was never
// Shift-JIS in disguise).
bool Utf8AsLatin1(std::string_view utf8, std::string* bytes) {
  bytes->clear();
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      bytes->push_back(static_cast<char>(b));
    } else if ((b == 0xC2 || b == 0xC3) && i + 1 < utf8.size() &&
               (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
      auto next = static_cast<unsigned char>(utf8[++i]);
      bytes->push_back(static_cast<char>(((b & 0x03) << 6) | (next & 0x3F)));
    } else {
      return false;
    }
  }
  return true;
}

// CP932 as glibc's iconv knows it: every double-byte code must map to a character.
bool Cp932Decodes(std::string_view bytes) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in(bytes);
  char out[256];
  char* in_ptr = in.data();
  std::size_t in_left = in.size();
  bool ok = true;
  while (in_left > 0) {
    char* out_ptr = out;
    std::size_t out_left = sizeof out;
    if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<std::size_t>(-1) &&
        errno != E2BIG) {
      ok = false;
      break;
    }
  }
  iconv_close(cd);
  return ok;
}

}  // namespace

bool LooksLikeShiftJis(std::string_view bytes) {
  bool c1_lead = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) continue;
    if (!IsLead(b) || i + 1 >= bytes.size() || !IsTrail(static_cast<unsigned char>(bytes[i + 1]))) {
      return false;
    }
    c1_lead = c1_lead || b <= 0x9F;
    ++i;
  }
  return c1_lead && Cp932Decodes(bytes);
}

std::string Id3v2TextToProgramText(std::string_view utf8) {
  std::size_t end = utf8.find('\0');
  if (end != std::string_view::npos) utf8 = utf8.substr(0, end);
  std::string bytes;
  if (Utf8AsLatin1(utf8, &bytes) && LooksLikeShiftJis(bytes)) return bytes;
  return HostNameToProgramText(utf8);
}

std::string Id3v1TextToProgramText(std::string_view field) {
  std::size_t end = field.find('\0');
  std::string text(field.substr(0, end));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  // Walk the characters: a lead byte at the very end lost its second byte to the field's size.
  std::size_t i = 0;
  while (i < text.size()) {
    if (IsLead(static_cast<unsigned char>(text[i])) && i + 1 == text.size()) {
      text.pop_back();
      break;
    }
    i += IsLead(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return text;
}

void CopyProgramText(char* dst, std::size_t size, std::string_view text) {
  if (size == 0) return;
  std::size_t keep = 0;
  std::size_t escape_run = 0;  // user-defined characters directly before `keep`
  for (std::size_t i = 0; i < text.size();) {
    auto b = static_cast<unsigned char>(text[i]);
    std::size_t len = IsLead(b) && i + 1 < text.size() ? 2 : 1;
    if (i + len > size - 1) break;
    escape_run = len == 2 && IsEscapeLead(b) ? escape_run + 1 : 0;
    i += len;
    keep = i;
  }
  if (keep < text.size() && escape_run % 2 == 1) keep -= 2;
  std::memcpy(dst, text.data(), keep);
  dst[keep] = '\0';
}

}  // namespace veldan
