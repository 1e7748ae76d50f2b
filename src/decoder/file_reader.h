// Buffered reading of one track file for the MP3 decoder.
//
// libmpg123's own reader asks the system twice for every frame; on an optical disc each of those
// small reads can wait for the drive. This reader takes the file in large blocks and asks the
// kernel to fetch the next stretch ahead of time, so the decode thread mostly reads from memory.
// The logical position is kept here, not in the descriptor: every read is a pread, so a relative
// seek is relative to what the decoder has consumed, not to how far the buffer ran ahead.
//
// A long run of zero bytes after the audio has begun ends the data: no MP3 frame holds one, and
// a file that ends in one (a download preallocated and never finished) would otherwise have the
// decoder look for the next frame through all of it, a gigabyte taking it ten seconds and more.
//
// One reader belongs to one thread at a time (the thread that owns its stream).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace veldan {

class FileReader {
 public:
  // Opens host_path for reading; null when it can't be opened or is not a regular file.
  static std::unique_ptr<FileReader> Open(const std::string& host_path);
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // Like read(2): bytes copied (0 at the end), -1 on a read error.
  ssize_t Read(void* dst, std::size_t count);
  // Like lseek(2) on the logical position; -1 for a target before the start or a bad whence.
  off_t Seek(off_t offset, int whence);
  // Like pread(2): reads at offset without moving the logical position; -1 on a read error.
  ssize_t ReadAt(void* dst, std::size_t count, off_t offset) const;
  // Size of the file when it was opened.
  off_t size() const { return size_; }
  // From offset on, a run of kLongZeroRun zero bytes ends the data where it begins.
  void EndAtLongZeroRuns(off_t from) { zero_rule_from_ = from; }
  static constexpr off_t kLongZeroRun = 1024 * 1024;

 private:
  FileReader(int fd, off_t size);
  bool Refill();
  // Follows the zero run at the end of the block just read; a long one ends the data.
  void NoteZeroRun();

  int fd_;
  off_t size_;
  std::vector<unsigned char> buffer_;
  off_t buffer_start_ = 0;  // file offset of buffer_[0]
  std::size_t buffer_fill_ = 0;
  std::size_t buffer_pos_ = 0;  // logical position = buffer_start_ + buffer_pos_
  off_t advised_until_ = 0;     // the kernel has been asked to read ahead up to here
  off_t zero_rule_from_ = -1;   // -1: zero runs are data
  off_t zero_run_start_ = -1;   // where the zero bytes that end the last block began
  off_t last_block_end_ = -1;   // the offset just after the last block read
  off_t data_end_;              // the end of the data: the size, or a long zero run
};

}  // namespace veldan
