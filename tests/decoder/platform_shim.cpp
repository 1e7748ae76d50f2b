// Temporary stand-in for the platform layer's codec, path mapping and drive kinds.
#include <iconv.h>

#include <string>

#include "platform/drives.h"
#include "platform/name_codec.h"
#include "platform/paths.h"

namespace veldan {

std::string HostNameToProgramText(std::string_view s) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  std::string in(s), out(s.size() * 4 + 4, '\0');
  char* ip = in.data();
  char* op = out.data();
  size_t il = in.size(), ol = out.size();
  size_t r = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return "\xF0\x40" + std::string(s);
  out.resize(out.size() - ol);
  return out;
}

DriveKind DriveKindOf(const char* root) { return root[0] == 'C' ? DriveKind::kFixed : DriveKind::kCdRom; }

bool ProgramPathToHost(const char* p, std::string* h) {
  if (p[0] != 'C' || p[1] != ':') return false;
  *h = p + 2;
  for (char& c : *h) if (c == '\\') c = '/';
  return true;
}

bool HostPathToProgram(const std::string& host, char* out, std::size_t size) {
  std::string p = "C:" + host;
  for (char& c : p) if (c == '/') c = '\\';
  if (p.size() >= size) return false;
  p.copy(out, p.size());
  out[p.size()] = '\0';
  return true;
}

}  // namespace veldan
