#include "opt/options_run.h"

#include <cstring>

#include "catalogue/catalogue.h"
#include "catalogue/program_state.h"
#include "decoder/vbmp3.h"
#include "opt/chosen_folder.h"
#include "opt/options_dialog.h"
#include "platform/install_layout.h"

namespace veldan {

int RunOptionsDialog(OptionsDialogHost& host) {
  const int result = Form_option != nullptr ? Form_option->exec() : kModalCancel;
  if (result == kModalOk) {
    // The folder list always reports a folder; should it ever report none, searching an empty
    // path would wait forever for a drive that isn't there, so the old starting folder stays.
    StartingFolderFromChosen(g_state.chosen_folder, g_state.starting_folder,
                             sizeof g_state.starting_folder);
    RememberStartingFolder(g_state.program_folder, g_state.starting_folder);
    host.ShowStartingFolderInTitle();
    host.PumpMessages();
    BuildCatalogue(g_state.starting_folder);
    host.ShowTrackTitles();
    std::memcpy(g_state.applied_equalizer, g_state.edited_equalizer,
                sizeof g_state.applied_equalizer);
  }
  vbmp3_setEqualizer(g_state.applied_equalizer);
  return result;
}

}  // namespace veldan
