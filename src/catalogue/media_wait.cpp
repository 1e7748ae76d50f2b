// Media waits: probe the drive, let the window run between probes, end on abort or close.
#include "catalogue/media_wait.h"

#include "catalogue/catalogue.h"
#include "catalogue/catalogue_window.h"
#include "catalogue/program_state.h"
#include "platform/drives.h"
#include "platform/paths.h"

namespace veldan {

namespace {

bool WaitEnded() {
  return g_state.wait_abort || g_state.closing;
}

bool IsDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

bool MediumCanArrive(const char* root) {
  const DriveKind kind = DriveKindOf(root);
  return kind == DriveKind::kCdRom || kind == DriveKind::kRemovable;
}

bool WaitUntilMediaPresent(const char* root) {
  // A close request made before this wait began must not end it (only one made during it), but
  // the closing flag is never cleared, so a program that is closing still gets out of every wait.
  g_state.wait_abort = false;
  // Waiting for a drive that can never get a medium would hold the program before its window.
  if (!MediumCanArrive(root)) return !WaitEnded() && MediaPresent(root);
  while (!WaitEnded()) {
    if (MediaPresent(root)) return true;
    CurrentCatalogueWindow().WaitForMessages(kMediaProbeIntervalMs);
  }
  return false;
}

bool WaitForMedia(const char* path) {
  // A path that does not begin with a drive letter and a colon names no drive that could ever
  // answer; waiting for it would never end.
  if (!IsDriveLetter(path[0]) || path[1] != ':') return false;
  return WaitUntilMediaPresent(DriveRoot(path[0]).c_str());
}

}  // namespace veldan
