#include "platform/drives.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/drive_config.h"
#include "platform/drive_table.h"
#include "platform/host_path.h"
#include "platform/mount_table.h"
#include "platform/name_codec.h"
#include "platform/optical_media.h"
#include "platform/sjis.h"

namespace veldan {
namespace {

struct Drive {
  bool present = false;
  DriveKind kind = DriveKind::kNoSuchDrive;
  bool configured = false;
  std::string folder;  // configured folder, or "/" for the built-in C:
  std::string label;   // configured label
  // A kernel optical drive: its block device and where that device is mounted now.
  std::string device;  // "sr0"
  dev_t rdev = 0;
  bool has_rdev = false;
  std::string mount_point;
  // An optical drive that the disc service reports: its disc and the label of the disc's file
  // system; mount_point is then the service's.
  bool from_service = false;
  std::string handle;
  OpticalMedium medium = OpticalMedium::kNone;
  std::string disc_label;
};

class Table {
 public:
  std::mutex mu;

  void EnsureLoaded() {
    if (!loaded_) Load(MountWatcher::kKernelTable);
  }

  void Load(const char* mount_table) {
    loaded_ = true;
    watcher_.UsePath(mount_table);
    config_.clear();
    if (const char* config = std::getenv("VELDAN_DRIVES")) config_ = ParseDriveConfig(config);
    Build();
    RefreshMounts(true);
  }

  // Gives the optical drives to a disc service (or back to the kernel's files with nullptr).
  void UseService(OpticalMediaService* service, std::vector<OpticalDriveState> drives) {
    service_ = service;
    service_drives_ = service == nullptr ? std::vector<OpticalDriveState>{} : std::move(drives);
    if (!loaded_) return;
    Build();
    RefreshMounts(true);
  }

  void UpdateService(std::vector<OpticalDriveState> drives) {
    if (service_ == nullptr) return;
    service_drives_ = std::move(drives);
    if (loaded_) Build();
  }

  OpticalMediaService* service() const { return service_; }

  // Re-reads the mount table when the kernel reports a change.
  void RefreshMounts(bool force) {
    if (!watcher_.Refresh(&mounts_, force)) return;
    mounts_known_ = watcher_.TableRead();
    virtual_devices_.clear();
    virtual_parents_.clear();
    virtual_ancestors_.clear();
    for (const MountEntry& m : mounts_) {
      if (!IsVirtualFsType(m.fs_type)) continue;
      struct stat st;
      if (fstatat(AT_FDCWD, m.mount_point.c_str(), &st, AT_NO_AUTOMOUNT) == 0)
        virtual_devices_.push_back(st.st_dev);
      // Every folder on the way to the mount point, its parent first.
      std::string folder = m.mount_point;
      bool parent = true;
      while (folder != "/") {
        const std::size_t cut = folder.rfind('/');
        folder.resize(cut == 0 ? 1 : cut);
        if (fstatat(AT_FDCWD, folder.c_str(), &st, AT_NO_AUTOMOUNT) != 0) continue;
        if (parent) virtual_parents_.emplace_back(st.st_dev, st.st_ino);
        virtual_ancestors_.emplace_back(st.st_dev, st.st_ino);
        parent = false;
      }
    }
    for (Drive& d : drives_) {
      if (d.present && !d.configured && !d.from_service && d.kind == DriveKind::kCdRom)
        d.mount_point = MountPointOf(d);
    }
  }

  Drive* Find(char letter) {
    letter = sjis::FoldAscii(letter);
    if (letter < 'A' || letter > 'Z') return nullptr;
    EnsureLoaded();
    Drive& d = drives_[letter - 'A'];
    return d.present ? &d : nullptr;
  }

