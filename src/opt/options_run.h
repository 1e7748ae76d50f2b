// The main window's side of the options dialog: show it, and after OK take the chosen folder as
// the starting folder, rebuild the catalogue from it and apply the edited equalizer. The main
// window's BitBtn_optionsClick calls RunOptionsDialog with itself as the host.
//
// User-interface thread only.
#pragma once

namespace veldan {

// What the options dialog's OK needs of the main window.
class OptionsDialogHost {
 public:
  virtual ~OptionsDialogHost() = default;
  // Sets the window title to "VELDAN [" + g_state.starting_folder + "]".
  virtual void ShowStartingFolderInTitle() = 0;
  // Lets pending window messages run once.
  virtual void PumpMessages() = 0;
  // Shows the current track's album and song titles; opens nothing.
  virtual void ShowTrackTitles() = 0;
};

// Shows Form_option modally and returns its modal result (kModalOk or kModalCancel). After OK:
// the chosen folder without its trailing separator becomes the starting folder (an empty chosen
// folder keeps the old one), the title shows it, messages run once so the title is painted,
// BuildCatalogue rebuilds from it, the track titles are shown and the edited equalizer becomes
// the applied one. In every case the applied equalizer is then handed to the decoder library,
// which undoes what trial listening handed over. No play starts.
int RunOptionsDialog(OptionsDialogHost& host);

}  // namespace veldan
