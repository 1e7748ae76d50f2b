// Fuzzes the sort key and the parent-folder cut with arbitrary bytes in a 512-byte buffer.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "catalogue/catalogue.h"
#include "catalogue/path_text.h"
#include "catalogue/program_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace veldan;
  char path[kTextSize] = {};
  std::size_t length = size < kTextSize - 1 ? size : kTextSize - 1;
  std::memcpy(path, data, length);
  const std::size_t text_length = std::strlen(path);

  char key[kTextSize];
  std::memcpy(key, path, sizeof key);
  MakeSortKey(key);
  // Folding never lengthens a text. (A depth character that wraps to 0, after 208 separators,
  // ends a key early; the key stays within its buffer all the same.)
  if (std::strlen(key) > text_length || (text_length == 0 && key[0] != '\0')) std::abort();

  char parent[kTextSize];
  std::memcpy(parent, path, sizeof parent);
  CutToParentFolder(parent);
  const std::size_t parent_length = std::strlen(parent);
  // The parent is a prefix of the path, cut where a separator stood.
  if (parent_length > text_length || std::memcmp(parent, path, parent_length) != 0) std::abort();
  if (parent_length < text_length && parent_length > 0 && path[parent_length] != '\\') {
    std::abort();
  }

  char stripped[kTextSize];
  std::memcpy(stripped, path, sizeof stripped);
  StripTrailingSeparator(stripped);
  if (std::strlen(stripped) + 1 < text_length) std::abort();
  return 0;
}
