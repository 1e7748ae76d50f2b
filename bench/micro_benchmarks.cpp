// veldan-bench micro [Google Benchmark flags]: the inner loops that run for every sample or every
// catalogue entry, measured in place: the equalizer over a decoded buffer, the catalogue sort over
// a full catalogue, and the listing of a folder of tracks.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "catalogue/catalogue_sort.h"
#include "catalogue/program_state.h"
#include "commands.h"
#include "decoder/equalizer.h"
#include "platform/dir_listing.h"
#include "platform/paths.h"

namespace veldan::bench {
namespace {

// A second of 44.1 kHz stereo: two tones under full scale, as the decoder hands them over.
std::vector<float> ToneBuffer(std::size_t frames) {
  std::vector<float> samples(frames * 2);
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / 44100.0;
    samples[2 * i] = static_cast<float>(0.4 * std::sin(2 * std::numbers::pi * 440 * t));
    samples[2 * i + 1] = static_cast<float>(0.4 * std::sin(2 * std::numbers::pi * 3000 * t));
  }
  return samples;
}

// state.range(0): 0 = the flat setting (the sound passes through), 1 = all ten bands set, loud
// enough that the limiter works too.
void BM_Equalizer(benchmark::State& state) {
  constexpr std::size_t kFrames = 1152;  // one MPEG-1 Layer III frame
  const std::vector<float> tones = ToneBuffer(kFrames);
  std::vector<float> buffer = tones;
  const int32_t flat[Equalizer::kBands] = {};
  const int32_t shaped[Equalizer::kBands] = {120, 80, 40, -30, -60, 0, 50, 90, 120, 120};
  Equalizer eq;
  eq.SetGains(state.range(0) == 0 ? flat : shaped);
  eq.Prepare(44100, 2);
  for (auto _ : state) {
    std::copy(tones.begin(), tones.end(), buffer.begin());
    eq.Process(buffer.data(), kFrames);
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kFrames));
  state.SetLabel(state.range(0) == 0 ? "flat, frames" : "ten bands, frames");
}
BENCHMARK(BM_Equalizer)->Arg(0)->Arg(1);

// A full catalogue of album tracks in a shuffled order. state.range(0): 0 = every key differs (the
// quick order), 1 = each track is there twice in two letter cases (equal keys: the exchange sort).
void FillCatalogue(bool twice, std::vector<std::string>* out) {
  out->clear();
  for (int i = 0; static_cast<int>(out->size()) < kCatalogueCapacity; ++i) {
    char path[kTextSize];
    std::snprintf(path, sizeof path, "D:\\Music\\Artist %02d\\Album %d\\%02d Track title.mp3", i / 40,
                  (i / 10) % 4, i % 10 + 1);
    out->push_back(path);
    if (twice && static_cast<int>(out->size()) < kCatalogueCapacity) {
      std::string upper = path;
      for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
      out->push_back(upper);
    }
  }
  std::mt19937 shuffle(23);
  std::shuffle(out->begin(), out->end(), shuffle);
}

void BM_CatalogueSort(benchmark::State& state) {
  std::vector<std::string> entries;
  FillCatalogue(state.range(0) == 1, &entries);
  ResetProgramState();
  for (auto _ : state) {
    state.PauseTiming();
    TrackCatalogue& catalogue = g_state.catalogue;
    catalogue.count = static_cast<int32_t>(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      std::memcpy(catalogue.entries[i], entries[i].c_str(), entries[i].size() + 1);
    }
    state.ResumeTiming();
    SortCatalogue();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kCatalogueCapacity);
  state.SetLabel(state.range(0) == 0 ? "distinct keys, entries" : "equal pairs, entries");
}
BENCHMARK(BM_CatalogueSort)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A folder as an album folder holds it: 200 tracks, a cover, a play list and a few sub-folders,
// listed through the drive that the host's root is (C:).
class ListedFolder {
 public:
  ListedFolder() {
    char pattern[] = "/tmp/veldan-bench-list-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    root_ = pattern;
    for (int i = 0; i < 200; ++i) {
      std::ofstream(root_ + "/" + std::to_string(i) + " Track title.mp3") << "x";
    }
    std::ofstream(root_ + "/cover.jpg") << "x";
    std::ofstream(root_ + "/album.m3u") << "x";
    for (int i = 0; i < 5; ++i) std::filesystem::create_directory(root_ + "/Disc " + std::to_string(i));
  }
  ~ListedFolder() {
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
  }
  ListedFolder(const ListedFolder&) = delete;
  ListedFolder& operator=(const ListedFolder&) = delete;

  // The program-text pattern for this folder, or "" when the folder could not be made.
  std::string Pattern(const char* wildcard) const {
    char folder[kTextSize];
    if (root_.empty() || !HostPathToProgram(root_, folder, sizeof folder)) return "";
    return std::string(folder) + "\\" + wildcard;
  }

 private:
  std::string root_;
};

// state.range(0): 0 = every item ("*.*"), 1 = the tracks only ("*.MP3", matched without case).
void BM_FolderListing(benchmark::State& state) {
  const ListedFolder folder;
  const std::string pattern = folder.Pattern(state.range(0) == 0 ? "*.*" : "*.MP3");
  if (pattern.empty()) {
    state.SkipWithError("no temporary folder");
    return;
  }
  int64_t items = 0;
  for (auto _ : state) {
    DirListing listing;
    if (!listing.Open(pattern.c_str())) {
      state.SkipWithError("the folder could not be listed");
      break;
    }
    DirItem item;
    while (listing.Next(&item)) ++items;
    benchmark::DoNotOptimize(item);
  }
  state.SetItemsProcessed(items);
  state.SetLabel(state.range(0) == 0 ? "*.*, items" : "*.MP3, items");
}
BENCHMARK(BM_FolderListing)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int RunMicro(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace veldan::bench
