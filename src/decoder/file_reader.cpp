#include "decoder/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/file_access.h"

namespace veldan {
namespace {

// 64 KiB is four seconds of a 128 kbit/s track per system call; the kernel is asked to read one
// MiB beyond that, which covers a minute of such a track while the drive spins up or seeks.
constexpr std::size_t kBlockSize = 64 * 1024;
constexpr off_t kReadAhead = 1024 * 1024;

}  // namespace

std::unique_ptr<FileReader> FileReader::Open(const std::string& host_path) {
  // A pipe named like a track would block the open until a writer came.
  int fd = OpenRegularFile(host_path);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return nullptr;
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return std::unique_ptr<FileReader>(new FileReader(fd, st.st_size));
}

FileReader::FileReader(int fd, off_t size)
    : fd_(fd), size_(size), buffer_(kBlockSize), data_end_(size) {}

FileReader::~FileReader() {
  ::close(fd_);
}

bool FileReader::Refill() {
  buffer_start_ += static_cast<off_t>(buffer_pos_);
  buffer_pos_ = 0;
  buffer_fill_ = 0;
  if (buffer_start_ >= data_end_) return true;  // the end
  ssize_t n;
  do {
    n = ::pread(fd_, buffer_.data(), buffer_.size(), buffer_start_);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) return n == 0;
  buffer_fill_ = static_cast<std::size_t>(n);
  NoteZeroRun();

  off_t next = buffer_start_ + static_cast<off_t>(buffer_fill_);
  if (next + kReadAhead / 2 > advised_until_) {
    off_t from = advised_until_ > next ? advised_until_ : next;
    ::posix_fadvise(fd_, from, kReadAhead, POSIX_FADV_WILLNEED);
    advised_until_ = from + kReadAhead;
  }
  return true;
}

void FileReader::NoteZeroRun() {
  if (zero_rule_from_ < 0) return;
  const off_t end = buffer_start_ + static_cast<off_t>(buffer_fill_);
  const bool continues = buffer_start_ == last_block_end_;
  last_block_end_ = end;
  const off_t from = std::max(buffer_start_, zero_rule_from_);
  off_t last = end;  // the zero bytes [last, end) end the block
  while (last > from && buffer_[static_cast<std::size_t>(last - 1 - buffer_start_)] == 0) --last;
  if (last == end) {
    zero_run_start_ = -1;  // the block ends in data (or lies before the audio)
    return;
  }
  // A block of nothing but zeros goes on with the run of the block before it.
  if (last > from || !continues || zero_run_start_ < 0) zero_run_start_ = last;
  if (end - zero_run_start_ >= kLongZeroRun) {
    data_end_ = zero_run_start_;
    buffer_fill_ = static_cast<std::size_t>(std::max<off_t>(data_end_ - buffer_start_, 0));
  }
}

ssize_t FileReader::Read(void* dst, std::size_t count) {
  auto* out = static_cast<unsigned char*>(dst);
  std::size_t copied = 0;
  while (copied < count) {
    if (buffer_pos_ == buffer_fill_) {
      if (!Refill()) return copied > 0 ? static_cast<ssize_t>(copied) : -1;
      if (buffer_fill_ == 0) break;  // end of file
    }
    std::size_t n = buffer_fill_ - buffer_pos_;
    if (n > count - copied) n = count - copied;
    std::memcpy(out + copied, buffer_.data() + buffer_pos_, n);
    buffer_pos_ += n;
    copied += n;
  }
  return static_cast<ssize_t>(copied);
}

ssize_t FileReader::ReadAt(void* dst, std::size_t count, off_t offset) const {
  ssize_t n;
  do {
    n = ::pread(fd_, dst, count, offset);
  } while (n < 0 && errno == EINTR);
  return n;
}

off_t FileReader::Seek(off_t offset, int whence) {
  off_t base;
  switch (whence) {
    case SEEK_SET:
      base = 0;
      break;
    case SEEK_CUR:
      base = buffer_start_ + static_cast<off_t>(buffer_pos_);
      break;
    case SEEK_END:
      base = size_;
      break;
    default:
      errno = EINVAL;
      return -1;
  }
  off_t target;
  if (__builtin_add_overflow(base, offset, &target) || target < 0) {
    errno = EINVAL;
    return -1;
  }
  if (target >= buffer_start_ && target <= buffer_start_ + static_cast<off_t>(buffer_fill_)) {
    buffer_pos_ = static_cast<std::size_t>(target - buffer_start_);
  } else {
    buffer_start_ = target;
    buffer_pos_ = 0;
    buffer_fill_ = 0;
  }
  return target;
}

}  // namespace veldan
