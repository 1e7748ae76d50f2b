#include "art/art_finder.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "art/folder_picture.h"
#include "art/tag_picture.h"
#include "platform/file_uri.h"
#include "platform/host_path.h"

namespace veldan {
namespace {

namespace fs = std::filesystem;

// Enough for the albums of a few discs played back and forth.
constexpr std::size_t kRememberedFolders = 32;

bool Cancelled(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

}  // namespace

ArtFinder::ArtFinder(ArtSettings settings) : settings_(std::move(settings)) {
  if (settings_.installed && settings_.cache_folder.empty()) {
    settings_.cache_folder = DefaultArtCacheFolder();
  }
}

std::string ArtFinder::FindArtUri(const std::string& track_host_path,
                                  const std::atomic<bool>* cancel) {
  if (track_host_path.empty()) return {};
  const std::string track = track_host_path[0] == '/'
                                ? NormaliseHostPath(track_host_path)
                                : NormaliseHostPath(track_host_path, CurrentHostFolder());
  const std::size_t slash = track.rfind('/');
  const std::string folder = slash == 0 ? "/" : track.substr(0, slash);
  const std::string picture = FolderPicture(folder);
  if (!picture.empty()) return HostPathToFileUri(picture);
  if (!settings_.installed || settings_.cache_folder.empty() || Cancelled(cancel)) return {};

  std::vector<std::uint8_t> bytes;
  PictureKind kind = PictureKind::kNone;
  if (!ReadTagPicture(track, &bytes, &kind, cancel) || Cancelled(cancel)) return {};
  const std::string stored =
      StorePicture(settings_.cache_folder, bytes, kind, settings_.cache_limits);
  return stored.empty() ? std::string() : HostPathToFileUri(stored);
}

std::string ArtFinder::FolderPicture(const std::string& folder) {
  std::error_code error;
  const fs::file_time_type time = fs::last_write_time(folder, error);
  if (error) return {};
  auto known = std::find_if(folders_.begin(), folders_.end(),
                            [&](const FolderAnswer& answer) { return answer.folder == folder; });
  if (known != folders_.end() && known->time == time) {
    known->used = ++uses_;
    return known->picture;
  }
  ++folder_listings_;
  std::string picture = FindFolderPicture(folder);
  if (known == folders_.end()) {
    if (folders_.size() < kRememberedFolders) {
      known = folders_.insert(folders_.end(), FolderAnswer{});
    } else {
      known = std::min_element(
          folders_.begin(), folders_.end(),
          [](const FolderAnswer& a, const FolderAnswer& b) { return a.used < b.used; });
    }
  }
  *known = {folder, time, picture, ++uses_};
  return picture;
}

}  // namespace veldan
