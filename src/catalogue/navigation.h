// Where play goes on the track catalogue: next and previous file and album, album bounds and
// numbers, and the entry of a named file. Reads the catalogue and the random generator, changes
// nothing. User-interface thread only.
#pragma once

#include <cstdint>

namespace veldan {

int32_t NextAlbumFirstIndex(int32_t index);  // -1 when every entry is in index's album
int32_t AlbumLastIndex(int32_t index);
int32_t AlbumFirstIndex(int32_t index);
int32_t PrevAlbumFirstIndex(int32_t index);
int32_t NextFileIndex(int32_t index, bool album_lock, bool random);
int32_t PrevFileIndex(int32_t index, bool album_lock);
int32_t AlbumNumberOf(int32_t index);
// The index of the entry for the file that file_spec names (found through the directory
// listing, so its on-disk name counts), or -1.
int32_t FindEntryIndex(const char* folder, const char* file_spec);

// The runtime's generator, seeded once at start-up; random(k) is NextRandom() % k.
void SeedRandom(unsigned seed);
int NextRandom();

}  // namespace veldan