  // The host folder of the drive's root while it holds a medium.
  bool RootOf(const Drive& d, std::string* root) {
    if (d.configured || d.kind != DriveKind::kCdRom) {
      struct stat st;
      if (d.folder != "/" && (stat(d.folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
        return false;
      *root = d.folder;
      return true;
    }
    if (d.from_service) {
      if (d.mount_point.empty()) return false;
      *root = d.mount_point;
      return true;
    }
    RefreshMounts(false);
    if (d.mount_point.empty()) return false;
    *root = d.mount_point;
    return true;
  }

  const std::array<Drive, 26>& drives() {
    EnsureLoaded();
    return drives_;
  }

  bool IsVirtualDevice(dev_t dev) {
    EnsureLoaded();
    return std::find(virtual_devices_.begin(), virtual_devices_.end(), dev) !=
           virtual_devices_.end();
  }

  drive_table::FolderCheck CheckFolder(dev_t dev, ino_t ino) {
    EnsureLoaded();
    const std::pair id(dev, ino);
    return {IsVirtualDevice(dev),
            std::find(virtual_parents_.begin(), virtual_parents_.end(), id) != virtual_parents_.end(),
            std::find(virtual_ancestors_.begin(), virtual_ancestors_.end(), id) !=
                virtual_ancestors_.end(),
            mounts_known_};
  }

 private:
  // C:, the optical drives, then VELDAN_DRIVES over them.
  void Build() {
    drives_ = {};
    Drive& c = drives_['C' - 'A'];
    c.present = true;
    c.kind = DriveKind::kFixed;
    c.folder.assign(1, '/');  // not = "/": g++ 12 warns falsely (-Wrestrict) on that
    if (service_ != nullptr) {
      LoadServiceDrives();
    } else {
      LoadOpticalDrives();
    }
    for (const DriveConfigEntry& e : config_) {
      Drive& d = drives_[e.letter - 'A'];
      d = Drive{};
      d.present = true;
      d.kind = e.kind;
      d.configured = true;
      d.folder = e.folder;
      d.label = e.label;
    }
  }

  // The service's drives take the letters from D: on in the kernel's order, as they would
  // without it, so a drive keeps its letter whether or not the service runs.
  void LoadServiceDrives() {
    std::vector<const OpticalDriveState*> sorted;
    for (const OpticalDriveState& s : service_drives_) sorted.push_back(&s);
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto* a, const auto* b) {
      return KernelDeviceOrder(a->device, b->device);
    });
    char letter = 'D';
    for (const OpticalDriveState* s : sorted) {
      if (letter > 'Z') break;
      Drive& d = drives_[letter++ - 'A'];
      d.present = true;
      d.kind = DriveKind::kCdRom;
      d.device = s->device;
      d.rdev = s->rdev;
      d.has_rdev = s->has_rdev;
      d.from_service = true;
      d.handle = s->handle;
      d.medium = s->medium;
      d.disc_label = s->label;
      // Only a data disc is a medium; a mount left over from one that is gone is not.
      if (s->medium == OpticalMedium::kData) d.mount_point = s->mount_point;
    }
  }

  // The kernel's optical drives sr0, sr1, ... take the letters from D: on, in number order.
  void LoadOpticalDrives() {
    std::vector<std::pair<long, std::string>> found;
    if (DIR* dir = opendir("/sys/block")) {
      while (const dirent* e = readdir(dir)) {
        const char* name = e->d_name;
        if (std::strncmp(name, "sr", 2) != 0 || name[2] == '\0') continue;
        char* end = nullptr;
        const long number = std::strtol(name + 2, &end, 10);
        if (*end != '\0' || name[2] < '0' || name[2] > '9') continue;
        found.emplace_back(number, name);
      }
      closedir(dir);
    }
    std::sort(found.begin(), found.end());
    char letter = 'D';
    for (const auto& [number, name] : found) {
      if (letter > 'Z') break;
      Drive& d = drives_[letter++ - 'A'];
      d.present = true;
      d.kind = DriveKind::kCdRom;
      d.device = name;
      unsigned major_no = 0;
      unsigned minor_no = 0;
      const std::string dev_file = "/sys/block/" + name + "/dev";
      if (FILE* f = std::fopen(dev_file.c_str(), "r")) {
        if (std::fscanf(f, "%u:%u", &major_no, &minor_no) == 2) {
          d.rdev = makedev(major_no, minor_no);
          d.has_rdev = true;
        }
        std::fclose(f);
      }
    }
  }

  // Whether a mounted device names the drive: by device number, so /dev/cdrom and other links
  // count, else by the device's resolved name.
  bool IsDriveDevice(const Drive& d, const std::string& device) const {
    if (device.empty() || device[0] != '/') return false;
    if (d.has_rdev) {
      struct stat st;
      return stat(device.c_str(), &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == d.rdev;
    }
    char resolved[PATH_MAX];
    return realpath(device.c_str(), resolved) != nullptr && "/dev/" + d.device == resolved;
  }

  std::string MountPointOf(const Drive& d) const {
    for (const MountEntry& m : mounts_)
      if (IsDriveDevice(d, m.device)) return m.mount_point;
    return {};
  }

  bool loaded_ = false;
  std::vector<DriveConfigEntry> config_;
  OpticalMediaService* service_ = nullptr;
  std::vector<OpticalDriveState> service_drives_;
  std::array<Drive, 26> drives_;
  MountWatcher watcher_;
  std::vector<MountEntry> mounts_;
  bool mounts_known_ = false;  // the mount table was read: mounts_ holds every mount
  std::vector<dev_t> virtual_devices_;
  std::vector<std::pair<dev_t, ino_t>> virtual_parents_;
  std::vector<std::pair<dev_t, ino_t>> virtual_ancestors_;
};

Table& GetTable() {
  static Table table;
  return table;
}

// The drive letter of a root text: "E:", "E:\" or "E:/"; 0 when it is not one.
char RootLetter(const char* root) {
  if (root == nullptr || root[0] == '\0' || root[1] != ':') return 0;
  if (root[2] != '\0' && !(sjis::IsSeparator(root[2]) && root[3] == '\0')) return 0;
  const char letter = sjis::FoldAscii(root[0]);
  return letter >= 'A' && letter <= 'Z' ? letter : 0;
}

// udev writes unsafe characters of a label as \xHH.
std::string DecodeUdevName(std::string_view name) {
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    auto hex = [](char c) {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return -1;
    };
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hex(name[i + 2]) >= 0 &&
        hex(name[i + 3]) >= 0) {
      out.push_back(static_cast<char>(hex(name[i + 2]) << 4 | hex(name[i + 3])));
      i += 3;
    } else {
      out.push_back(name[i]);
    }
  }
  return out;
}

// The file system label of an optical drive's disc, from the links udev keeps.
bool DiscLabel(const Drive& d, std::string* label) {
  if (!d.has_rdev) return false;
  DIR* dir = opendir("/dev/disk/by-label");
  if (dir == nullptr) return false;
  bool found = false;
  while (const dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    struct stat st;
    if (fstatat(dirfd(dir), e->d_name, &st, 0) == 0 && S_ISBLK(st.st_mode) &&
        st.st_rdev == d.rdev) {
      *label = DecodeUdevName(e->d_name);
      found = true;
      break;
    }
  }
  closedir(dir);
  return found;
}

// Copies program text into out, cut at a character boundary when it does not fit.
void CopyBounded(const std::string& text, char* out, std::size_t out_size) {
  std::size_t len = 0;
  while (len < text.size()) {
    const std::size_t step = sjis::CharLength(text.data(), len, text.size());
    if (len + step + 1 > out_size) break;
    len += step;
  }
  std::memcpy(out, text.data(), len);
  out[len] = '\0';
}

}  // namespace

void ReloadDriveTable(const char* mount_table) {
  Table& t = GetTable();
  std::lock_guard lock(t.mu);
  t.Load(mount_table != nullptr ? mount_table : MountWatcher::kKernelTable);
}

int ListDriveRoots(char* buf, int buf_size) {
  Table& t = GetTable();
  std::lock_guard lock(t.mu);
  int needed = 1;
  for (const Drive& d : t.drives())
    if (d.present) needed += 4;
  if (buf == nullptr || buf_size < needed) return needed;
  int pos = 0;
  for (int i = 0; i < 26; ++i) {
    if (!t.drives()[i].present) continue;
    buf[pos++] = static_cast<char>('A' + i);
    buf[pos++] = ':';
    buf[pos++] = '\\';
    buf[pos++] = '\0';
  }
  buf[pos] = '\0';
  return pos;
}

DriveKind DriveKindOf(const char* root) {
  Table& t = GetTable();
  std::lock_guard lock(t.mu);
  const Drive* d = t.Find(RootLetter(root));
  return d == nullptr ? DriveKind::kNoSuchDrive : d->kind;
}

bool MediaPresent(const char* root) {
  Table& t = GetTable();
  std::unique_lock lock(t.mu);
  const char letter = RootLetter(root);
  Drive* d = t.Find(letter);
  if (d == nullptr) return false;
  std::string host;
  if (!t.RootOf(*d, &host)) {
    // A data disc that nothing has mounted: the service mounts it, as a file manager would.
    // Nothing else is ever mounted: no audio disc, no disc the service does not report, and no
    // drive but an optical one.
    OpticalMediaService* service = t.service();
    if (service == nullptr || !d->from_service || d->medium != OpticalMedium::kData) return false;
    const std::string handle = d->handle;
    // The lock stays free meanwhile: a listing on another thread may ask the table, and the
    // service updates it.
    lock.unlock();
    std::string mounted;
    const bool ok = service->Mount(handle, &mounted);
    lock.lock();
    d = t.Find(letter);
    if (!ok || d == nullptr || !d->from_service || d->handle != handle ||
        d->medium != OpticalMedium::kData) {
      return false;
    }
    if (d->mount_point.empty()) d->mount_point = mounted;
    if (!t.RootOf(*d, &host)) return false;
  }
  struct statvfs vfs;
  return statvfs(host.c_str(), &vfs) == 0;
}

bool VolumeLabel(const char* root, char* out, std::size_t out_size) {
  if (out == nullptr || out_size == 0) return false;
  out[0] = '\0';
  Table& t = GetTable();
  std::lock_guard lock(t.mu);
  const Drive* d = t.Find(RootLetter(root));
  if (d == nullptr) return false;
  std::string host;
  if (!t.RootOf(*d, &host)) {
    // A data disc waiting to be mounted is there for the user: it shows its label.
    if (!d->from_service || d->medium != OpticalMedium::kData) return false;
    CopyBounded(HostNameToProgramText(d->disc_label), out, out_size);
    return true;
  }
  struct statvfs vfs;
  if (statvfs(host.c_str(), &vfs) != 0) return false;
  std::string label;
  if (d->configured) {
    label = d->label;
  } else if (d->from_service) {
    label = d->disc_label.empty() ? host.substr(host.rfind('/') + 1) : d->disc_label;
  } else if (d->kind == DriveKind::kCdRom && !DiscLabel(*d, &label)) {
    const std::size_t cut = host.rfind('/');
    label = host.substr(cut + 1);
  }
  CopyBounded(HostNameToProgramText(label), out, out_size);
  return true;
}

void UseOpticalMediaService(OpticalMediaService* service, std::vector<OpticalDriveState> drives) {
  Table& t = GetTable();
  std::lock_guard lock(t.mu);
  t.UseService(service, std::move(drives));
}

void UpdateOpticalDrives(std::vector<OpticalDriveState> drives) {
  Table& t = GetTable();
  std::lock_guard lock(t.mu);
  t.UpdateService(std::move(drives));
}

bool KernelDeviceOrder(const std::string& a, const std::string& b) {
  // The number of "srN", or -1 for any other name.
  auto number = [](const std::string& name) -> long {
    if (name.size() < 3 || name.size() > 12 || name.compare(0, 2, "sr") != 0) return -1;
    long n = 0;
    for (std::size_t i = 2; i < name.size(); ++i) {
      if (name[i] < '0' || name[i] > '9') return -1;
      n = n * 10 + (name[i] - '0');
    }
    return n;
  };
  const long na = number(a);
  const long nb = number(b);
  if (na >= 0 && nb >= 0) return na < nb;
  if ((na >= 0) != (nb >= 0)) return na >= 0;
  return a < b;
}

std::string DriveHostRoot(char letter) {
  std::string root;
  drive_table::HostRoot(letter, &root);
  return root;
}

namespace drive_table {

bool HostRoot(char letter, std::string* root) {
  Table& t = GetTable();
  std::lock_guard lock(t.mu);
  const Drive* d = t.Find(letter);
  if (d != nullptr && t.RootOf(*d, root)) return true;
  root->clear();
  return false;
}

bool DriveForHostPath(std::string_view path, char* letter, std::size_t* root_length) {
  Table& t = GetTable();
  std::lock_guard lock(t.mu);
  bool found = false;
  std::string root;
  for (int i = 0; i < 26; ++i) {
    const Drive& d = t.drives()[i];
    if (!d.present || !t.RootOf(d, &root)) continue;
    if (!IsHostPathWithin(path, root)) continue;
    if (found && root.size() <= *root_length) continue;
    found = true;
    *letter = static_cast<char>('A' + i);
    *root_length = root.size();
  }
  return found;
}

bool IsVirtualDevice(dev_t dev) {
  Table& t = GetTable();
  std::lock_guard lock(t.mu);
  return t.IsVirtualDevice(dev);
}

FolderCheck CheckFolder(dev_t dev, ino_t ino) {
  Table& t = GetTable();
  std::lock_guard lock(t.mu);
  return t.CheckFolder(dev, ino);
}

}  // namespace drive_table
}  // namespace veldan
