// What the path mapping and the directory listing ask of the drive table. Internal to platform/.
//
// Thread-safe: the table is guarded by one lock, so a listing on another thread may ask too.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace veldan::drive_table {

// The host folder of a drive's root into *root; false when there is no such drive or it holds
// no medium.
bool HostRoot(char letter, std::string* root);

// The drive whose root is the longest ancestor-or-self of path (a normal host path), with the
// length of that root; false when no drive holds the path.
bool DriveForHostPath(std::string_view path, char* letter, std::size_t* root_length);

// True when dev is the device of a virtual kernel file system (as the mount table read last).
bool IsVirtualDevice(dev_t dev);

// What the listing must know of a folder (dev, ino) about the virtual file systems.
struct FolderCheck {
  bool is_virtual;        // the folder is on one
  bool holds_virtual;     // one is mounted on an item of this folder
  bool leads_to_virtual;  // one is mounted somewhere below this folder
  bool table_known;       // the three above come from a mount table that was read; when not,
                          // they are all false and only the file system types can tell
};
FolderCheck CheckFolder(dev_t dev, ino_t ino);

}  // namespace veldan::drive_table
