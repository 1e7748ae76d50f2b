// The tests' temporary drives: a folder tree that removes itself, and a drive table
// (VELDAN_DRIVES) over such folders that is put back when the test ends.
//
//   TempTree   a fresh folder below /tmp; paths below it are '/'-separated and relative to its
//              root (an absolute path is taken as it is, as std::filesystem joins paths).
//   DriveEnv   VELDAN_DRIVES set to a table for the fixture's life, the previous value restored.
//   TempDrive  a TempTree mapped as one fixed drive (T: unless told), more drives appended.
//   TempDrives the widget tests' pair: Q: a fixed drive labelled MUSIC over <root>/q (made), R: a
//              CD-ROM drive over <root>/cd whose medium is there while that folder exists (absent
//              at first); the process's current folder comes back when the fixture ends.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/drives.h"

namespace veldan::test {

class TempTree {
 public:
  TempTree() {
    char pattern[] = "/tmp/veldan-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) ADD_FAILURE() << "mkdtemp failed";
    root_ = made != nullptr ? made : "/nonexistent";
  }
  ~TempTree() {
    if (root_ == "/nonexistent") return;
    Unlock(root_);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& root() const { return root_; }
  std::string Path(const std::string& path) const {
    return (std::filesystem::path(root_) / path).string();
  }

  // Creates the folder and the folders above it.
  void MakeFolder(const std::string& path) const {
    std::error_code ignored;
    std::filesystem::create_directories(Path(path), ignored);
  }
  // Creates the file (and the folders above it) holding content.
  void WriteFile(const std::string& path, const std::string& content = "x") const {
    const std::filesystem::path file = Path(path);
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    std::ofstream(file, std::ios::binary) << content;
  }
  // A symbolic link at path that points to target (taken as it is).
  void Link(const std::string& target, const std::string& path) const {
    if (symlink(target.c_str(), Path(path).c_str()) != 0) std::perror("symlink");
  }
  // Moves the process's current folder.
  static void EnterFolder(const std::string& host_path) {
    if (chdir(host_path.c_str()) != 0) std::perror("chdir");
  }

 private:
  // A test may have locked a folder: every folder is opened again, before its contents are read,
  // so that all can go.
  static void Unlock(const std::filesystem::path& folder) {
    chmod(folder.c_str(), 0700);
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
      if (entry.is_directory(ignored) && !entry.is_symlink(ignored)) Unlock(entry.path());
    }
  }

  std::string root_;
};

class DriveEnv {
 public:
  explicit DriveEnv(const std::string& table) {
    if (const char* old = std::getenv("VELDAN_DRIVES")) {
      had_old_ = true;
      old_ = old;
    }
    setenv("VELDAN_DRIVES", table.c_str(), 1);
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

class TempDrive : public TempTree {
 public:
  // extra_drives are appended to the table as they are ("M=cdrom:/somewhere").
  explicit TempDrive(char letter = 'T', const std::string& extra_drives = "")
      : env_(std::string(1, letter) + "=fixed:" + root() +
             (extra_drives.empty() ? "" : ";" + extra_drives)) {}

 private:
  DriveEnv env_;
};

class TempDrives : public TempTree {
 public:
  TempDrives() : saved_cwd_(CurrentFolder()), env_(Table()) {}
  ~TempDrives() { EnterFolder(saved_cwd_); }

  // Host paths below Q: and R:.
  std::string Q(const std::string& relative = "") const { return Below("q", relative); }
  std::string R(const std::string& relative = "") const { return Below("cd", relative); }

 private:
  static std::string CurrentFolder() {
    std::error_code ignored;
    return std::filesystem::current_path(ignored).string();
  }
  // Q:'s folder is made first, so that the table finds the drive there.
  std::string Table() const {
    MakeFolder("q");
    return "Q=fixed:" + Path("q") + ":MUSIC;R=cdrom:" + Path("cd");
  }
  std::string Below(const char* folder, const std::string& relative) const {
    return relative.empty() ? Path(folder) : Path(folder) + "/" + relative;
  }

  std::string saved_cwd_;
  DriveEnv env_;
};

}  // namespace veldan::test
