#include "decoder/sound_capture.h"

#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "decoder/mp3_stream.h"
#include "decoder/vbmp3.h"
#include "platform/paths.h"

namespace veldan::test {

std::string FixturePath(const char* name) {
  const char* dir = std::getenv("VELDAN_FIXTURES");
  return std::string(dir != nullptr ? dir : "fixtures") + "/" + name;
}

std::string ProgramPath(const std::string& host_path) {
  char out[512];
  if (!HostPathToProgram(host_path, out, sizeof out)) return {};
  return out;
}

std::vector<float> DecodeAll(const std::string& host_path, int* channels, int* rate) {
  std::vector<float> all;
  auto stream = Mp3Stream::Open(host_path);
  if (!stream) return all;
  if (channels != nullptr) *channels = stream->channels();
  if (rate != nullptr) *rate = stream->rate();
  std::vector<float> chunk(4096 * 2);
  for (;;) {
    std::size_t n = stream->Read(chunk.data(), 4096);
    if (n == 0) break;
    all.insert(all.end(), chunk.begin(), chunk.begin() + n * stream->channels());
  }
  return all;
}

std::vector<float> WithoutGaps(const std::vector<float>& samples, int channels) {
  constexpr std::size_t kGap = 16;
  std::vector<float> out;
  std::size_t frames = samples.size() / channels;
  std::size_t f = 0;
  while (f < frames) {
    std::size_t run = 0;
    while (f + run < frames) {
      bool silent = true;
      for (int c = 0; c < channels; ++c)
        silent = silent && samples[(f + run) * channels + c] == 0.0f;
      if (!silent) break;
      ++run;
    }
    if (run < kGap) {
      std::size_t keep = run == 0 ? 1 : run;
      out.insert(out.end(), samples.begin() + f * channels,
                 samples.begin() + (f + keep) * channels);
      f += keep;
    } else {
      f += run;
    }
  }
  return out;
}

double LevelDb(const std::vector<float>& samples, int channels, int channel,
               std::size_t first_frame, std::size_t frames) {
  double sum = 0;
  for (std::size_t f = first_frame; f < first_frame + frames; ++f) {
    double v = samples.at(f * channels + channel);
    sum += v * v;
  }
  double rms = std::sqrt(sum / static_cast<double>(frames));
  return 20.0 * std::log10(rms * std::sqrt(2.0) + 1e-12);
}

std::size_t FirstDifference(const float* a, const float* b, std::size_t samples, float tolerance) {
  for (std::size_t i = 0; i < samples; ++i) {
    if (std::abs(a[i] - b[i]) > tolerance) return i;
  }
  return samples;
}

DiskCapture::DiskCapture() {
  char pattern[] = "/tmp/veldan_sound_XXXXXX";
  dir_ = mkdtemp(pattern);
  file_ = dir_ + "/capture.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", file_.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "1", 1);
}

DiskCapture::~DiskCapture() {
  std::filesystem::remove_all(dir_);
}

std::vector<float> DiskCapture::Samples() const {
  std::ifstream in(file_, std::ios::binary | std::ios::ate);
  const std::streamoff bytes = in.tellg();
  if (bytes <= 0) return {};
  std::vector<float> samples(static_cast<std::size_t>(bytes) / sizeof(float));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(samples.data()),
          static_cast<std::streamsize>(samples.size() * sizeof(float)));
  samples.resize(static_cast<std::size_t>(in.gcount()) / sizeof(float));
  return samples;
}

bool WaitForState(int state, int timeout_ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (vbmp3_getState(nullptr) != state) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

bool WaitForPosition(int32_t seconds, int timeout_ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  int32_t position = 0;
  while (vbmp3_getState(&position) == VBMP3_PLAYING && position < seconds) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return position >= seconds;
}

}  // namespace veldan::test
