#include "playback/uri_argument.h"

#include "platform/file_uri.h"

namespace veldan {

bool ArgumentOfFileUri(std::string_view uri, std::string* argument) {
  argument->clear();
  for (const char c : uri) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F || c == '?' || c == '#') return false;
  }
  if (FileUriToHostPath(uri, argument)) return true;
  argument->clear();
  return false;
}

}  // namespace veldan
