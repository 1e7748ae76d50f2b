// The album picture of a track, named as a file URI for the desktop's media widgets.
//
// In this order: a picture file in the track's own folder (FindFolderPicture); else, in an
// installed copy only, the picture in the track's ID3v2 tag, stored in the art cache
// (StorePicture); else none. A portable copy writes nothing outside its own folder, so it names
// folder pictures only. Each folder's answer is remembered together with the folder's
// modification time, so the tracks of an album (a folder on a slow disc) list it once; a folder
// whose time changes is listed again.
//
// Tracks are host paths (the caller maps program text with ProgramPathToHost first). One thread
// at a time: the finder holds no lock. ArtLookup runs one on a thread of its own.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "art/art_cache.h"

namespace veldan {

struct ArtSettings {
  // True for an installed copy: pictures in tags are taken out into the cache folder.
  bool installed = false;
  // Where they go; DefaultArtCacheFolder() when empty.
  std::string cache_folder;
  ArtCacheLimits cache_limits;
};

class ArtFinder {
 public:
  explicit ArtFinder(ArtSettings settings);

  // The file URI of the track's picture; empty for none. When cancel is given and becomes true,
  // the lookup ends at its next step with an empty answer (and writes nothing after that).
  std::string FindArtUri(const std::string& track_host_path,
                         const std::atomic<bool>* cancel = nullptr);

  // How often a folder was listed so far.
  int folder_listings() const { return folder_listings_; }
  const ArtSettings& settings() const { return settings_; }

 private:
  struct FolderAnswer {
    std::string folder;
    std::filesystem::file_time_type time;
    std::string picture;  // host path; empty for none
    std::uint64_t used = 0;
  };

  std::string FolderPicture(const std::string& folder);

  ArtSettings settings_;
  std::vector<FolderAnswer> folders_;  // at most kRememberedFolders, the least used dropped
  std::uint64_t uses_ = 0;
  int folder_listings_ = 0;
};

}  // namespace veldan
