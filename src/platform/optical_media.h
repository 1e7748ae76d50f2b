// The optical drives as the desktop's disc service sees them, handed to the drive table.
//
// Without a service the drive table finds the optical drives in the kernel's files and a disc
// only where something else has mounted it. A service (UDisks2, udisks_client.h) knows every
// drive and its disc, mounted or not: while one is in use, the drive table takes its optical
// drives from the service's view instead, gives them the letters from D: on in the kernel's order
// (sr0, sr1, ...), and asks the service to mount a data disc when the media-present test meets
// one that nothing has mounted. VELDAN_DRIVES is laid over the service's drives as over the
// kernel's.
//
// Qt-free: the service lives elsewhere and reaches the table only through these calls, which it
// makes on the user-interface thread (as the media-present test calls Mount there).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace veldan {

// What is in an optical drive, as far as a player of files cares.
enum class OpticalMedium {
  kNone,   // no disc, a blank one, or one without a file system yet known
  kAudio,  // audio tracks only: nothing to list, never mounted
  kData,   // a disc with a file system
};

struct OpticalDriveState {
  std::string device;  // the kernel's name of the drive's block device: "sr0"
  std::string handle;  // the service's name for the block device, passed back to Mount
  dev_t rdev = 0;
  bool has_rdev = false;
  OpticalMedium medium = OpticalMedium::kNone;
  std::string label;        // the file system's label; empty when it has none
  std::string mount_point;  // where the disc is mounted now; empty while it is not
};

class OpticalMediaService {
 public:
  virtual ~OpticalMediaService() = default;
  // Mounts the data disc of the block device handle (as OpticalDriveState names it) and gives
  // where it went. False when the disc is not mounted by the time the call returns: refused,
  // failed, already tried for this disc, or still under way (the view then shows the mount when
  // it is done). Called on the user-interface thread without the table's lock held; the service
  // may update the view (UpdateOpticalDrives) before it returns.
  virtual bool Mount(const std::string& handle, std::string* mount_point) = 0;
};

// Takes the optical drives from service, whose current view is drives; nullptr gives them back
// to the kernel's files. The letters are given anew, with VELDAN_DRIVES laid over them.
void UseOpticalMediaService(OpticalMediaService* service, std::vector<OpticalDriveState> drives);

// Replaces the service's view of its drives (a disc came or went, a mount appeared).
void UpdateOpticalDrives(std::vector<OpticalDriveState> drives);

// The order of the kernel's names: sr0, sr1, ..., sr10, then any other name by its text.
bool KernelDeviceOrder(const std::string& a, const std::string& b);

}  // namespace veldan
