// The VELDAN_DRIVES setting: drive entries that replace or add to the kernel's drives.
//
//   D=cdrom:/media/cd1:DISC01;E=cdrom:/tmp/cd2;C=fixed:/
//
// Each entry is a letter, '=', a kind (cdrom, fixed, removable; any letter case), ':', an absolute
// host folder and optionally ':' and a volume label; the folder ends at its first ':'. Entries
// that don't read so are ignored and the rest kept; a later entry for a letter replaces an
// earlier one.
//
// Pure function, any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/drives.h"

namespace veldan {

struct DriveConfigEntry {
  char letter;  // 'A'..'Z'
  DriveKind kind;
  std::string folder;  // normal host path
  std::string label;   // host text; empty when none was given
};

std::vector<DriveConfigEntry> ParseDriveConfig(std::string_view text);

}  // namespace veldan
