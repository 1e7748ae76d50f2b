#include "platform/mount_table.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/statfs.h>
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

bool IsVirtualFsMagic(unsigned long f_type) {
  // The types IsVirtualFsType names, by the numbers their kernel code gives them.
  static constexpr unsigned long kVirtual[] = {
      0x9fa0,      // proc
      0x62656572,  // sysfs
      0x1cd1,      // devpts
      0x27e0eb,    // cgroup
      0x63677270,  // cgroup2
      0x73636673,  // securityfs
      0x64626720,  // debugfs
      0x74726163,  // tracefs
      0x6165676c,  // pstore
      0xcafe4a11,  // bpf
      0x62656570,  // configfs
      0x65735543,  // fusectl
      0x19800202,  // mqueue
      0x958458f6,  // hugetlbfs
      0x0187,      // autofs
      0x42494e4d,  // binfmt_misc
      0xde5e81e4,  // efivarfs
      0x67596969,  // rpc_pipefs
      0x6e736673,  // nsfs
      0xf97cff8c,  // selinuxfs
      0x43415d53,  // smackfs
      0x6e667364,  // nfsd
  };
  for (const unsigned long v : kVirtual)
    if (f_type == v) return true;
  return false;
}

bool IsOnVirtualFs(int fd) {
  struct statfs info;
  return fstatfs(fd, &info) == 0 && IsVirtualFsMagic(static_cast<unsigned long>(info.f_type));
}

MountWatcher::MountWatcher(const char* path) : path_(path) {}

void MountWatcher::UsePath(const char* path) {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  read_once_ = false;
  path_ = path;
}

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
