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
    {"scan", veldan::bench::RunScan, "scan FOLDER"},
    {"decode", veldan::bench::RunDecode, "decode FILE [--eq]"},
    {"play", veldan::bench::RunPlay, "play FILE SECONDS"},
    {"seek", veldan::bench::RunSeek, "seek FILE [--seeks N]"},
    {"startup", veldan::bench::RunStartup, "startup TREE [--runs N] [-- PROGRAM ARGS...]"},
    {"track-change", veldan::bench::RunTrackChange, "track-change [TONES] [--runs N]"},
    {"gapless", veldan::bench::RunGapless, "gapless PART..."},
    {"reconnect", veldan::bench::RunReconnect,
     "reconnect [--server pulseaudio|pipewire] [--runs N]"},
    {"art", veldan::bench::RunArt, "art [--files N] [--runs N]"},
    {"micro", veldan::bench::RunMicro, "micro [Google Benchmark flags, e.g. --benchmark_filter=...]"},
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
