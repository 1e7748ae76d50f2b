#include "platform/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace veldan {
namespace {

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The file a write must replace: a link's target, so that the link itself stays a link.
std::string WriteTarget(const std::string& host_path) {
  struct stat st;
  if (::lstat(host_path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return host_path;
  char resolved[PATH_MAX];
  if (::realpath(host_path.c_str(), resolved) == nullptr) return host_path;
  return resolved;
}

}  // namespace

int OpenRegularFile(const std::string& host_path) {
  const int fd = ::open(host_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return -1;
  struct stat st;
  const int flags = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::FILE* OpenRegularFileStream(const std::string& host_path) {
  const int fd = OpenRegularFile(host_path);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "rb");
  if (file == nullptr) ::close(fd);
  return file;
}

bool WriteFileWhole(const std::string& host_path, std::string_view contents) {
  const std::string target = WriteTarget(host_path);
  // Only a regular file is replaced: a pipe, a device or a socket of that name belongs to
  // someone else, and renaming over it would take it from them.
  struct stat old;
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) return false;
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (name.empty()) return false;

  // A hidden name that no other writer uses: this process, and a count of its writes.
  static std::atomic<unsigned> serial{0};
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = folder + "." + name + "." + std::to_string(::getpid()) + "." +
                std::to_string(serial.fetch_add(1)) + ".tmp";
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;

  bool ok = !exists || ::fchmod(fd, old.st_mode & 07777) == 0;
  ok = ok && WriteAll(fd, contents) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

HostFileKind HostFileKindOf(const char* host_path) {
  struct stat st;
  if (::stat(host_path, &st) != 0) return HostFileKind::kNone;
  if (S_ISDIR(st.st_mode)) return HostFileKind::kFolder;
  return S_ISREG(st.st_mode) ? HostFileKind::kRegular : HostFileKind::kOther;
}

}  // namespace veldan
