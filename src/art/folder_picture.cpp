#include "art/folder_picture.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "art/picture_check.h"

namespace veldan {
namespace {

namespace fs = std::filesystem;

// Enough of a file for a PNG's header chunk and a JPEG's frame header behind ordinary metadata.
constexpr std::size_t kHeadBytes = 64u << 10;

std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
  }
  return out;
}

bool IsPicture(const fs::path& path, std::uintmax_t size) {
  if (size > kMaxPictureBytes) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) return false;
  std::vector<std::uint8_t> head(std::min<std::uintmax_t>(size, kHeadBytes));
  head.resize(std::fread(head.data(), 1, head.size(), file.get()));
  return SniffPicture(head, size) != PictureKind::kNone;
}

struct Candidate {
  int rank;
  std::uintmax_t size;
  fs::path path;
};

}  // namespace

int FolderPictureRank(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return -1;
  const std::string stem = Lowered(name.substr(0, dot));
  const std::string extension = Lowered(name.substr(dot + 1));
  if (extension != "jpg" && extension != "jpeg" && extension != "png") return -1;
  if (stem == "cover") return 0;
  if (stem == "folder") return 1;
  if (stem == "front") return 2;
  if (stem.starts_with("albumart")) return 3;
  return -1;
}

std::string FindFolderPicture(const std::string& folder) {
  std::error_code error;
  fs::directory_iterator it(folder, error);
  std::vector<Candidate> candidates;
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    const int rank = FolderPictureRank(it->path().filename().native());
    if (rank < 0) continue;
    std::error_code status_error;
    if (!it->is_regular_file(status_error)) continue;  // follows a link, as opening would
    const std::uintmax_t size = it->file_size(status_error);
    if (status_error) continue;
    candidates.push_back({rank, size, it->path()});
  }
  std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    if (a.rank != b.rank) return a.rank < b.rank;
    if (a.size != b.size) return a.size > b.size;
    return a.path.native() < b.path.native();
  });
  for (const Candidate& candidate : candidates) {
    if (IsPicture(candidate.path, candidate.size)) return candidate.path.native();
  }
  return {};
}

}  // namespace veldan
