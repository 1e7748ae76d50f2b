#include "art/art_cache.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <system_error>
#include <vector>

namespace veldan {
namespace {

namespace fs = std::filesystem;

constexpr char kTemporaryPrefix[] = ".part-";
constexpr std::size_t kHashDigits = 16;

std::uint64_t Fnv1a64(std::span<const std::uint8_t> bytes) {
  std::uint64_t hash = 0xCBF29CE484222325u;
  for (const std::uint8_t byte : bytes) {
    hash ^= byte;
    hash *= 0x100000001B3u;
  }
  return hash;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// True for the names CachedPictureName gives.
bool IsCachedPictureName(const std::string& name) {
  if (name.size() < kHashDigits + 2 || name[kHashDigits] != '-') return false;
  if (!std::all_of(name.begin(), name.begin() + kHashDigits, IsHexDigit)) return false;
  const std::size_t dot = name.find('.', kHashDigits + 1);
  if (dot == std::string::npos || dot == kHashDigits + 1) return false;
  for (std::size_t i = kHashDigits + 1; i < dot; ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
  }
  const std::string extension = name.substr(dot);
  return extension == ".jpg" || extension == ".png";
}

// Writes bytes to a new file of a name no other writer uses and returns its path; empty on
// failure (nothing is left behind).
fs::path WriteTemporary(const fs::path& folder, std::span<const std::uint8_t> bytes) {
  static std::atomic<std::uint64_t> counter{0};
  std::random_device device;
  for (int attempt = 0; attempt < 8; ++attempt) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%08x%08x-%llu", kTemporaryPrefix, device(), device(),
                  static_cast<unsigned long long>(counter.fetch_add(1)));
    const fs::path path = folder / name;
    std::FILE* file = std::fopen(path.c_str(), "wbx");  // exclusive: fails if the name exists
    if (file == nullptr) continue;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) == 0 && written) return path;
    std::error_code ignored;
    fs::remove(path, ignored);
    return {};
  }
  return {};
}

}  // namespace

std::string DefaultArtCacheFolder() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache != nullptr && cache[0] == '/') return (fs::path(cache) / "veldan" / "art").native();
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') {
    return (fs::path(home) / ".cache" / "veldan" / "art").native();
  }
  return {};
}

std::string CachedPictureName(std::span<const std::uint8_t> bytes, PictureKind kind) {
  char name[64];
  std::snprintf(name, sizeof name, "%016llx-%zu%s", static_cast<unsigned long long>(Fnv1a64(bytes)),
                bytes.size(), PictureExtension(kind));
  return name;
}

std::string StorePicture(const std::string& cache_folder, std::span<const std::uint8_t> bytes,
                         PictureKind kind, const ArtCacheLimits& limits) {
  if (cache_folder.empty() || kind == PictureKind::kNone) return {};
  const fs::path folder(cache_folder);
  const fs::path target = folder / CachedPictureName(bytes, kind);
  std::error_code error;
  if (fs::is_regular_file(target, error) && fs::file_size(target, error) == bytes.size() &&
      !error) {
    fs::last_write_time(target, fs::file_time_type::clock::now(), error);
    return target.native();
  }
  fs::create_directories(folder, error);
  if (error) return {};
  const fs::path temporary = WriteTemporary(folder, bytes);
  if (temporary.empty()) return {};
  fs::rename(temporary, target, error);
  if (error) {
    fs::remove(temporary, error);
    return {};
  }
  TrimArtCache(cache_folder, limits, target.filename().native());
  return target.native();
}

void TrimArtCache(const std::string& cache_folder, const ArtCacheLimits& limits,
                  const std::string& keep) {
  struct Entry {
    fs::file_time_type time;
    std::uintmax_t size;
    fs::path path;
  };
  std::vector<Entry> pictures;
  std::uintmax_t total = 0;
  std::size_t count = 0;
  const auto stale = fs::file_time_type::clock::now() - std::chrono::hours(1);
  std::error_code error;
  fs::directory_iterator it(cache_folder, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    const std::string name = it->path().filename().native();
    std::error_code entry_error;
    if (!it->is_regular_file(entry_error)) continue;
    const fs::file_time_type time = it->last_write_time(entry_error);
    if (entry_error) continue;
    if (name.starts_with(kTemporaryPrefix)) {
      if (time < stale) fs::remove(it->path(), entry_error);
      continue;
    }
    if (!IsCachedPictureName(name)) continue;
    const std::uintmax_t size = it->file_size(entry_error);
    if (entry_error) continue;
    total += size;
    ++count;
    if (name != keep) pictures.push_back({time, size, it->path()});
  }
  std::sort(pictures.begin(), pictures.end(),
            [](const Entry& a, const Entry& b) { return a.time < b.time; });
  for (const Entry& entry : pictures) {
    if (count <= limits.max_files && total <= limits.max_bytes) break;
    std::error_code remove_error;
    if (fs::remove(entry.path, remove_error)) {
      --count;
      total -= entry.size;
    }
  }
}

}  // namespace veldan
