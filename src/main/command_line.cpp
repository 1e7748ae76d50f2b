#include "main/command_line.h"

#include "catalogue/catalogue.h"
#include "catalogue/list_line_path.h"
#include "catalogue/list_lines.h"
#include "catalogue/navigation.h"
#include "catalogue/program_state.h"
#include "platform/install_layout.h"
#include "platform/name_codec.h"
#include "platform/paths.h"

namespace veldan {

void TakeFoldersFromCommandLine(const char* argument, char* argument_text) {
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
  // An argument too long to map starts as if there were none: a portable copy in its own folder,
  // an installed one where the user last played (its bin/ folder holds no music).
  if (argument_text[0] == '\0' && IsInstalledCopy(g_state.program_folder) &&
      InstalledStartingFolder(g_state.starting_folder, sizeof g_state.starting_folder)) {
    return;
  }
  const char* start = argument_text[0] != '\0' ? argument_text : own_file;
  CopyText(g_state.starting_folder, sizeof g_state.starting_folder, start);
  CutToParentFolder(g_state.starting_folder);
  if (argument_text[0] != '\0') {
    RememberStartingFolder(g_state.program_folder, g_state.starting_folder);
  }
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
