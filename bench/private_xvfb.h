// A private X server for the benchmark commands that run the real program in a window.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace veldan::bench {

// A private X server for the whole measurement; its display number comes back through
// -displayfd, so no display in use elsewhere is ever touched.
class PrivateXvfb {
 public:
  PrivateXvfb() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], 3);  // dup2 clears close-on-exec on the copy Xvfb writes to.
      execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    char number[16] = {};
    std::size_t got = 0;
    pollfd wait = {fds[0], POLLIN, 0};
    while (got + 1 < sizeof number && poll(&wait, 1, 10000) > 0) {
      const ssize_t n = read(fds[0], number + got, sizeof number - 1 - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
      if (std::memchr(number, '\n', got) != nullptr) break;
    }
    close(fds[0]);
    if (got > 0 && number[0] >= '0' && number[0] <= '9') {
      char name[24];
      std::snprintf(name, sizeof name, ":%d", std::atoi(number));
      display_ = name;
    }
  }
  ~PrivateXvfb() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  PrivateXvfb(const PrivateXvfb&) = delete;
  PrivateXvfb& operator=(const PrivateXvfb&) = delete;

  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace veldan::bench
