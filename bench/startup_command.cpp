// veldan-bench startup TREE [--runs N] [-- PROGRAM ARGS...]: starts the real player on TREE
// under a private Xvfb with SDL's disk driver, N times (5 unless told), and reports the medians
// of three things a user notices: exec to the main window's map event, exec to the first
// non-zero byte the sound device is given (the capture file watched with inotify), and the
// resident set 3 s after that first sound. After "--" another program line replaces
// "veldan TREE", so other players can be measured the same way; one that never writes to the
// capture file shows no first sound and has its memory taken 3 s after its window appears.
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "commands.h"
#include "median.h"
#include "private_xvfb.h"

namespace veldan::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kPlaySeconds = 3.0;
constexpr double kGiveUpSeconds = 20.0;
constexpr int kDefaultRuns = 5;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct RunResult {
  double window_ms = -1;
  double sound_ms = -1;
  double rss_mib = -1;
};

double ResidentMiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  }
  return -1;
}

// True once a byte other than zero appears in the capture file past offset; offset advances
// over what was read. The disk driver writes silence while the device is paused, so the first
// non-zero byte is the first sound.
bool SoundArrived(const std::string& path, off_t* offset) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[65536];
  bool found = false;
  for (;;) {
    const ssize_t n = pread(fd, buffer, sizeof buffer, *offset);
    if (n <= 0) break;
    *offset += n;
    if (std::any_of(buffer, buffer + n, [](char b) { return b != 0; })) {
      found = true;
      break;
    }
  }
  close(fd);
  return found;
}

void StopChild(pid_t pid) {
  kill(pid, SIGTERM);
  const Clock::time_point asked = Clock::now();
  while (waitpid(pid, nullptr, WNOHANG) == 0) {
    if (MsSince(asked) > 5000) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      return;
    }
    usleep(10000);
  }
}

RunResult RunOnce(const std::string& display, const std::vector<std::string>& command) {
  RunResult result;
  char dir_template[] = "/tmp/veldan-startup-XXXXXX";
  if (mkdtemp(dir_template) == nullptr) return result;
  const std::string dir = dir_template;
  const std::string capture = dir + "/sound.raw";

  Display* x = XOpenDisplay(display.c_str());
  const int notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (x == nullptr || notify < 0) {
    if (x != nullptr) XCloseDisplay(x);
    if (notify >= 0) close(notify);
    std::filesystem::remove_all(dir);
    return result;
  }
  // Every top-level window that appears on the private server is a child of the root.
  XSelectInput(x, DefaultRootWindow(x), SubstructureNotifyMask);
  XSync(x, False);
  inotify_add_watch(notify, dir.c_str(), IN_CREATE | IN_MODIFY);

  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);

  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    unsetenv("SDL_DISKAUDIODELAY");
    execvp(argv[0], argv.data());
    _exit(127);
  }

  off_t offset = 0;
  double sound_at = -1;
  while (pid > 0) {
    const double now = MsSince(start);
    if (now > kGiveUpSeconds * 1000) break;
    const double since_first = sound_at >= 0 ? sound_at : result.window_ms;
    // Without any sound by the time the window has been up a while, the program is taken to
    // play silently (or elsewhere) and its memory is read 3 s after the window instead.
    if (since_first >= 0 && (sound_at >= 0 || now > result.window_ms + 2000) &&
        now >= since_first + kPlaySeconds * 1000) {
      result.rss_mib = ResidentMiB(pid);
      break;
    }
    if (waitpid(pid, nullptr, WNOHANG) == pid) break;

    pollfd fds[2] = {{ConnectionNumber(x), POLLIN, 0}, {notify, POLLIN, 0}};
    poll(fds, 2, 20);
    while (XPending(x) > 0) {
      XEvent event;
      XNextEvent(x, &event);
      if (event.type == MapNotify && !event.xmap.override_redirect && result.window_ms < 0) {
        result.window_ms = MsSince(start);
      }
    }
    if (fds[1].revents & POLLIN) {
      char events[4096];
      while (read(notify, events, sizeof events) > 0) {
      }
      if (sound_at < 0 && SoundArrived(capture, &offset)) {
        sound_at = MsSince(start);
        result.sound_ms = sound_at;
      }
    }
  }
  if (pid > 0) StopChild(pid);
  close(notify);
  XCloseDisplay(x);
  std::filesystem::remove_all(dir);
  return result;
}

}  // namespace

int RunStartup(int argc, char** argv) {
  std::vector<std::string> command;
  int runs = kDefaultRuns;
  std::string tree;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) {
      for (++i; i < argc; ++i) command.emplace_back(argv[i]);
    } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else if (tree.empty()) {
      tree = argv[i];
    } else {
      tree.clear();
      break;
    }
  }
  if (tree.empty() || runs < 1 || !std::filesystem::is_directory(tree)) {
    std::fprintf(stderr, "usage: veldan-bench startup TREE [--runs N] [-- PROGRAM ARGS...]\n");
    return 2;
  }
  if (command.empty()) {
    const char* program = std::getenv("VELDAN_PROGRAM");
    command = {program != nullptr ? program : VELDAN_PROGRAM_PATH, tree};
  }

  PrivateXvfb xvfb;
  if (xvfb.display().empty()) {
    std::fprintf(stderr, "startup: Xvfb did not start\n");
    return 1;
  }
  std::vector<double> window;
  std::vector<double> sound;
  std::vector<double> rss;
  for (int run = 0; run < runs; ++run) {
    const RunResult r = RunOnce(xvfb.display(), command);
    std::printf("run %d: window %.1f ms, first sound %.1f ms, rss %.1f MiB\n", run + 1, r.window_ms,
                r.sound_ms, r.rss_mib);
    std::fflush(stdout);
    window.push_back(r.window_ms);
    sound.push_back(r.sound_ms);
    rss.push_back(r.rss_mib);
  }
  std::printf("startup: window %.0f ms, first sound %.0f ms, rss %.1f MiB\n", Median(window),
              Median(sound), Median(rss));
  return Median(window) < 0 ? 1 : 0;
}

}  // namespace veldan::bench
