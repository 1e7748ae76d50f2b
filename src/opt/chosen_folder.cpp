#include "opt/chosen_folder.h"

#include <cstring>

#include "ui/folder_path.h"

namespace veldan {

bool StartingFolderFromChosen(const char* chosen, char* out, std::size_t out_size) {
  std::size_t length = std::strlen(chosen);
  if (EndsWithSeparator(chosen)) --length;
  if (length == 0 || length + 1 > out_size) return false;
  std::memmove(out, chosen, length);
  out[length] = '\0';
  return true;
}

}  // namespace veldan
