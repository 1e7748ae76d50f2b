// veldan-bench art [--files N] [--runs N]: the album-picture lookup on a made-up disc layout,
// timed per step: an album folder of N files with Windows Media Player's pictures, listed for
// the first track and remembered for the next; and an album of N tracks that carry a 200 KB front
// cover in their tags and no folder picture, for the first track (the picture is written to the
// cache) and the next (found there).
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "art/art_finder.h"
#include "commands.h"
#include "median.h"

namespace veldan::bench {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

void Write(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// A baseline frame header of 300 x 300 and filler: what the lookup reads of a JPEG.
Bytes Jpeg(std::size_t size) {
  static constexpr std::uint8_t kHeader[] = {0xFF, 0xD8, 0xFF, 0xC0, 0, 17,   8, 1, 0x2C, 1, 0x2C,
                                             3,    1,    0x22, 0,    2, 0x11, 1, 3, 0x11, 1};
  Bytes out(std::max(size, sizeof kHeader), 0x5A);
  std::memcpy(out.data(), kHeader, sizeof kHeader);
  return out;
}

// An ID3v2.3 tag with one APIC front cover, then a little audio.
Bytes TrackWithCover(const Bytes& cover) {
  Bytes frame = {0};
  for (const char c : std::string("image/jpeg")) frame.push_back(static_cast<std::uint8_t>(c));
  frame.insert(frame.end(), {0, 3, 0});
  frame.insert(frame.end(), cover.begin(), cover.end());
  Bytes out = {'I', 'D', '3', 3, 0, 0};
  const std::uint32_t tag_size = static_cast<std::uint32_t>(10 + frame.size());
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(tag_size >> (7 * i) & 0x7F));
  out.insert(out.end(), {'A', 'P', 'I', 'C'});
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(frame.size() >> (8 * i)));
  out.insert(out.end(), {0, 0});
  out.insert(out.end(), frame.begin(), frame.end());
  out.resize(out.size() + 4096, 0x55);
  return out;
}

double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

int RunArt(int argc, char** argv) {
  int files = 300;
  int runs = 20;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--files") == 0) files = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::atoi(argv[i + 1]);
  }
  if (files < 4 || runs < 1) {
    std::fprintf(stderr, "usage: veldan-bench art [--files N] [--runs N]\n");
    return 2;
  }
  char pattern[] = "/tmp/veldan-bench-art-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const fs::path root = pattern;
  const fs::path pictures = root / "Pictures";
  const fs::path embedded = root / "Embedded";
  fs::create_directories(pictures);
  fs::create_directories(embedded);
  Write(pictures / "AlbumArtSmall.jpg", Jpeg(4000));
  Write(pictures / "AlbumArt_{4F3A}_Large.jpg", Jpeg(20000));
  Write(pictures / "Folder.jpg", Jpeg(20000));
  const Bytes plain(4096, 0x55);
  const Bytes covered = TrackWithCover(Jpeg(200 << 10));
  for (int i = 0; i < files - 3; ++i) Write(pictures / (std::to_string(i) + " Track.mp3"), plain);
  for (int i = 0; i < files; ++i) Write(embedded / (std::to_string(i) + " Track.mp3"), covered);

  std::vector<double> folder_first, folder_next, embedded_first, embedded_next;
  for (int run = 0; run < runs; ++run) {
    const fs::path cache = root / ("cache" + std::to_string(run));
    ArtFinder finder({true, cache.native(), {}});
    auto start = std::chrono::steady_clock::now();
    const bool found_folder = !finder.FindArtUri((pictures / "0 Track.mp3").native()).empty();
    folder_first.push_back(MsSince(start));
    start = std::chrono::steady_clock::now();
    finder.FindArtUri((pictures / "1 Track.mp3").native());
    folder_next.push_back(MsSince(start));
    start = std::chrono::steady_clock::now();
    const bool found_embedded = !finder.FindArtUri((embedded / "0 Track.mp3").native()).empty();
    embedded_first.push_back(MsSince(start));
    start = std::chrono::steady_clock::now();
    finder.FindArtUri((embedded / "1 Track.mp3").native());
    embedded_next.push_back(MsSince(start));
    if (!found_folder || !found_embedded) {
      std::fprintf(stderr, "art: a picture was not found\n");
      fs::remove_all(root);
      return 1;
    }
  }
  fs::remove_all(root);
  std::printf(
      "art: %d files, median of %d runs: folder first %.3f ms, next %.3f ms; embedded first "
      "%.3f ms, next %.3f ms\n",
      files, runs, Median(folder_first), Median(folder_next), Median(embedded_first),
      Median(embedded_next));
  return 0;
}

}  // namespace veldan::bench
