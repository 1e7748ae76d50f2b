#include "platform/dir_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "platform/drive_table.h"
#include "platform/host_path.h"
#include "platform/mount_table.h"
#include "platform/name_codec.h"
#include "platform/paths.h"
#include "platform/sjis.h"
#include "platform/wildcard.h"

namespace veldan {
namespace {

constexpr std::size_t kMaxPathText = 511;  // a program path's bytes, its terminator not counted
constexpr std::size_t kMaxAncestors = 128;

enum class Kind { kSkip, kFile, kFolder };

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace

// A listing reads the folder with getdents64 into its own buffer and converts each name straight
// into the caller's item, so walking a tree allocates nothing per item and nothing per folder
// once the pool below is warm.
struct DirListing::Impl {
  int fd = -1;
  bool exact = false;          // the pattern named one item, found by Open
  bool exact_delivered = false;
  bool match_all = false;
  bool holds_virtual = false;  // this folder may hold a virtual file system's mount point
  bool dev_known = false;      // dev is this folder's device
  dev_t dev = 0;
  bool subtree_clear = false;  // no virtual file system is mounted anywhere below this folder
  bool at_end = false;
  std::size_t name_room = 0;   // bytes a name may take so that the full path fits 511
  char pattern[kMaxPathText + 1];
  std::size_t pattern_len = 0;
  char folder_text[kMaxPathText + 1];  // the pattern's folder part, its separator included
  std::size_t folder_len = 0;
  std::string host_folder;  // as reached, links not resolved; filled when first needed
  bool host_folder_known = false;
  Impl* below = nullptr;  // the listing this thread opened before, while still open
  std::size_t ancestor_count = 0;
  bool ancestors_ready = false;
  std::pair<dev_t, ino_t> ancestors[kMaxAncestors];
  DirItem exact_item;
  std::size_t buf_pos = 0;
  std::size_t buf_len = 0;
  alignas(8) char buf[32768];

  void Reset() {
    if (fd >= 0) close(fd);
    fd = -1;
    exact = exact_delivered = match_all = holds_virtual = dev_known = subtree_clear = at_end =
        false;
    dev = 0;
    ancestors_ready = false;
    host_folder_known = false;
    name_room = pattern_len = folder_len = ancestor_count = buf_pos = buf_len = 0;
    below = nullptr;
  }

  // The next raw entry of the folder, or nullptr at its end.
  const dirent64* ReadEntry() {
    while (buf_pos >= buf_len) {
      if (at_end) return nullptr;
      const ssize_t got = getdents64(fd, buf, sizeof buf);
      if (got <= 0) {
        at_end = true;
        return nullptr;
      }
      buf_pos = 0;
      buf_len = static_cast<std::size_t>(got);
    }
    const auto* e = reinterpret_cast<const dirent64*>(buf + buf_pos);
    buf_pos += e->d_reclen;
    // ext4 marks a folder's last item with this offset; knowing it spares the read that would
    // only report the end.
    if (e->d_off == INT64_MAX) at_end = true;
    return e;
  }

  bool FindHostFolder() {
    if (!host_folder_known) {
      if (folder_len == 0) {
        host_folder = CurrentHostFolder();
        host_folder_known = true;
      } else {
        host_folder_known = ProgramPathToHost(folder_text, &host_folder);
      }
    }
    return host_folder_known;
  }

  void AddAncestorsOf(const std::string& path) {
    std::string prefix = path;
    for (;;) {
      struct stat st;
      if (ancestor_count < kMaxAncestors && stat(prefix.c_str(), &st) == 0)
        ancestors[ancestor_count++] = {st.st_dev, st.st_ino};
      if (prefix == "/") return;
      const std::size_t cut = prefix.rfind('/');
      prefix.resize(cut == 0 ? 1 : cut);
    }
  }

