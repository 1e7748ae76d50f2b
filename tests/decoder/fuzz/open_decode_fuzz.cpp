// Fuzzes what vbmp3_open and playing do with a file's bytes: open, read the tags, decode, seek
// and filter. Any crash, sanitizer report, endless loop or sample outside full scale is a find.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "decoder/equalizer.h"
#include "decoder/mp3_stream.h"
#include "decoder/track_tags.h"

namespace {

#define Check(ok) CheckAt(ok, #ok, __LINE__)

void CheckAt(bool ok, const char* what, int line) {
  if (ok) return;
  std::fprintf(stderr, "open_decode_fuzz.cpp:%d: %s\n", line, what);
  std::abort();
}

void Filter(veldan::Equalizer& eq, float* samples, std::size_t frames, int channels) {
  eq.Process(samples, frames);
  for (std::size_t i = 0; i < frames * channels; ++i) Check(std::abs(samples[i]) <= 1.0f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const int fd = memfd_create("fuzz.mp3", 0);
  Check(fd >= 0 && ftruncate(fd, 0) == 0);
  Check(pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
  const std::string path = "/proc/self/fd/" + std::to_string(fd);

  // Every gain mode, so that the tags' gains and peaks are read from arbitrary bytes too.
  constexpr veldan::GainMode kModes[] = {veldan::GainMode::kOff, veldan::GainMode::kTrack,
                                         veldan::GainMode::kAlbum};
  auto stream = veldan::Mp3Stream::Open(path, kModes[size % 3]);
  if (!stream) return 0;
  const veldan::TrackFacts& facts = stream->facts();
  Check(stream->channels() == 1 || stream->channels() == 2);
  Check(stream->rate() > 0);
  char field[128];
  veldan::CopyProgramText(field, sizeof field, facts.title);
  Check(std::strlen(field) < sizeof field);

  veldan::Equalizer eq;
  int32_t gains[veldan::Equalizer::kBands];
  for (int i = 0; i < veldan::Equalizer::kBands; ++i) {
    gains[i] = size > static_cast<std::size_t>(i) ? static_cast<int8_t>(data[i]) * 4 : 0;
  }
  eq.SetGains(gains);
  eq.Prepare(stream->rate(), stream->channels());

  static float samples[1024 * 2];
  for (int i = 0; i < 16; ++i) {
    std::size_t n = stream->Read(samples, 1024);
    if (n == 0) break;
    Check(n <= 1024);
    Filter(eq, samples, n, stream->channels());
  }
  // A damaged stream may land elsewhere than asked (its frames lie about their positions);
  // the seek must only answer.
  int64_t target = size > 0 ? data[size - 1] * 1152 : 0;
  Check(stream->SeekFrame(target) >= -1);
  std::size_t n = stream->Read(samples, 1024);
  Check(n <= 1024);
  Filter(eq, samples, n, stream->channels());
  return 0;
}
