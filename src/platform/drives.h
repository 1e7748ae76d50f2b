// The drive table: drive letters over the host file system.
//
// C: is the whole file system (/), fixed. D:, E:, ... are the kernel's optical drives (sr0, sr1,
// ...), whose root is wherever the device is mounted now. While the desktop's disc service runs
// (optical_media.h), the drives and their discs are the ones it reports, and the media-present
// test has it mount a data disc that nothing has mounted. VELDAN_DRIVES replaces or adds entries:
//   VELDAN_DRIVES='D=cdrom:/media/cd1:DISC01;E=cdrom:/tmp/cd2;C=fixed:/'
// (letter = type : host folder [: label]); bad entries are ignored, good ones kept. For a
// configured folder the medium is present while the folder exists.
//
// Called from the user-interface thread only.
#pragma once

#include <cstddef>
#include <string>

namespace veldan {

// Drive kinds, numbered as the program's drive-type query reports them.
enum class DriveKind : int { kNoSuchDrive = 1, kRemovable = 2, kFixed = 3, kCdRom = 5 };

// Re-reads the kernel's optical drives, the mount table and VELDAN_DRIVES. Called once lazily;
// tests call it after changing the environment. mount_table names another file to read as the
// kernel's mount table (tests: a missing one stands for a sandbox without /proc); null is the
// kernel's own, and every later reload without one goes back to it.
void ReloadDriveTable(const char* mount_table = nullptr);

// Writes the roots of all drives ("C:\", "D:\", ...) each zero-terminated, the list ended by an
// empty text, into buf. Returns the length written without the final zero; when the list does not
// fit, returns the size needed and writes nothing.
int ListDriveRoots(char* buf, int buf_size);

// Kind of the drive whose root text ("E:\" or "E:") is given.
DriveKind DriveKindOf(const char* root);

// True when the drive exists, its root folder can be read and, for a CD-ROM drive, a medium is
// there (the media-present test). A data disc that the disc service reports unmounted is mounted
// first; that may take one short call on the bus.
bool MediaPresent(const char* root);

// Volume label of the drive into out (zero-terminated, bounded). False when there is no medium.
// A data disc the disc service reports and nothing has mounted yet shows its label (never
// mounted for it).
bool VolumeLabel(const char* root, char* out, std::size_t out_size);

// Host folder of a drive's root, empty when the drive has no medium or does not exist.
std::string DriveHostRoot(char letter);

}  // namespace veldan
