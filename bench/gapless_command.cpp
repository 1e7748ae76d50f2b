// veldan-bench gapless PART...: plays the parts one after another through the library's real
// decode, queue and join path, as the program does (each next part queued while one plays), and
// compares what the device was given with one continuous decode of the parts in turn.
//
// The device is SDL's disk driver writing into a file in memory (/dev/shm when it exists),
// paced about fifty times faster than real time. Silence before the first and after the last
// sample is the device's own and is left out; every sample between counts.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"
#include "decoder/mp3_stream.h"
#include "decoder/vbmp3.h"
#include "platform/paths.h"

namespace veldan::bench {
namespace {

struct Part {
  std::string program_path;
  std::vector<float> samples;  // interleaved stereo or mono, as the stream decodes it
  int channels = 0;
  int64_t header_frames = -1;  // the length the LAME header tells
};

bool DecodePart(const char* host_path, Part* part) {
  auto stream = Mp3Stream::Open(host_path);
  char program[512];
  if (!stream || !HostPathToProgram(host_path, program, sizeof program)) return false;
  part->program_path = program;
  part->channels = stream->channels();
  part->header_frames = stream->length_frames();
  std::vector<float> chunk(4096 * 2);
  for (;;) {
    std::size_t n = stream->Read(chunk.data(), 4096);
    if (n == 0) break;
    part->samples.insert(part->samples.end(), chunk.begin(), chunk.begin() + n * part->channels);
  }
  return true;
}

std::vector<float> ReadFloats(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<float> out(bytes.size() / sizeof(float));
  std::memcpy(out.data(), bytes.data(), out.size() * sizeof(float));
  return out;
}

bool SilentFrame(const std::vector<float>& s, std::size_t frame, int channels) {
  for (int c = 0; c < channels; ++c) {
    if (s[frame * channels + c] != 0.0f) return false;
  }
  return true;
}

// The largest second difference |x[i] - 2 x[i-1] + x[i-2]| over frames [first, last): a cut or
// a gap shows as a spike in it, a smooth waveform (and the codec's noise) as a low floor.
double MaxStep(const std::vector<float>& s, int channels, std::size_t first, std::size_t last) {
  double step = 0;
  for (std::size_t f = std::max<std::size_t>(first, 2); f < last; ++f) {
    for (int c = 0; c < channels; ++c) {
      double d = s[f * channels + c] - 2.0 * s[(f - 1) * channels + c] + s[(f - 2) * channels + c];
      step = std::max(step, std::abs(d));
    }
  }
  return step;
}

double Db(double v) {
  return 20.0 * std::log10(v + 1e-12);
}

}  // namespace

int RunGapless(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: veldan-bench gapless PART...\n");
    return 2;
  }
  std::vector<Part> parts(static_cast<std::size_t>(argc - 1));
  for (int i = 1; i < argc; ++i) {
    if (!DecodePart(argv[i], &parts[i - 1])) {
      std::fprintf(stderr, "gapless: %s does not open\n", argv[i]);
      return 1;
    }
    if (parts[i - 1].channels != parts[0].channels) {
      std::fprintf(stderr, "gapless: %s has another channel count\n", argv[i]);
      return 1;
    }
  }
  const int channels = parts[0].channels;

  const std::string dir = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
  const std::string capture = dir + "/veldan-gapless-" + std::to_string(getpid()) + ".raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "1", 1);

  vbmp3_init();
  vbmp3_info info;
  if (vbmp3_open(parts[0].program_path.c_str(), &info) == 0 || vbmp3_play() == 0) {
    std::fprintf(stderr, "gapless: the first part does not play\n");
    vbmp3_free();
    return 1;
  }
  std::size_t queued = 1;  // index of the next part to queue
  int joins = 0;
  bool waiting = false;  // a queued part has not started yet
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
  for (;;) {
    // The order of the program's poll: a join first, then the state, which may already be the
    // end of the part that joined.
    if (vbmp3_queuedStarted(&info) != 0) {
      ++joins;
      waiting = false;
    }
    if (vbmp3_getState(nullptr) == VBMP3_STOPPED) break;
    if (!waiting && queued < parts.size()) {
      if (vbmp3_queue(parts[queued].program_path.c_str()) == 0) break;
      ++queued;
      waiting = true;
    }
    if (std::chrono::steady_clock::now() > deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  vbmp3_free();

  std::vector<float> heard = ReadFloats(capture);
  std::filesystem::remove(capture);
  std::size_t frames = heard.size() / channels;
  std::size_t first = 0;
  while (first < frames && SilentFrame(heard, first, channels)) ++first;
  while (frames > first && SilentFrame(heard, frames - 1, channels)) --frames;
  heard = std::vector<float>(heard.begin() + first * channels, heard.begin() + frames * channels);
  frames -= first;

  std::vector<float> reference;
  std::vector<std::size_t> join_frames;
  int64_t header_total = 0;
  for (const Part& part : parts) {
    if (!reference.empty()) join_frames.push_back(reference.size() / channels);
    reference.insert(reference.end(), part.samples.begin(), part.samples.end());
    header_total += part.header_frames;
  }
  const std::size_t reference_frames = reference.size() / channels;
  const std::size_t inserted = frames > reference_frames ? frames - reference_frames : 0;
  const std::size_t lost = reference_frames > frames ? reference_frames - frames : 0;
  std::size_t differing = 0;
  for (std::size_t i = 0; i < std::min(heard.size(), reference.size()); ++i) {
    if (heard[i] != reference[i]) ++differing;
  }

  // The joins' neighbourhood (8 frames either side) against everything else.
  double at_joins = 0;
  std::size_t from = 0;
  double elsewhere = 0;
  for (std::size_t join : join_frames) {
    if (join + 8 > frames) break;
    at_joins = std::max(at_joins, MaxStep(heard, channels, join - 8, join + 8));
    elsewhere = std::max(elsewhere, MaxStep(heard, channels, from, join - 8));
    from = join + 8;
  }
  elsewhere = std::max(elsewhere, MaxStep(heard, channels, from, frames));

  std::printf("parts: %zu, %zu frames decoded one by one, %lld frames by their headers\n",
              parts.size(), reference_frames, static_cast<long long>(header_total));
  std::printf("heard: %zu frames, %zu samples differ from the one-by-one decode\n", frames,
              differing);
  std::printf("gapless: %d joins, inserted %zu samples, lost %zu samples, max step %.1f dB at "
              "joins (%.1f dB elsewhere)\n",
              joins, inserted, lost, Db(at_joins), Db(elsewhere));
  return 0;
}

}  // namespace veldan::bench
