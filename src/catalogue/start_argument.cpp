#include "catalogue/start_argument.h"

#include <cstring>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/list_line_path.h"
#include "catalogue/list_lines.h"
#include "catalogue/navigation.h"
#include "catalogue/program_state.h"
#include "catalogue/search.h"
#include "platform/dir_listing.h"
#include "platform/drives.h"
#include "platform/file_access.h"
#include "platform/install_layout.h"
#include "platform/name_codec.h"
#include "platform/paths.h"

namespace veldan {

namespace {

// The argument as start-up takes it: found when its drive answers and a listing of its folder
// holds the name. A CD drive without a disc is no such case: start-up waits for the disc.
bool ArgumentFound(const char* argument) {
  char text[kTextSize];
  if (!ArgumentToProgramPath(argument, text, sizeof text)) return false;
  const DriveRoot root(text[0]);
  if (!MediaPresent(root.c_str())) return DriveKindOf(root.c_str()) == DriveKind::kCdRom;
  std::size_t length = std::strlen(text);
  if (length > 0 && text[length - 1] == '\\') text[--length] = '\0';
  if (length <= 2) return true;
  DirListing listing;
  return listing.Open(text);
}

}  // namespace

ArgumentKind ExamineArgument(const char* argument) {
  char text[kTextSize];
  const HostFileKind as_host_path = HostFileKindOf(argument);
  // A host path maps always, unless its program text is too long; a drive-letter path that does
  // not map names no drive.
  if (!ArgumentToProgramPath(argument, text, sizeof text)) {
    return as_host_path != HostFileKind::kNone ? ArgumentKind::kTooLong : ArgumentKind::kNothing;
  }
  // The listing passes devices and pipes over as if they were not there.
  if (as_host_path == HostFileKind::kOther) return ArgumentKind::kNotPlayable;
  if (!ArgumentFound(argument)) return ArgumentKind::kNothing;
  std::string host;
  const HostFileKind kind =
      ProgramPathToHost(text, &host) ? HostFileKindOf(host.c_str()) : HostFileKind::kNone;
  // A path on a CD drive without a disc, or one whose letter case only the listing matches: the
  // name decides.
  if (kind == HostFileKind::kNone) {
    const std::size_t length = std::strlen(text);
    return length > 0 && text[length - 1] == '\\'   ? ArgumentKind::kPlayable
           : ClassifyName(text) != NameKind::kOther ? ArgumentKind::kPlayable
                                                    : ArgumentKind::kNotPlayable;
  }
  if (kind == HostFileKind::kFolder) return ArgumentKind::kPlayable;
  // Folding never lengthens a path, and the sort key's tail is the file name's.
  return kind == HostFileKind::kRegular && ClassifyName(text) != NameKind::kOther
             ? ArgumentKind::kPlayable
             : ArgumentKind::kNotPlayable;
}

bool TakeFoldersFromCommandLine(const char* argument, char* argument_text) {
  argument_text[0] = '\0';
  char own_file[kTextSize];
  if (!OwnProgramPath(own_file, sizeof own_file)) own_file[0] = '\0';

  // A folder argument comes back with a trailing separator, so cutting to the parent leaves the
  // folder itself: the user named the folder to play, not its neighbours.
  if (argument != nullptr && !ArgumentToProgramPath(argument, argument_text, kTextSize)) {
    argument_text[0] = '\0';
  }
  CopyText(g_state.program_folder, sizeof g_state.program_folder, own_file);
  CutToParentFolder(g_state.program_folder);
  const bool usable = argument == nullptr || argument_text[0] != '\0';
  // An argument too long to map leaves the folders as if there were none (a portable copy in its
  // own folder, an installed one where the user last played, as its bin/ folder holds no music),
  // but nothing of them is played.
  if (argument_text[0] == '\0' && IsInstalledCopy(g_state.program_folder) &&
      InstalledStartingFolder(g_state.starting_folder, sizeof g_state.starting_folder)) {
    return usable;
  }
  const char* start = argument_text[0] != '\0' ? argument_text : own_file;
  CopyText(g_state.starting_folder, sizeof g_state.starting_folder, start);
  CutToParentFolder(g_state.starting_folder);
  if (argument_text[0] != '\0') {
    RememberStartingFolder(g_state.program_folder, g_state.starting_folder);
  }
  return usable;
}

void ApplyCommandLineArgument(const char* argument_text) {
  if (argument_text[0] == '\0') return;
  if (IsListFileName(argument_text)) {
    // A list that does not open leaves the catalogue that the search of its folder built.
    ReplaceCatalogueFromList(argument_text);
    return;
  }
  const int32_t index = FindEntryIndex(g_state.starting_folder, argument_text);
  if (index >= 0) g_state.catalogue.current = index;
}

}  // namespace veldan
