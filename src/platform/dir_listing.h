// Directory listing in program text.
//
// A listing names a folder and a pattern ("D:\Music\*.*", "D:\Music\a?.MP3"): '*' and '?' match
// without regard to letter case; a pattern without wildcards finds that one item with its name as
// it is on disk. Items come in the host's order, "." and ".." included, each with its program-text
// name and a folder flag. Links to folders are followed, except a link back into one of its own
// ancestors; the virtual kernel file systems (proc, sysfs, devtmpfs, cgroup, ...) are never listed;
// an item whose full program path would not fit 511 bytes is not listed. Only folders and regular
// files are listed: devices, pipes, sockets and links that lead nowhere are not.
//
// One listing belongs to one thread; separate listings are independent.
#pragma once

#include <cstddef>

namespace veldan {

struct DirItem {
  char name[512];  // program text, zero-terminated
  bool is_folder;
};

class DirListing {
 public:
  DirListing() = default;
  ~DirListing();
  DirListing(const DirListing&) = delete;
  DirListing& operator=(const DirListing&) = delete;

  // Opens the listing of folder + pattern (program text). False when the folder can't be read,
  // or, for an exact name, when no item has that name.
  bool Open(const char* pattern_path);
  // Fills item with the next match; false at the end.
  bool Next(DirItem* item);
  void Close();

 private:
  struct Impl;
  Impl* impl_ = nullptr;
};

}  // namespace veldan
