// veldan-bench COMMAND ...: measures VELDAN's hot paths, and its start-up in a real window.
#include <cstdio>
#include <cstring>

#include "commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int, char**);
  const char* usage;
};

constexpr Command kCommands[] = {
#ifdef VELDAN_BENCH_SCAN
    {"scan", veldan::bench::RunScan, "scan FOLDER"},
#endif
#ifdef VELDAN_BENCH_DECODE
    {"decode", veldan::bench::RunDecode, "decode FILE [--eq]"},
#endif
#ifdef VELDAN_BENCH_PLAY
    {"play", veldan::bench::RunPlay, "play FILE SECONDS"},
#endif
#ifdef VELDAN_BENCH_SEEK
    {"seek", veldan::bench::RunSeek, "seek FILE [--seeks N]"},
#endif
#ifdef VELDAN_BENCH_STARTUP
    {"startup", veldan::bench::RunStartup, "startup TREE [--runs N] [-- PROGRAM ARGS...]"},
#endif
#ifdef VELDAN_BENCH_TRACK_CHANGE
    {"track-change", veldan::bench::RunTrackChange, "track-change [TONES] [--runs N]"},
#endif
#ifdef VELDAN_BENCH_GAPLESS
    {"gapless", veldan::bench::RunGapless, "gapless PART..."},
#endif
#ifdef VELDAN_BENCH_RECONNECT
    {"reconnect", veldan::bench::RunReconnect,
     "reconnect [--server pulseaudio|pipewire] [--runs N]"},
#endif
#ifdef VELDAN_BENCH_ART
    {"art", veldan::bench::RunArt, "art [--files N] [--runs N]"},
#endif
#ifdef VELDAN_BENCH_MICRO
    {"micro", veldan::bench::RunMicro, "micro [--benchmark_filter=...]"},
#endif
    {nullptr, nullptr, nullptr},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2) {
    for (const Command* c = kCommands; c->name != nullptr; ++c) {
      if (std::strcmp(argv[1], c->name) == 0) return c->run(argc - 1, argv + 1);
    }
  }
  std::fprintf(stderr, "usage: veldan-bench COMMAND ...\n");
  for (const Command* c = kCommands; c->name != nullptr; ++c) {
    std::fprintf(stderr, "  veldan-bench %s\n", c->usage);
  }
  return 2;
}
