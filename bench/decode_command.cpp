// veldan-bench decode FILE [--eq]: decodes a host file through the player's decode and
// equalizer path as fast as it goes, without a sound device.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "decoder/chunk_ring.h"
#include "decoder/equalizer.h"
#include "decoder/mp3_stream.h"

namespace veldan::bench {

int RunDecode(int argc, char** argv) {
  if (argc < 2 || (argc == 3 && std::strcmp(argv[2], "--eq") != 0) || argc > 3) {
    std::fprintf(stderr, "usage: veldan-bench decode FILE [--eq]\n");
    return 2;
  }
  const bool eq = argc == 3;
  auto start = std::chrono::steady_clock::now();
  std::unique_ptr<Mp3Stream> stream = Mp3Stream::Open(argv[1]);
  if (!stream) {
    std::fprintf(stderr, "decode: %s does not open as MP3\n", argv[1]);
    return 1;
  }
  Equalizer equalizer;
  // Every band at work, alternating boost and cut, so no band is skipped as flat.
  const int32_t gains[Equalizer::kBands] = {60, -60, 60, -60, 60, -60, 60, -60, 60, -60};
  if (eq) equalizer.SetGains(gains);
  equalizer.Prepare(stream->rate(), stream->channels());

  std::vector<float> chunk(SoundChunk::kFrames * 2);
  int64_t frames = 0;
  double checksum = 0;
  for (;;) {
    std::size_t n = stream->Read(chunk.data(), SoundChunk::kFrames);
    if (n == 0) break;
    equalizer.Process(chunk.data(), n);
    checksum += chunk[0];
    frames += static_cast<int64_t>(n);
  }
  double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  double seconds = static_cast<double>(frames) / stream->rate();
  std::fprintf(stderr, "(checksum %g)\n", checksum);
  std::printf("decode: %.1f s audio in %.1f ms, %.0f times real time\n", seconds, ms,
              ms > 0 ? seconds * 1000.0 / ms : 0.0);
  return 0;
}

}  // namespace veldan::bench