  // A link that leads to this folder or above would make a walk go round for ever. Both the
  // path as reached and the real path count, so two links that lead into each other's folders
  // are caught as well as a link to its own parent.
  bool IsAncestor(const struct stat& target) {
    if (!ancestors_ready) {
      ancestors_ready = true;
      if (!FindHostFolder()) return false;
      AddAncestorsOf(host_folder);
      char real[PATH_MAX];
      if (realpath(host_folder.c_str(), real) != nullptr) AddAncestorsOf(real);
    }
    for (std::size_t i = 0; i < ancestor_count; ++i)
      if (ancestors[i].first == target.st_dev && ancestors[i].second == target.st_ino) return true;
    return false;
  }

  // Whether the folder item name (a link followed), of status st, is on a virtual file system:
  // by the mount table, and where it crosses into another file system, by that one's type.
  bool IsVirtualFolder(const char* name, const struct stat& st, bool follow) const {
    if (drive_table::IsVirtualDevice(st.st_dev)) return true;
    // A real subfolder of a folder with no virtual file system below it is none.
    if ((subtree_clear && !follow) || (dev_known && st.st_dev == dev)) return false;
    const int item = openat(fd, name, O_PATH | O_DIRECTORY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW));
    if (item < 0) return false;
    const bool is_virtual = IsOnVirtualFs(item);
    close(item);
    return is_virtual;
  }

  Kind FollowLink(const char* name) {
    struct stat st;
    if (fstatat(fd, name, &st, AT_NO_AUTOMOUNT) != 0) return Kind::kSkip;  // dangling, or a loop
    if (S_ISREG(st.st_mode)) return Kind::kFile;
    if (!S_ISDIR(st.st_mode)) return Kind::kSkip;
    if (IsVirtualFolder(name, st, true) || IsAncestor(st)) return Kind::kSkip;
    return Kind::kFolder;
  }

  // Regular files and folders are listed; devices, pipes and sockets are not (opening a pipe
  // named like a track would block the player), nor links that lead nowhere.
  Kind Classify(const char* name, unsigned char type) {
    if (IsDotOrDotDot(name)) return Kind::kFolder;
    struct stat st;
    switch (type) {
      case DT_REG:
        return Kind::kFile;
      case DT_DIR:
        if (holds_virtual && fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) == 0 &&
            IsVirtualFolder(name, st, false))
          return Kind::kSkip;
        return Kind::kFolder;
      case DT_LNK:
        return FollowLink(name);
      case DT_UNKNOWN:
        if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0) return Kind::kSkip;
        if (S_ISLNK(st.st_mode)) return FollowLink(name);
        if (S_ISREG(st.st_mode)) return Kind::kFile;
        if (S_ISDIR(st.st_mode))
          return IsVirtualFolder(name, st, false) ? Kind::kSkip : Kind::kFolder;
        return Kind::kSkip;
      default:
        return Kind::kSkip;
    }
  }

  // Converts a host name into item when its full program path fits.
  bool TakeName(const char* host_name, DirItem* item) const {
    if (name_room == 0) return false;
    return HostNameToProgramText(host_name, item->name, name_room + 1) != kTextTooLong;
  }

  bool FindExact() {
    const std::string_view wanted(pattern, pattern_len);
    // The item comes with the name the folder holds: on a case-folding file system (FAT and
    // exFAT sticks, ISO 9660 without extensions) the name as typed opens too, but only the
    // folder's own spelling matches what a search of the folder made. The same bytes win over
    // another letter case.
    bool found = false;
    DirItem candidate;
    while (const dirent64* e = ReadEntry()) {
      if (!TakeName(e->d_name, &candidate)) continue;
      if (!EqualIgnoringCase(wanted, candidate.name)) continue;
      const Kind kind = Classify(e->d_name, e->d_type);
      if (kind == Kind::kSkip) continue;
      const bool same_bytes = std::string_view(candidate.name) == wanted;
      if (found && !same_bytes) continue;
      exact_item = candidate;
      exact_item.is_folder = kind == Kind::kFolder;
      found = true;
      if (same_bytes) return true;
    }
    if (found) return true;
    // A name that opens although the folder does not list it (a short alias on a FAT stick).
    char host_name[NAME_MAX * 4 + 1];
    const std::size_t len = ProgramTextToHostName(wanted, host_name, sizeof host_name);
    if (len == kTextTooLong || len == 0 || std::memchr(host_name, '/', len) != nullptr) return false;
    const Kind kind = Classify(host_name, DT_UNKNOWN);
    if (kind == Kind::kSkip || !TakeName(host_name, &exact_item)) return false;
    exact_item.is_folder = kind == Kind::kFolder;
    return true;
  }
};

