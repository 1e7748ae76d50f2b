#include "platform/file_uri.h"

namespace veldan {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 0x20);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 0x20);
    if (x != y) return false;
  }
  return true;
}

// The length of the scheme that opens text, before its ':'; 0 when there is none.
std::size_t SchemeLength(std::string_view text) {
  if (text.empty() || !IsLetter(text[0])) return 0;
  std::size_t i = 1;
  while (i < text.size() && (IsLetter(text[i]) || (text[i] >= '0' && text[i] <= '9') ||
                             text[i] == '+' || text[i] == '-' || text[i] == '.')) {
    ++i;
  }
  return i < text.size() && text[i] == ':' ? i : 0;
}

bool IsUnreservedOrSlash(char c) {
  return IsLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
         c == '/';
}

}  // namespace

bool PercentDecode(std::string_view text, std::string* out) {
  out->clear();
  out->reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out->push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = HexValue(text[i + 1]);
    const int low = HexValue(text[i + 2]);
    if (high < 0 || low < 0 || (high == 0 && low == 0)) return false;
    out->push_back(static_cast<char>(high << 4 | low));
    i += 2;
  }
  return true;
}

bool HasUriScheme(std::string_view text) {
  const std::size_t length = SchemeLength(text);
  // One letter before ':' is a drive ("C://Music" is a sloppy drive path, not a URI).
  return length >= 2 && text.substr(length, 3) == "://";
}

bool FileUriToHostPath(std::string_view uri, std::string* host_path) {
  const std::size_t length = SchemeLength(uri);
  if (!EqualsIgnoringCase(uri.substr(0, length), "file")) return false;
  std::string_view rest = uri.substr(length + 1);
  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos) return false;
    const std::string_view host = rest.substr(0, slash);
    if (!host.empty() && !EqualsIgnoringCase(host, "localhost")) return false;
    rest.remove_prefix(slash);
  }
  if (rest.empty() || rest[0] != '/') return false;
  return PercentDecode(rest, host_path);
}

std::string HostPathToFileUri(std::string_view host_path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  uri.reserve(uri.size() + host_path.size() * 3);
  for (const char c : host_path) {
    if (IsUnreservedOrSlash(c)) {
      uri.push_back(c);
    } else {
      const auto byte = static_cast<unsigned char>(c);
      uri.push_back('%');
      uri.push_back(kHex[byte >> 4]);
      uri.push_back(kHex[byte & 0x0F]);
    }
  }
  return uri;
}

}  // namespace veldan
