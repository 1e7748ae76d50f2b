// veldan-bench reconnect [--server pulseaudio|pipewire] [--runs N]: plays a staircase tone through
// the library into a sound server of its own (a private runtime folder and a null sink recorded
// with parec), kills and restarts the server N times (10 unless told) and reports the median and
// worst time from the server accepting clients to the first sound, and how far from where it
// stopped play went on (the position error, + for sound skipped, - for sound heard twice). The
// measuring is the sound-server tests' own, run with the probe they drive the library through.
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"

extern char** environ;

namespace veldan::bench {

int RunReconnect(int argc, char** argv) {
  std::string server = "pulseaudio";
  std::string runs = "10";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--server") == 0 && i + 1 < argc) {
      server = argv[++i];
    } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: veldan-bench reconnect [--server pulseaudio|pipewire] [--runs N]\n");
      return 2;
    }
  }
  std::vector<std::string> args = {
      VELDAN_PYTHON, VELDAN_RECONNECT_SCRIPT, "reconnect", "--server",          server,
      "--probe",     VELDAN_PROBE_PATH,       "--tracks",  VELDAN_PROBE_TRACKS, "--runs",
      runs};
  std::vector<char*> argp;
  for (std::string& a : args) argp.push_back(a.data());
  argp.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argp[0], nullptr, nullptr, argp.data(), environ) != 0) {
    std::fprintf(stderr, "reconnect: cannot run %s\n", argp[0]);
    return 1;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace veldan::bench
