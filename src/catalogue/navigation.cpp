// Where play goes next: album runs over the catalogue, taken cyclically, and random choices.
#include "catalogue/navigation.h"

#include <cstdlib>
#include <cstring>

#include "catalogue/catalogue.h"
#include "catalogue/path_text.h"
#include "catalogue/program_state.h"
#include "platform/dir_listing.h"

namespace veldan {

namespace {

int32_t Count() {
  return g_state.catalogue.count;
}

bool SameAlbum(const char* folder, int32_t index) {
  char other[kTextSize];
  EntryFolder(other, index);
  return std::strcmp(folder, other) == 0;
}

int32_t RandomBelow(int32_t range) {
  return NextRandom() % range;
}

}  // namespace

// The walks go round the catalogue at most once, so they end even for an index that is not one
// of the catalogue's.
int32_t NextAlbumFirstIndex(int32_t index) {
  const int32_t count = Count();
  if (count < 2) return -1;
  char folder[kTextSize];
  EntryFolder(folder, index);
  int32_t i = index;
  for (int32_t step = 1; step < count; ++step) {
    i = i + 1 >= count ? 0 : i + 1;
    if (!SameAlbum(folder, i)) return i;
  }
  return -1;
}

int32_t AlbumLastIndex(int32_t index) {
  const int32_t count = Count();
  if (count < 2) return 0;
  int32_t next = NextAlbumFirstIndex(index);
  return next <= 0 ? count - 1 : next - 1;
}

int32_t AlbumFirstIndex(int32_t index) {
  const int32_t count = Count();
  if (count < 2) return 0;
  char folder[kTextSize];
  EntryFolder(folder, index);
  int32_t i = index;
  for (int32_t step = 1; step < count; ++step) {
    i = i - 1 < 0 ? count - 1 : i - 1;
    if (!SameAlbum(folder, i)) return i + 1 == count ? 0 : i + 1;
  }
  return 0;
}

int32_t PrevAlbumFirstIndex(int32_t index) {
  const int32_t count = Count();
  if (count < 2) return 0;
  int32_t first = AlbumFirstIndex(index);
  return first == 0 ? AlbumFirstIndex(count - 1) : AlbumFirstIndex(first - 1);
}

int32_t NextFileIndex(int32_t index, bool album_lock, bool random) {
  const int32_t count = Count();
  if (count < 2) return 0;
  if (album_lock && random) {
    int32_t first = AlbumFirstIndex(index);
    int32_t span = AlbumLastIndex(index) - first;
    if (span <= 0) return first;
    // Evenly among the album's entries other than index.
    int32_t pick = first + RandomBelow(span);
    return pick < index ? pick : pick + 1;
  }
  if (album_lock) {
    if (index + 1 >= count) return AlbumFirstIndex(index);
    char folder[kTextSize];
    EntryFolder(folder, index);
    return SameAlbum(folder, index + 1) ? index + 1 : AlbumFirstIndex(index);
  }
  if (random) {
    int32_t pick = RandomBelow(count - 1);
    return pick < index ? pick : pick + 1;
  }
  return index + 1 >= count ? 0 : index + 1;
}

int32_t PrevFileIndex(int32_t index, bool album_lock) {
  const int32_t count = Count();
  if (count < 2) return 0;
  if (album_lock) {
    if (index - 1 < 0) return AlbumLastIndex(index);
    char folder[kTextSize];
    EntryFolder(folder, index);
    return SameAlbum(folder, index - 1) ? index - 1 : AlbumLastIndex(index);
  }
  return index - 1 < 0 ? count - 1 : index - 1;
}

int32_t AlbumNumberOf(int32_t index) {
  if (Count() < 2) return 1;
  // Counts folder changes from entry 0 on, without wrapping: A, B, A is three albums.
  int32_t number = 1;
  char remembered[kTextSize];
  char folder[kTextSize];
  EntryFolder(remembered, 0);
  const int32_t last = index < Count() ? index : Count() - 1;
  for (int32_t i = 1; i <= last; ++i) {
    EntryFolder(folder, i);
    if (std::strcmp(folder, remembered) != 0) {
      ++number;
      std::memcpy(remembered, folder, std::strlen(folder) + 1);
    }
  }
  return number;
}

int32_t FindEntryIndex(const char* folder, const char* file_spec) {
  DirListing listing;
  if (!listing.Open(file_spec)) return -1;
  DirItem item;
  bool found = listing.Next(&item);
  listing.Close();
  char path[kTextSize];
  // The name as the listing gives it, so another letter case in the argument still finds the
  // entry that the search made for that file.
  if (!found || !JoinPath(path, folder, item.name)) return -1;
  const TrackCatalogue& catalogue = g_state.catalogue;
  for (int32_t i = 0; i < catalogue.count; ++i) {
    if (std::strcmp(catalogue.entries[i], path) == 0) return i;
  }
  return -1;
}

void SeedRandom(unsigned seed) {
  std::srand(seed);
}

int NextRandom() {
  return std::rand();
}

}  // namespace veldan
