// veldan-bench track-change [TONES] [--runs N]: how soon a track change is heard in the real
// program. Runs veldan under a private Xvfb with SDL's disk driver, twice:
//
//   click: a folder of long tracks whose tones alternate (400 Hz, 900 Hz); NextFile is clicked
//     N times (20 unless told) at pseudo-random moments, each time measuring from the click to
//     the first sound of the next track's tone.
//   skip: a folder of short tracks with an undecodable file between each two; play runs through
//     them on its own, and each skip is measured from the last sound of one track to the first
//     sound of the next.
//
// TONES is the folder of the end-to-end tone tracks (tone_400_long.mp3 and so on; the build's
// e2e_tracks unless told). The capture file is read as it grows (inotify) and cut into 10 ms
// blocks, each classed as silence or one of the two tones; a block's time is the moment its
// write was seen, which is when the disk driver would have handed it to a sound card. The click
// is made with the XTEST extension, loaded at run time, so the pointer and button are the
// server's own as with a real mouse.
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
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
#include "sequence.h"
#include "private_xvfb.h"

namespace veldan::bench {
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kRate = 44100;
constexpr int kBlockFrames = kRate / 100;  // 10 ms
constexpr int kFrameBytes = 2 * 4;         // stereo, 32-bit float samples
constexpr int kToneLow = 400;
constexpr int kToneHigh = 900;
constexpr int kDefaultRuns = 20;
// NextFile's middle in the main window's client area (Panel3 at 8,64 holds it at 448,48, 89 x 18).
constexpr int kNextFileX = 8 + 448 + 89 / 2;
constexpr int kNextFileY = 64 + 48 + 18 / 2;

double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// The amplitude of freq in a Hann-windowed block (a full-scale sine measures 1).
double ToneAmplitude(const std::vector<float>& block, int freq) {
  const double coeff = 2 * std::cos(2 * M_PI * freq / kRate);
  double s1 = 0;
  double s2 = 0;
  double gain = 0;
  const size_t n = block.size();
  for (size_t i = 0; i < n; ++i) {
    const double w = 0.5 - 0.5 * std::cos(2 * M_PI * static_cast<double>(i) / (n - 1));
    gain += w;
    const double s0 = block[i] * w + coeff * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
  return std::sqrt(std::max(power, 0.0)) / (gain / 2);
}

// 0 for silence, kToneLow or kToneHigh for the tone that carries the block, -1 for anything else.
int ClassifyBlock(const std::vector<float>& block) {
  double sum = 0;
  for (float v : block) sum += double{v} * v;
  const double rms = std::sqrt(sum / static_cast<double>(block.size()));
  if (rms <= 0 || 20 * std::log10(rms * std::sqrt(2.0)) < -40) return 0;
  const double low = ToneAmplitude(block, kToneLow);
  const double high = ToneAmplitude(block, kToneHigh);
  const int tone = low >= high ? kToneLow : kToneHigh;
  return std::max(low, high) / std::sqrt(2.0) >= 0.5 * rms ? tone : -1;
}

struct Block {
  Clock::time_point seen;
  int tone;
};

// The capture file as it grows, cut into blocks. The driver opens the file anew (empty) when
// the device is opened again; reading then starts over at its beginning.
class Listener {
 public:
  explicit Listener(std::string path) : path_(std::move(path)) {
    notify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (notify_ >= 0) {
      inotify_add_watch(notify_, fs::path(path_).parent_path().c_str(), IN_CREATE | IN_MODIFY);
    }
  }
  ~Listener() {
    if (notify_ >= 0) close(notify_);
  }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  bool ok() const { return notify_ >= 0; }

  // Waits up to timeout_ms for the file to change and returns the whole blocks written since
  // the last call.
  std::vector<Block> Next(int timeout_ms) {
    pollfd wait = {notify_, POLLIN, 0};
    if (poll(&wait, 1, timeout_ms) > 0) {
      char events[4096];
      while (read(notify_, events, sizeof events) > 0) {
      }
    }
    const Clock::time_point seen = Clock::now();
    std::vector<Block> blocks;
    struct stat st {};
    if (stat(path_.c_str(), &st) != 0) return blocks;
    if (st.st_size < offset_) {
      offset_ = 0;
      pending_.clear();
    }
    const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return blocks;
    std::vector<char> bytes(static_cast<size_t>(st.st_size - offset_));
    const ssize_t got = bytes.empty() ? 0 : pread(fd, bytes.data(), bytes.size(), offset_);
    close(fd);
    if (got <= 0) return blocks;
    const size_t whole = static_cast<size_t>(got) - static_cast<size_t>(got) % kFrameBytes;
    offset_ += static_cast<off_t>(whole);
    for (size_t i = 0; i < whole; i += kFrameBytes) {
      float frame[2];
      std::memcpy(frame, bytes.data() + i, sizeof frame);
      pending_.push_back((frame[0] + frame[1]) / 2);
      if (pending_.size() == kBlockFrames) {
        blocks.push_back({seen, ClassifyBlock(pending_)});
        pending_.clear();
      }
    }
    return blocks;
  }

 private:
  std::string path_;
  int notify_ = -1;
  off_t offset_ = 0;
  std::vector<float> pending_;
};

// XTestFakeMotionEvent and XTestFakeButtonEvent, from the library the server's test extension
// comes with (xdotool's, here at run time, so the benchmark needs no development files of it).
struct FakeInput {
  using Motion = int (*)(Display*, int, int, int, unsigned long);
  using Button = int (*)(Display*, unsigned int, Bool, unsigned long);
  void* library = nullptr;
  Motion motion = nullptr;
  Button button = nullptr;

  FakeInput() {
    library = dlopen("libXtst.so.6", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return;
    motion = reinterpret_cast<Motion>(dlsym(library, "XTestFakeMotionEvent"));
    button = reinterpret_cast<Button>(dlsym(library, "XTestFakeButtonEvent"));
  }
  ~FakeInput() {
    if (library != nullptr) dlclose(library);
  }
  FakeInput(const FakeInput&) = delete;
  FakeInput& operator=(const FakeInput&) = delete;
  bool ok() const { return motion != nullptr && button != nullptr; }
};

void CopyTrack(const fs::path& from, const fs::path& to) {
  fs::create_directories(to.parent_path());
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

std::string Numbered(int n) {
  char name[16];
  std::snprintf(name, sizeof name, "%02d.mp3", n);
  return name;
}

// Click: runs + 2 long tracks, tones alternating. Skip: runs + 1 short tracks, tones
// alternating, an undecodable file after each but the last.
void MakeTrees(const fs::path& tones, const fs::path& root, int runs) {
  const auto tone = [&](int freq, const char* length) {
    return tones / ("tone_" + std::to_string(freq) + "_" + length + ".mp3");
  };
  for (int i = 0; i < runs + 2; ++i) {
    CopyTrack(tone(i % 2 == 0 ? kToneLow : kToneHigh, "long"), root / "click" / Numbered(i + 1));
  }
  int n = 1;
  for (int i = 0; i <= runs; ++i) {
    CopyTrack(tone(i % 2 == 0 ? kToneLow : kToneHigh, "short"), root / "skip" / Numbered(n++));
    if (i == runs) break;
    std::ofstream junk(root / "skip" / Numbered(n++), std::ios::binary);
    for (int line = 0; line < 64; ++line) junk << "this is no MPEG audio, only text in its place\n";
  }
}

// The player on one folder, its sound in a capture file, its window on the private server.
class Player {
 public:
  Player(const std::string& display, const std::string& program, const fs::path& dir,
         const fs::path& folder)
      : capture_((dir / "sound.raw").string()), listener_(capture_) {
    const std::string home = (dir / "home").string();
    fs::create_directories(home);
    fs::permissions(dir, fs::perms::owner_all);  // a runtime folder is the user's alone
    const std::string log = (dir / "veldan.log").string();
    pid_ = fork();
    if (pid_ == 0) {
      // The program's and SDL's chatter goes to a log, not between the measurements.
      const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
      if (out >= 0) {
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
      }
      setenv("DISPLAY", display.c_str(), 1);
      setenv("QT_QPA_PLATFORM", "xcb", 1);
      setenv("SDL_AUDIODRIVER", "disk", 1);
      setenv("SDL_DISKAUDIOFILE", capture_.c_str(), 1);
      setenv("HOME", home.c_str(), 1);
      setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
      setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
      // No session bus: the user's own desktop is never reached.
      setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (dir / "no-bus").string()).c_str(), 1);
      setenv("NO_AT_BRIDGE", "1", 1);
      unsetenv("SDL_DISKAUDIODELAY");
      unsetenv("VELDAN_DRIVES");
      execl(program.c_str(), program.c_str(), folder.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Player() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const Clock::time_point asked = Clock::now();
    while (waitpid(pid_, nullptr, WNOHANG) == 0) {
      if (MsBetween(asked, Clock::now()) > 5000) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        return;
      }
      usleep(10000);
    }
  }
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  bool running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
  Listener& listener() { return listener_; }

  // Waits until one of the tones has been heard for a second; that tone, or 0.
  int WaitForSteadyTone(double timeout_ms) {
    const Clock::time_point start = Clock::now();
    int tone = 0;
    Clock::time_point since;
    while (MsBetween(start, Clock::now()) < timeout_ms && running()) {
      for (const Block& b : listener_.Next(20)) {
        if (b.tone != tone) {
          tone = b.tone;
          since = b.seen;
        }
      }
      if (tone > 0 && MsBetween(since, Clock::now()) > 1000) return tone;
    }
    return 0;
  }

 private:
  std::string capture_;
  Listener listener_;
  pid_t pid_ = -1;
};

// The main window: the first top-level window mapped on the server.
Window AwaitMainWindow(Display* x, double timeout_ms) {
  const Clock::time_point start = Clock::now();
  while (MsBetween(start, Clock::now()) < timeout_ms) {
    while (XPending(x) > 0) {
      XEvent event;
      XNextEvent(x, &event);
      if (event.type == MapNotify && !event.xmap.override_redirect) return event.xmap.window;
    }
    pollfd wait = {ConnectionNumber(x), POLLIN, 0};
    poll(&wait, 1, 20);
  }
  return 0;
}

void Report(const char* what, const std::vector<double>& ms, int missed) {
  const double worst = ms.empty() ? -1 : *std::max_element(ms.begin(), ms.end());
  std::printf("track-change: %s median %.1f ms, worst %.1f ms (%zu measured, %d missed)\n", what,
              Median(ms), worst, ms.size(), missed);
  std::fflush(stdout);
}

// NextFile clicked runs times; each delay from the click to the next tone's first block.
bool MeasureClicks(const std::string& display, const std::string& program, const fs::path& root,
                   int runs, const FakeInput& input) {
  Display* x = XOpenDisplay(display.c_str());
  if (x == nullptr) return false;
  XSelectInput(x, DefaultRootWindow(x), SubstructureNotifyMask);
  XSync(x, False);
  const fs::path dir = root / "click-run";
  fs::create_directories(dir);
  Player player(display, program, dir, root / "click");
  const Window window = AwaitMainWindow(x, 20000);
  int tone = window != 0 ? player.WaitForSteadyTone(20000) : 0;
  if (tone == 0 || !player.listener().ok()) {
    std::fprintf(stderr, "track-change: the click folder did not play\n");
    XCloseDisplay(x);
    return false;
  }
  int screen_x = 0;
  int screen_y = 0;
  Window child = 0;
  XTranslateCoordinates(x, window, DefaultRootWindow(x), kNextFileX, kNextFileY, &screen_x,
                        &screen_y, &child);
  input.motion(x, DefaultScreen(x), screen_x, screen_y, CurrentTime);
  XFlush(x);

  Sequence sequence(20261210);
  std::vector<double> delays;
  int missed = 0;
  for (int run = 0; run < runs; ++run) {
    // Somewhere in the device's period, with the ring refilled after the last change.
    const Clock::time_point rest_until =
        Clock::now() + std::chrono::microseconds(400000 + sequence.Next(300000));
    while (Clock::now() < rest_until) player.listener().Next(5);
    const int wanted = tone == kToneLow ? kToneHigh : kToneLow;
    input.button(x, 1, True, CurrentTime);
    input.button(x, 1, False, CurrentTime);
    XFlush(x);
    const Clock::time_point clicked = Clock::now();
    double delay = -1;
    while (delay < 0 && MsBetween(clicked, Clock::now()) < 3000) {
      for (const Block& b : player.listener().Next(5)) {
        if (b.tone == wanted && delay < 0) delay = MsBetween(clicked, b.seen);
      }
    }
    if (delay < 0) {
      ++missed;
    } else {
      delays.push_back(delay);
      tone = wanted;
    }
    std::printf("click %d: %.1f ms\n", run + 1, delay);
    std::fflush(stdout);
  }
  XCloseDisplay(x);
  Report("click -> sound", delays, missed);
  return missed == 0;
}

// Play through the skip folder; each delay from one tone's last block to the other's first.
bool MeasureSkips(const std::string& display, const std::string& program, const fs::path& root,
                  int runs) {
  const fs::path dir = root / "skip-run";
  fs::create_directories(dir);
  Player player(display, program, dir, root / "skip");
  std::vector<double> gaps;
  int tone = 0;
  Clock::time_point last_sound;
  const Clock::time_point start = Clock::now();
  // Every short track lasts 3 s; a second more each for slow openings.
  const double limit_ms = 20000 + 4000.0 * (runs + 1);
  while (static_cast<int>(gaps.size()) < runs && MsBetween(start, Clock::now()) < limit_ms &&
         player.running()) {
    for (const Block& b : player.listener().Next(5)) {
      if (b.tone <= 0) continue;
      if (tone != 0 && b.tone != tone) {
        gaps.push_back(MsBetween(last_sound, b.seen));
        std::printf("skip %zu: %.1f ms\n", gaps.size(), gaps.back());
        std::fflush(stdout);
      }
      tone = b.tone;
      last_sound = b.seen;
    }
  }
  const int missed = runs - static_cast<int>(gaps.size());
  Report("skip -> sound", gaps, missed);
  return missed == 0;
}

}  // namespace

int RunTrackChange(int argc, char** argv) {
  int runs = kDefaultRuns;
  std::string tones = VELDAN_E2E_TRACKS_DIR;
  bool named = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else if (!named) {
      tones = argv[i];
      named = true;
    } else {
      runs = 0;
    }
  }
  if (runs < 1 || !fs::is_regular_file(fs::path(tones) / "tone_400_long.mp3")) {
    std::fprintf(stderr,
                 "usage: veldan-bench track-change [TONES] [--runs N]\n"
                 "  TONES: a folder of tone tracks (build/e2e_tracks)\n");
    return 2;
  }
  const char* override_program = std::getenv("VELDAN_PROGRAM");
  const std::string program = override_program != nullptr ? override_program : VELDAN_PROGRAM_PATH;

  FakeInput input;
  if (!input.ok()) {
    std::fprintf(stderr, "track-change: no XTEST library (libXtst.so.6)\n");
    return 1;
  }
  char dir_template[] = "/tmp/veldan-track-change-XXXXXX";
  if (mkdtemp(dir_template) == nullptr) return 1;
  const fs::path root = dir_template;
  MakeTrees(tones, root, runs);

  bool ok = false;
  {
    PrivateXvfb xvfb;
    if (xvfb.display().empty()) {
      std::fprintf(stderr, "track-change: Xvfb did not start\n");
    } else {
      const bool clicks = MeasureClicks(xvfb.display(), program, root, runs, input);
      const bool skips = MeasureSkips(xvfb.display(), program, root, runs);
      ok = clicks && skips;
    }
  }
  fs::remove_all(root);
  return ok ? 0 : 1;
}

}  // namespace veldan::bench
