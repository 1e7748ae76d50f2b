// The player library driven line by line from standard input, for the sound-server tests:
//   open PATH | queue PATH | play | pause | restart | stop | close | seek SECONDS | state | quit
// Each command answers one line: "ok" or "fail", and for state
// "state S position P sessions N" (the vbmp3 state, the heard second, the devices opened).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "decoder/playback_stats.h"
#include "decoder/vbmp3.h"
#include "platform/paths.h"

namespace {

bool ToProgram(const std::string& host_path, char* out, std::size_t size) {
  return veldan::HostPathToProgram(host_path, out, size);
}

}  // namespace

int main() {
  vbmp3_init();
  std::string line;
  while (std::getline(std::cin, line)) {
    const std::size_t space = line.find(' ');
    const std::string command = line.substr(0, space);
    const std::string argument = space == std::string::npos ? "" : line.substr(space + 1);
    bool ok = true;
    char path[512];
    if (command == "open" || command == "queue") {
      vbmp3_info info;
      // A path that is no program path stands for a file that does not exist.
      if (!ToProgram(argument, path, sizeof path)) std::strcpy(path, "Z:\\missing.mp3");
      ok = command == "open" ? vbmp3_open(path, &info) != 0 : vbmp3_queue(path) != 0;
    } else if (command == "play") {
      ok = vbmp3_play() != 0;
    } else if (command == "pause") {
      vbmp3_pause();
    } else if (command == "restart") {
      vbmp3_restart();
    } else if (command == "stop") {
      vbmp3_stop();
    } else if (command == "close") {
      vbmp3_close();
    } else if (command == "seek") {
      vbmp3_seek(std::atoi(argument.c_str()));
    } else if (command == "state") {
      int32_t position = 0;
      const int state = vbmp3_getState(&position);
      vbmp3_info info;
      const bool joined = vbmp3_queuedStarted(&info) != 0;
      std::printf("state %d position %d sessions %d joined %d\n", state, position,
                  veldan::DeviceSessions(), joined ? 1 : 0);
      std::fflush(stdout);
      continue;
    } else if (command == "quit") {
      break;
    } else {
      ok = false;
    }
    std::printf("%s\n", ok ? "ok" : "fail");
    std::fflush(stdout);
  }
  vbmp3_stop();
  vbmp3_close();
  vbmp3_free();
  std::printf("freed\n");
  return 0;
}
