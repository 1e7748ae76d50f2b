#include "ui/folder_path.h"

#include <cstring>

#include "platform/paths.h"
#include "platform/sjis.h"

namespace veldan {

namespace {

bool StartsWithDrive(const char* text) {
  return DriveLetterOf(text) != '\0';
}

}  // namespace

bool EndsWithSeparator(const char* text) {
  bool last_was_separator = false;
  for (const char* p = text; *p != '\0'; ++p) {
    last_was_separator = *p == '\\';
    if (sjis::IsLead(static_cast<unsigned char>(*p)) && p[1] != '\0') ++p;
  }
  return last_was_separator;
}

bool NormaliseFolderText(const char* folder, char* out, std::size_t out_size) {
  if (out_size == 0) return false;
  out[0] = '\0';
  if (!StartsWithDrive(folder) || (folder[2] != '\0' && folder[2] != '\\')) return false;
  std::size_t length = std::strlen(folder);
  if (length > 3 && EndsWithSeparator(folder)) --length;
  const bool bare_drive = length == 2;
  if (length + (bare_drive ? 1 : 0) + 1 > out_size) return false;
  std::memcpy(out, folder, length);
  if (bare_drive) out[length++] = '\\';
  out[length] = '\0';
  out[0] = sjis::FoldAscii(out[0]);
  return true;
}

bool IsDriveRootText(const char* folder) {
  return StartsWithDrive(folder) && folder[2] == '\\' && folder[3] == '\0';
}

int FolderComponentStarts(const char* folder, int* starts, int max) {
  if (!StartsWithDrive(folder) || folder[2] != '\\') return 0;
  int count = 0;
  bool at_start = true;
  for (int i = 3; folder[i] != '\0'; ++i) {
    if (folder[i] == '\\') {
      at_start = true;
      continue;
    }
    if (at_start && count < max) starts[count++] = i;
    at_start = false;
    if (sjis::IsLead(static_cast<unsigned char>(folder[i])) && folder[i + 1] != '\0') ++i;
  }
  return count;
}

bool JoinFolderText(const char* folder, const char* name, char* out, std::size_t out_size) {
  if (out_size == 0) return false;
  out[0] = '\0';
  const std::size_t folder_length = std::strlen(folder);
  const std::size_t name_length = std::strlen(name);
  const bool add_separator = !IsDriveRootText(folder);
  const std::size_t total = folder_length + (add_separator ? 1 : 0) + name_length;
  if (total + 1 > out_size) return false;
  std::memcpy(out, folder, folder_length);
  std::size_t at = folder_length;
  if (add_separator) out[at++] = '\\';
  std::memcpy(out + at, name, name_length);
  out[total] = '\0';
  return true;
}

}  // namespace veldan
