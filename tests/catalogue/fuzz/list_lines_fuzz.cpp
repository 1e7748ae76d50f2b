// Fuzzes the list-line reader with both line rules on arbitrary file content, for a list of
// unknown place and for Shift-JIS and UTF-8 lists in a folder (lines resolved against it), as
// bytes and behind either UTF-16 byte-order mark (so the conversion sees every input too).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "catalogue/list_lines.h"
#include "catalogue/program_state.h"

namespace {

void CheckEntries() {
  using namespace veldan;
  const TrackCatalogue& catalogue = g_state.catalogue;
  if (catalogue.count < 0 || catalogue.count > kCatalogueCapacity) std::abort();
  for (int32_t i = 0; i < catalogue.count; ++i) {
    const char* entry = catalogue.entries[i];
    if (strnlen(entry, kTextSize) > kTextSize - 1 || entry[0] == '\0') std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace veldan;
  if (size == 0) return 0;
  ListSource sources[3];
  std::strcpy(sources[1].folder, "X:\\Album\\\x95\x5C");
  sources[2] = sources[1];
  sources[2].utf8 = true;
  for (const char* mark : {"", "\xFF\xFE", "\xFE\xFF"}) {
    std::string text = mark;
    text.append(reinterpret_cast<const char*>(data), size);
    for (const ListSource& source : sources) {
      for (bool load : {false, true}) {
        ResetProgramState();
        std::FILE* file = fmemopen(text.data(), text.size(), "r");
        if (file == nullptr) return 0;
        if (load) {
          ReplaceCatalogueFromFile(file, source);
        } else {
          AppendListLines(file, source);
        }
        if (std::fgetc(file) != EOF) std::abort();  // every list is read to its end
        std::fclose(file);
        CheckEntries();
      }
    }
  }
  return 0;
}
