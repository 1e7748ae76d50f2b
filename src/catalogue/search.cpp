// The search: walks a folder and up to nine levels below it for MP3 files and play lists.
#include "catalogue/search.h"

#include <chrono>
#include <cstring>

#include "catalogue/catalogue.h"
#include "catalogue/catalogue_window.h"
#include "catalogue/list_lines.h"
#include "catalogue/path_text.h"
#include "catalogue/program_state.h"
#include "platform/dir_listing.h"

namespace veldan {

namespace {

int64_t g_folders_listed = 0;
std::chrono::steady_clock::time_point g_last_keep_alive;

// Lets the window run when a while has passed since it last did, and reports whether the program
// is closing: then the search gives up, since nothing it finds would be played. Reading the clock
// costs little beside a listing, so this runs for every folder and every few dozen items.
bool SearchGivesUp() {
  const auto now = std::chrono::steady_clock::now();
  if (now - g_last_keep_alive >= std::chrono::milliseconds(kSearchKeepAliveMs)) {
    g_last_keep_alive = now;
    CurrentCatalogueWindow().KeepAliveDuringSearch();
  }
  return g_state.closing;
}

// The last byte of a sort key comes from the name's last byte: as it is, raised to a capital, or
// folded from a full-width digit or letter (trail bytes 0x52, 0x57, 0x74, 0x95). A name whose
// last byte can give neither '3', 'U' nor '8' is neither a track nor a list, and needs no key.
bool MayEndInTrackExtension(const char* name, std::size_t length) {
  if (length <= 4) return false;
  switch (static_cast<unsigned char>(name[length - 1])) {
    case '3':
    case 'U':
    case 'u':
    case '8':
    case 0x52:
    case 0x57:
    case 0x74:
    case 0x95:
      return true;
    default:
      return false;
  }
}

void AppendEntry(const char* path) {
  TrackCatalogue& catalogue = g_state.catalogue;
  std::size_t length = strnlen(path, kTextSize - 1);
  std::memcpy(catalogue.entries[catalogue.count], path, length);
  catalogue.entries[catalogue.count][length] = '\0';
  ++catalogue.count;
}

}  // namespace

NameKind ClassifyName(const char* name) {
  std::size_t length = strnlen(name, kTextSize - 1);
  // Folding never lengthens a name, so four bytes or fewer can't give a key of five.
  if (!MayEndInTrackExtension(name, length)) return NameKind::kOther;
  char key[kTextSize];
  std::memcpy(key, name, length);
  key[length] = '\0';
  MakeSortKey(key);
  std::size_t key_length = std::strlen(key);
  if (key_length <= 4) return NameKind::kOther;
  const char* tail = key + key_length - 4;
  if (std::memcmp(tail, ".MP3", 4) == 0) return NameKind::kTrack;
  if (std::memcmp(tail, ".M3U", 4) == 0) return NameKind::kPlayList;
  if (key_length > 5 && std::memcmp(tail - 1, ".M3U8", 5) == 0) return NameKind::kPlayList;
  return NameKind::kOther;
}

int64_t FoldersListed() {
  return g_folders_listed;
}
void ResetFoldersListed() {
  g_folders_listed = 0;
}

int32_t SearchFolder(const char* folder, int depth) {
  if (depth >= kSearchDepthLimit) return 0;
  if (depth == 0) g_last_keep_alive = std::chrono::steady_clock::now();
  if (SearchGivesUp()) return g_state.catalogue.count;
  char path[kTextSize];  // the listing's pattern, then each item's full path
  if (!JoinPath(path, folder, "*.*")) return 0;
  DirListing listing;
  if (!listing.Open(path)) return 0;
  ++g_folders_listed;

  TrackCatalogue& catalogue = g_state.catalogue;
  const int32_t folder_start = catalogue.count;
  bool list_taken = false;  // this folder's own: a subfolder's search has its own
  DirItem item;
  uint32_t items = 0;
  while (listing.Next(&item)) {
    if ((++items & 63) == 0 && SearchGivesUp()) break;
    if (item.is_folder) {
      if (item.name[0] == '.') continue;
      if (JoinPath(path, folder, item.name)) SearchFolder(path, depth + 1);
      if (g_state.closing) break;
      continue;
    }
    if (catalogue.count >= kCatalogueCapacity) continue;
    NameKind kind = ClassifyName(item.name);
    if (kind == NameKind::kOther || !JoinPath(path, folder, item.name)) continue;
    if (kind == NameKind::kTrack) {
      if (!list_taken) AppendEntry(path);
      continue;
    }
    std::FILE* list = OpenListFile(path);
    if (list == nullptr) continue;
    // A list stands for the whole folder: what the folder added before it goes.
    catalogue.count = folder_start;
    if (AppendListLines(list, ListSourceOf(path)) > 0) list_taken = true;
    std::fclose(list);
  }
  listing.Close();
  return catalogue.count;
}

}  // namespace veldan
