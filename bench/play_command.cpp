// veldan-bench play FILE SECONDS: plays a host file through the library and SDL (the dummy
// driver unless SDL_AUDIODRIVER names another) and reports the process's CPU use and how soon
// the first sound reached the device.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "commands.h"
#include "decoder/playback_stats.h"
#include "decoder/vbmp3.h"
#include "platform/paths.h"

namespace veldan::bench {
namespace {

double CpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
         usage.ru_stime.tv_usec / 1e6;
}

}  // namespace

int RunPlay(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: veldan-bench play FILE SECONDS\n");
    return 2;
  }
  const double seconds = std::atof(argv[2]);
  char path[512];
  if (seconds <= 0 || !HostPathToProgram(argv[1], path, sizeof path)) {
    std::fprintf(stderr, "play: bad file or duration\n");
    return 2;
  }
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  vbmp3_init();
  vbmp3_info info;
  if (vbmp3_open(path, &info) == 0) {
    std::fprintf(stderr, "play: %s does not open\n", argv[1]);
    vbmp3_free();
    return 1;
  }
  const double cpu_before = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  vbmp3_play();
  double elapsed = 0;
  // Polled like the program's status timer.
  while (elapsed < seconds && vbmp3_getState(nullptr) != VBMP3_STOPPED) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  const double cpu = CpuSeconds() - cpu_before;
  const double first_sound = FirstSoundDelayMs();
  vbmp3_stop();
  vbmp3_close();
  vbmp3_free();
  std::printf("play: %.1f s, cpu %.2f %%, first sound after %.1f ms\n", elapsed,
              elapsed > 0 ? 100.0 * cpu / elapsed : 0.0, first_sound);
  return 0;
}

}  // namespace veldan::bench