namespace {

// Set once the pool below is gone at thread exit, so that a listing closed later frees its own.
thread_local bool g_pool_gone = false;

// Listings come and go once per folder of a walk; keeping a few per thread spares the
// allocation of their buffers. (A template, so that only DirListing's members name its Impl.)
template <class T>
struct ImplPool {
  static constexpr int kSize = 16;
  T* items[kSize] = {};
  int count = 0;
  ~ImplPool() {
    for (int i = 0; i < count; ++i) delete items[i];
    count = 0;
    g_pool_gone = true;
  }
};

template <class T>
thread_local ImplPool<T> g_pool;


// The listings this thread has open, newest first. A walk opens each subfolder while its
// parent's listing is still open, so the subfolder is opened relative to the parent's handle
// and the kernel need not look the whole path up again.
template <class T>
thread_local T* g_open_listings = nullptr;

// When folder is one component below an open listing's folder, opens it relative to that
// listing; -1 otherwise. Links are left to the full lookup (O_NOFOLLOW), which follows them.
// *parent_clear tells whether that listing's subtree holds no virtual file system.
template <class T>
int OpenBelowOpenListing(std::string_view folder, bool* parent_clear) {
  for (const T* open_listing = g_open_listings<T>; open_listing != nullptr;
       open_listing = open_listing->below) {
    // Only drive paths: a folder relative to the current folder may mean another one now.
    const std::string_view parent(open_listing->folder_text, open_listing->folder_len);
    if (parent.size() < 3 || parent[1] != ':' || !sjis::IsSeparator(parent.back()) || folder.size() <= parent.size() ||
        folder.substr(0, parent.size()) != parent || !sjis::IsSeparator(folder.back()))
      continue;
    const std::string_view comp = folder.substr(parent.size(), folder.size() - parent.size() - 1);
    for (std::size_t i = 0; i < comp.size(); i += sjis::CharLength(comp.data(), i, comp.size()))
      if (sjis::IsSeparator(comp[i])) return -1;
    if (comp.empty() || comp == "." || comp == "..") return -1;
    char host_name[NAME_MAX * 4 + 1];
    const std::size_t len = ProgramTextToHostName(comp, host_name, sizeof host_name);
    if (len == kTextTooLong || len > NAME_MAX) return -1;
    *parent_clear = open_listing->subtree_clear;
    return openat(open_listing->fd, host_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
  }
  return -1;
}

}  // namespace

DirListing::~DirListing() { Close(); }

void DirListing::Close() {
  if (impl_ == nullptr) return;
  for (Impl** link = &g_open_listings<Impl>; *link != nullptr; link = &(*link)->below) {
    if (*link == impl_) {
      *link = impl_->below;
      break;
    }
  }
  impl_->Reset();
  if (!g_pool_gone && g_pool<Impl>.count < ImplPool<Impl>::kSize)
    g_pool<Impl>.items[g_pool<Impl>.count++] = impl_;
  else
    delete impl_;
  impl_ = nullptr;
}

bool DirListing::Open(const char* pattern_path) {
  Close();
  if (pattern_path == nullptr) return false;
  const std::size_t len = std::strlen(pattern_path);

  // Split at the last separator: folder text before it, the pattern after it.
  std::size_t name_start = 0;
  for (std::size_t i = 0; i < len; i += sjis::CharLength(pattern_path, i, len))
    if (sjis::IsSeparator(pattern_path[i])) name_start = i + 1;
  std::size_t prefix_len = name_start;
  std::string_view folder(pattern_path, name_start);
  if (name_start == 0 && len >= 2 && pattern_path[1] == ':') {
    name_start = 2;  // "D:*.*" lists the drive's root
    prefix_len = 3;
    folder = std::string_view(pattern_path, 2);
  }
  const std::string_view pattern(pattern_path + name_start, len - name_start);
  if (pattern.empty() || pattern.size() > kMaxPathText || folder.size() > kMaxPathText)
    return false;

  Impl* impl = !g_pool_gone && g_pool<Impl>.count > 0 ? g_pool<Impl>.items[--g_pool<Impl>.count]
                                                       : new Impl;
  impl_ = impl;
  std::memcpy(impl->folder_text, folder.data(), folder.size());
  impl->folder_text[folder.size()] = '\0';
  impl->folder_len = folder.size();
  if (folder.empty()) {
    char current[kMaxPathText + 1];
    if (!CurrentFolder(current, sizeof current)) {
      Close();
      return false;
    }
    const std::size_t cur_len = std::strlen(current);
    prefix_len = cur_len + (current[cur_len - 1] == '\\' ? 0 : 1);
  }
  impl->name_room = prefix_len < kMaxPathText ? kMaxPathText - prefix_len : 0;
  std::memcpy(impl->pattern, pattern.data(), pattern.size());
  impl->pattern[pattern.size()] = '\0';
  impl->pattern_len = pattern.size();

  bool parent_clear = false;
  impl->fd = OpenBelowOpenListing<Impl>(folder, &parent_clear);
  if (impl->fd < 0) {
    parent_clear = false;
    if (!impl->FindHostFolder()) {
      Close();
      return false;
    }
    impl->fd = open(impl->host_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (impl->fd < 0) {
      Close();
      return false;
    }
  }
  if (parent_clear) {
    // A real subfolder (not a link) of a folder with no virtual file system below it has none
    // below it either, so most folders of a walk need no status query.
    impl->subtree_clear = true;
  } else {
    struct stat st;
    if (fstat(impl->fd, &st) != 0) {
      Close();
      return false;
    }
    const drive_table::FolderCheck check = drive_table::CheckFolder(st.st_dev, st.st_ino);
    if (check.is_virtual || IsOnVirtualFs(impl->fd)) {
      Close();
      return false;
    }
    impl->dev = st.st_dev;
    impl->dev_known = true;
    // Without a mount table nothing says where virtual file systems are mounted: every
    // subfolder is asked for its device, and one on another file system for that one's type.
    impl->holds_virtual = check.holds_virtual || !check.table_known;
    impl->subtree_clear = check.table_known && !check.leads_to_virtual;
  }
  impl->below = g_open_listings<Impl>;
  g_open_listings<Impl> = impl;
  if (HasWildcards(pattern)) {
    impl->match_all = MatchesEverything(pattern);
    return true;
  }
  impl->exact = true;
  if (!impl->FindExact()) {
    Close();
    return false;
  }
  return true;
}

bool DirListing::Next(DirItem* item) {
  if (impl_ == nullptr || item == nullptr) return false;
  Impl& l = *impl_;
  if (l.exact) {
    if (l.exact_delivered) return false;
    l.exact_delivered = true;
    *item = l.exact_item;
    return true;
  }
  const std::string_view pattern(l.pattern, l.pattern_len);
  while (const dirent64* e = l.ReadEntry()) {
    if (!l.TakeName(e->d_name, item)) continue;
    if (!l.match_all && !MatchWildcard(pattern, item->name)) continue;
    const Kind kind = l.Classify(e->d_name, e->d_type);
    if (kind == Kind::kSkip) continue;
    item->is_folder = kind == Kind::kFolder;
    return true;
  }
  return false;
}

}  // namespace veldan
