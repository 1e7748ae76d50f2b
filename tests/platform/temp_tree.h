// Test helpers: a temporary folder tree that removes itself, and a drive table made of such
// folders (VELDAN_DRIVES) that is put back when the test ends.
#pragma once

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/drives.h"

namespace veldan::test {

class TempTree {
 public:
  TempTree() {
    char templ[] = "/tmp/veldan-platform-XXXXXX";
    root_ = mkdtemp(templ);
  }
  ~TempTree() {
    nftw(
        root_.c_str(),
        [](const char* path, const struct stat*, int, FTW*) {
          chmod(path, 0700);  // a test may have locked a folder
          return remove(path);
        },
        16, FTW_DEPTH | FTW_PHYS);
  }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& root() const { return root_; }
  std::string Path(const std::string& rel) const { return root_ + "/" + rel; }

  void Dir(const std::string& rel) const { mkdir(Path(rel).c_str(), 0755); }
  void File(const std::string& rel, const std::string& content = "x") const {
    if (FILE* f = std::fopen(Path(rel).c_str(), "wb")) {
      std::fwrite(content.data(), 1, content.size(), f);
      std::fclose(f);
    }
  }
  void Link(const std::string& target, const std::string& rel) const {
    if (symlink(target.c_str(), Path(rel).c_str()) != 0) std::perror("symlink");
  }

 private:
  std::string root_;
};

class DriveEnv {
 public:
  explicit DriveEnv(const std::string& value) {
    if (const char* old = std::getenv("VELDAN_DRIVES")) {
      had_old_ = true;
      old_ = old;
    }
    setenv("VELDAN_DRIVES", value.c_str(), 1);
    ReloadDriveTable();
  }
  ~DriveEnv() {
    if (had_old_)
      setenv("VELDAN_DRIVES", old_.c_str(), 1);
    else
      unsetenv("VELDAN_DRIVES");
    ReloadDriveTable();
  }
  DriveEnv(const DriveEnv&) = delete;
  DriveEnv& operator=(const DriveEnv&) = delete;

 private:
  bool had_old_ = false;
  std::string old_;
};

}  // namespace veldan::test
