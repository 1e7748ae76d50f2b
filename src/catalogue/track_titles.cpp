#include "catalogue/track_titles.h"

#include <cstring>

#include "catalogue/catalogue.h"
#include "platform/sjis.h"

namespace veldan {

void SplitTrackPath(const char* path, TrackPathParts* parts) {
  const size_t length = strnlen(path, kTextSize - 1);
  // Positions of the last and the second-to-last separator; 0 stands for "none", as a path that
  // names a drive never has a separator in its first byte.
  size_t last = 0;
  size_t second_last = 0;
  bool any_separator = false;
  for (size_t i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(path[i]);
    if (sjis::IsLead(byte)) {
      if (i + 1 < length) ++i;
      continue;
    }
    if (byte == '\\') {
      second_last = last;
      last = i;
      any_separator = true;
    }
  }

  // Without any separator the whole text is the file's name.
  const size_t file_start = any_separator ? last + 1 : 0;
  size_t file_length = length - file_start;
  if (file_length > 4) file_length -= 4;
  std::memcpy(parts->file, path + file_start, file_length);
  parts->file[file_length] = '\0';

  // A file in a drive's root has no second-to-last separator: its folder is the drive.
  const size_t folder_start = second_last == 0 ? 0 : second_last + 1;
  const size_t folder_end = any_separator ? last : 0;
  const size_t folder_length = folder_end > folder_start ? folder_end - folder_start : 0;
  std::memcpy(parts->folder, path + folder_start, folder_length);
  parts->folder[folder_length] = '\0';
}

std::string NumberedTitle(std::string_view text, int32_t number, int32_t total) {
  std::string title(text);
  title += "-(";
  title += std::to_string(number);
  title += '/';
  title += std::to_string(total);
  title += ") ";
  return title;
}

}  // namespace veldan
