#include "platform/mount_table.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>

namespace veldan {
namespace {

std::string Unescape(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
        field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
      out.push_back(static_cast<char>((field[i + 1] - '0') << 6 | (field[i + 2] - '0') << 3 |
                                      (field[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(field[i]);
    }
  }
  return out;
}

}  // namespace

std::vector<MountEntry> ParseMounts(std::string_view text) {
  std::vector<MountEntry> mounts;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    const std::string_view line = text.substr(pos, eol - pos);
    pos = eol + 1;
    std::array<std::string_view, 3> fields;
    std::size_t n = 0;
    std::size_t i = 0;
    while (n < fields.size() && i < line.size()) {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
      const std::size_t start = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
      if (i > start) fields[n++] = line.substr(start, i - start);
    }
    if (n < fields.size() || fields[1][0] != '/') continue;
    mounts.push_back({Unescape(fields[0]), Unescape(fields[1]), Unescape(fields[2])});
  }
  return mounts;
}

bool IsVirtualFsType(std::string_view t) {
  static constexpr std::string_view kVirtual[] = {
      "proc",     "sysfs",      "devtmpfs",  "devpts",      "cgroup",     "cgroup2",
      "securityfs", "debugfs",  "tracefs",   "pstore",      "bpf",        "configfs",
      "fusectl",  "mqueue",     "hugetlbfs", "autofs",      "binfmt_misc", "efivarfs",
      "rpc_pipefs", "nsfs",     "selinuxfs", "smackfs",     "nfsd",       "fuse.lxcfs"};
  for (const std::string_view v : kVirtual)
    if (t == v) return true;
  return false;
}

MountWatcher::MountWatcher(const char* path) : path_(path) {}

MountWatcher::~MountWatcher() {
  if (fd_ >= 0) close(fd_);
}

bool MountWatcher::Refresh(std::vector<MountEntry>* mounts, bool force) {
  if (fd_ < 0) {
    fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
      if (!read_once_ || force) {
        read_once_ = true;
        mounts->clear();
        return true;
      }
      return false;
    }
    force = true;
  }
  if (!force && read_once_) {
    pollfd p{fd_, POLLPRI, 0};
    if (poll(&p, 1, 0) <= 0 || (p.revents & (POLLPRI | POLLERR)) == 0) return false;
  }
  std::string text;
  char buf[8192];
  if (lseek(fd_, 0, SEEK_SET) != 0) return false;
  for (;;) {
    const ssize_t got = read(fd_, buf, sizeof buf);
    if (got < 0) return false;
    if (got == 0) break;
    text.append(buf, static_cast<std::size_t>(got));
  }
  read_once_ = true;
  *mounts = ParseMounts(text);
  return true;
}

}  // namespace veldan
