#include "sel/list_file.h"

#include <cstring>
#include <string>

#include "catalogue/list_line_path.h"
#include "catalogue/program_state.h"
#include "platform/file_access.h"
#include "platform/name_codec.h"
#include "platform/paths.h"

namespace veldan {

namespace {

// A line for other players: the entry's host path in UTF-8; an entry on a drive that can't be
// mapped now keeps its own text, decoded to UTF-8, rather than being left out.
std::string HostLine(const char* entry, std::size_t length) {
  std::string host;
  if (ProgramPathToHost(entry, &host)) return host;
  return ProgramTextToHostName(std::string_view(entry, length));
}

}  // namespace

bool SaveCatalogueAsList(const char* program_path) {
  std::string host_path;
  if (!ProgramPathToHost(program_path, &host_path)) return false;
  const bool for_other_players = IsUtf8ListFileName(program_path);
  const TrackCatalogue& catalogue = g_state.catalogue;
  std::string text;
  for (int32_t i = 0; i < catalogue.count && i < kCatalogueCapacity; ++i) {
    const char* entry = catalogue.entries[i];
    const std::size_t length = strnlen(entry, kTextSize - 1);
    if (for_other_players) {
      text += HostLine(entry, length);
      text += '\n';
    } else {
      // VELDAN's own lists: the program text with CR LF, the same bytes on every host.
      text.append(entry, length);
      text += "\r\n";
    }
  }
  return WriteFileWhole(host_path, text);
}

}  // namespace veldan
