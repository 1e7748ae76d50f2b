// veldan-bench seek FILE [--seeks N]: how soon a seek and a play are heard. Plays a host file
// through the library in real time on SDL's disk driver (unless SDL_AUDIODRIVER names another),
// seeks N times to pseudo-random seconds spread over the track, forward and backward, then stops
// and plays again N times, and reports the medians from each request to the callback handing the
// device the first samples decoded for it (the disk driver writes them at once), and the
// process's context switches per second while it plays undisturbed.
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"
#include "median.h"
#include "sequence.h"
#include "decoder/playback_stats.h"
#include "decoder/vbmp3.h"
#include "platform/paths.h"

namespace veldan::bench {
namespace {

// Voluntary and involuntary context switches of every thread of the process.
long ContextSwitches() {
  long total = 0;
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return 0;
  while (dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream status(std::string("/proc/self/task/") + entry->d_name + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
          line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
        total += std::atol(line.c_str() + line.find(':') + 1);
      }
    }
  }
  closedir(tasks);
  return total;
}

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A pause of first_ms plus up to spread_ms more, to the microsecond, so that the requests fall
// on every part of the device's period.
void SleepSomeMs(Sequence* sequence, int first_ms, int spread_ms) {
  std::this_thread::sleep_for(std::chrono::microseconds(
      first_ms * 1000 + static_cast<int>(sequence->Next(static_cast<uint32_t>(spread_ms) * 1000))));
}

// Waits for the last request's first sound; -1 when it does not come within two seconds.
double AwaitSound() {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (;;) {
    const double ms = RequestSoundDelayMs();
    if (ms >= 0 || std::chrono::steady_clock::now() > until) return ms;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
}

double Largest(const std::vector<double>& v) {
  return v.empty() ? -1 : *std::max_element(v.begin(), v.end());
}

}  // namespace

int RunSeek(int argc, char** argv) {
  int seeks = 20;
  if (argc == 4 && std::strcmp(argv[2], "--seeks") == 0) {
    seeks = std::atoi(argv[3]);
  } else if (argc != 2) {
    seeks = 0;
  }
  char path[512];
  if (seeks <= 0 || !HostPathToProgram(argv[1], path, sizeof path)) {
    std::fprintf(stderr, "usage: veldan-bench seek FILE [--seeks N]\n");
    return 2;
  }
  const std::string dir = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
  const std::string capture = dir + "/veldan-seek-" + std::to_string(getpid()) + ".raw";
  setenv("SDL_AUDIODRIVER", "disk", 0);
  setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
  unsetenv("SDL_DISKAUDIODELAY");  // the driver paces itself in real time

  vbmp3_init();
  vbmp3_info info;
  if (vbmp3_open(path, &info) == 0 || info.length < 4) {
    std::fprintf(stderr, "seek: %s does not open or is shorter than 4 s\n", argv[1]);
    vbmp3_free();
    return 1;
  }
  vbmp3_play();
  const double opening = AwaitSound();  // the first play opens the device
  SleepMs(1000);                        // the ring is full, play is steady

  const long switches_before = ContextSwitches();
  const auto quiet_start = std::chrono::steady_clock::now();
  SleepMs(2000);
  const double quiet_seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - quiet_start).count();
  const double wakeups = (ContextSwitches() - switches_before) / quiet_seconds;

  // Each request comes at a random moment of the device's period, after the ring has refilled.
  Sequence sequence(20261208);
  int missed = 0;
  // Waits for the request just made to be heard, then lets the ring refill.
  auto record = [&](std::vector<double>* delays) {
    const double ms = AwaitSound();
    if (ms < 0) {
      ++missed;
    } else {
      delays->push_back(ms);
    }
    SleepSomeMs(&sequence, 150, 250);
  };
  std::vector<double> seek_ms;
  for (int i = 0; i < seeks; ++i) {
    vbmp3_seek(static_cast<int32_t>(sequence.Next(static_cast<uint32_t>(info.length - 2))));
    record(&seek_ms);
  }
  std::vector<double> play_ms;
  for (int i = 0; i < seeks; ++i) {
    vbmp3_stop();
    SleepSomeMs(&sequence, 50, 150);
    vbmp3_play();
    record(&play_ms);
  }
  vbmp3_stop();
  vbmp3_close();
  vbmp3_free();
  std::filesystem::remove(capture);

  std::printf(
      "seek: first play (device opened) %.1f ms; largest play->sound %.1f ms, "
      "seek->sound %.1f ms; %d requests unheard\n",
      opening, Largest(play_ms), Largest(seek_ms), missed);
  std::printf(
      "seek: play->sound %.1f ms, seek->sound %.1f ms (median of %d), wakeups %.0f/s "
      "while playing\n",
      Median(play_ms), Median(seek_ms), seeks, wakeups);
  return missed == 0 ? 0 : 1;
}

}  // namespace veldan::bench
