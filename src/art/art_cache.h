// The folder where an installed copy keeps the pictures it takes out of tracks' tags, so that
// the desktop can be given a file to show.
//
// A picture is named after its content (a 64-bit FNV-1a hash of its bytes, its size, and the
// extension of its kind), so the tracks of one album, which carry the same picture, share one
// file, and two copies of VELDAN running at once write the same name for the same picture. A
// file is written under a temporary name of its own (opened exclusively, never shared) and then
// renamed into place, so no reader sees half a picture; a file cut short by a power cut has the
// wrong size for its name and is written again. Only files with such names (and leftover
// temporary files) are ever deleted, whatever else the folder holds. Any thread; calls on one
// folder from several threads or processes at once are safe, as renames are atomic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "art/picture_check.h"

namespace veldan {

struct ArtCacheLimits {
  std::size_t max_files = 64;
  std::uintmax_t max_bytes = 32u << 20;
};

// $XDG_CACHE_HOME/veldan/art when XDG_CACHE_HOME is an absolute path, else ~/.cache/veldan/art;
// empty when neither is known.
std::string DefaultArtCacheFolder();

// The cache's name for a picture: "<16 hex digits>-<size><extension>".
std::string CachedPictureName(std::span<const std::uint8_t> bytes, PictureKind kind);

// The host path of the picture in the cache folder (made, with its parents, when missing),
// written there unless a file of its name and size is there already; then the cache is trimmed
// to limits. A picture found again gets its time renewed, so that trimming drops the pictures
// named longest ago. Empty when the folder or the file can't be written.
std::string StorePicture(const std::string& cache_folder, std::span<const std::uint8_t> bytes,
                         PictureKind kind, const ArtCacheLimits& limits = {});

// Deletes the oldest pictures of the cache (by modification time) until at most limits.max_files
// remain holding at most limits.max_bytes, never the file named keep; and temporary files left
// behind by a writer that stopped more than an hour ago.
void TrimArtCache(const std::string& cache_folder, const ArtCacheLimits& limits,
                  const std::string& keep = "");

}  // namespace veldan
