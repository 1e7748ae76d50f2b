// A tiny tmpfs that a test can fill up, to see what writers do on a full disk.
//
// Mounting needs root; where the machine doesn't allow it, Mounted() is false and the test skips.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace veldan::test {

class SmallTmpfs {
 public:
  SmallTmpfs() {
    char pattern[] = "/tmp/veldan_full_XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return;
    path_ = pattern;
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, "size=256k") == 0;
  }
  ~SmallTmpfs() {
    if (mounted_) ::umount(path_.c_str());
    if (!path_.empty()) ::rmdir(path_.c_str());
  }
  SmallTmpfs(const SmallTmpfs&) = delete;
  SmallTmpfs& operator=(const SmallTmpfs&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& path() const { return path_; }

  // Takes every free block with one file, so the next write of any size fails.
  void Fill() const {
    std::ofstream filler(path_ + "/filler", std::ios::binary);
    const std::string block(4096, 'f');
    while (filler.write(block.data(), block.size())) {
    }
  }

 private:
  std::string path_;
  bool mounted_ = false;
};

}  // namespace veldan::test
