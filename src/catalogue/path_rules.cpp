// The Shift-JIS path rules: lead bytes, the parent-folder cut and bounded joins.
#include <cstring>

#include "catalogue/catalogue.h"
#include "catalogue/path_text.h"
#include "catalogue/program_state.h"
#include "platform/sjis.h"

namespace veldan {

namespace {

constexpr char kSeparator = '\\';

// Position of the last separator that is a character of its own, or -1. A trail byte 0x5C (as in
// 0x95 0x5C) belongs to its lead byte and is stepped over with it.
int LastSeparator(const char* path) {
  int last = -1;
  for (int i = 0; path[i] != '\0'; ++i) {
    if (sjis::IsLead(static_cast<unsigned char>(path[i]))) {
      if (path[i + 1] == '\0') break;
      ++i;
    } else if (path[i] == kSeparator) {
      last = i;
    }
  }
  return last;
}

}  // namespace

void CutToParentFolder(char* path) {
  int last = LastSeparator(path);
  path[last < 0 ? 0 : last] = '\0';
}

void EntryFolder(char* out, int32_t index) {
  out[0] = '\0';
  if (index < 0 || index >= kCatalogueCapacity) return;
  const char* entry = g_state.catalogue.entries[index];
  std::size_t length = strnlen(entry, kTextSize - 1);
  std::memcpy(out, entry, length);
  out[length] = '\0';
  CutToParentFolder(out);
}

bool JoinPath(char* out, const char* folder, const char* name) {
  std::size_t folder_length = strnlen(folder, kTextSize);
  std::size_t name_length = strnlen(name, kTextSize);
  if (folder_length + 1 + name_length > static_cast<std::size_t>(kTextSize - 1)) {
    out[0] = '\0';
    return false;
  }
  std::memcpy(out, folder, folder_length);
  out[folder_length] = kSeparator;
  std::memcpy(out + folder_length + 1, name, name_length);
  out[folder_length + 1 + name_length] = '\0';
  return true;
}

void StripTrailingSeparator(char* path) {
  int last = LastSeparator(path);
  if (last >= 0 && path[last + 1] == '\0') path[last] = '\0';
}

}  // namespace veldan
