#include "sel/list_file.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "catalogue/program_state.h"
#include "platform/paths.h"

namespace veldan {

bool SaveCatalogueAsList(const char* program_path) {
  std::string host_path;
  if (!ProgramPathToHost(program_path, &host_path)) return false;
  // Binary mode with an explicit CR LF: the list files are the same bytes on every host.
  std::FILE* file = std::fopen(host_path.c_str(), "wb");
  if (file == nullptr) return false;
  const TrackCatalogue& catalogue = g_state.catalogue;
  for (int32_t i = 0; i < catalogue.count && i < kCatalogueCapacity; ++i) {
    const char* entry = catalogue.entries[i];
    std::fwrite(entry, 1, strnlen(entry, kTextSize - 1), file);
    std::fwrite("\r\n", 1, 2, file);
  }
  std::fclose(file);
  return true;
}

}  // namespace veldan
