// The kernel's mount table (/proc/self/mounts) as the drive table needs it.
//
// Parsing is pure; MountWatcher keeps the file open and re-reads it only when the kernel reports
// a change (the file polls readable with POLLPRI after every mount or unmount), so a media wait
// that asks for a drive's root over and over costs one poll() per question.
//
// A MountWatcher belongs to whoever owns it (the drive table, under its lock).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veldan {

struct MountEntry {
  std::string device;
  std::string mount_point;
  std::string fs_type;
};

// Lines "device mount-point type options ..." with the kernel's octal escapes (\040 for a
// space, \011, \012, \134) undone; malformed lines are skipped.
std::vector<MountEntry> ParseMounts(std::string_view text);

// True for the kernel's virtual file systems, which hold no files a player could want and,
// in the case of proc and sysfs, never end when walked.
bool IsVirtualFsType(std::string_view fs_type);

// The same rule by the type number statfs() reports (f_type), for when the mount table can't be
// read (some sandboxes have no /proc). devtmpfs reports tmpfs's number and FUSE file systems
// share one, so neither devtmpfs nor fuse.lxcfs is known by number.
bool IsVirtualFsMagic(unsigned long f_type);

// True when the folder open at fd lies on a virtual file system by its statfs() type.
bool IsOnVirtualFs(int fd);

class MountWatcher {
 public:
  static constexpr const char* kKernelTable = "/proc/self/mounts";

  explicit MountWatcher(const char* path = kKernelTable);
  ~MountWatcher();
  MountWatcher(const MountWatcher&) = delete;
  MountWatcher& operator=(const MountWatcher&) = delete;

  // Re-reads the table when it changed since the last read (or was never read, or force is set);
  // returns true when *mounts was replaced.
  bool Refresh(std::vector<MountEntry>* mounts, bool force = false);

  // True when the last refresh read the table: the mounts it gave are all there are.
  bool TableRead() const { return fd_ >= 0; }

  // Reads the table at path from now on (the next refresh reads it).
  void UsePath(const char* path);

 private:
  std::string path_;
  int fd_ = -1;
  bool read_once_ = false;
};

}  // namespace veldan
