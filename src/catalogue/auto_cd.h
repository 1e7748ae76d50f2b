// Media discovery for automatic CD play: which CD-ROM drive holds a disc, asking the user for a
// disc or for a choice between drives where needed.
//
// The discovery sets g_state.starting_folder to "X:" for every drive it finds holding a medium,
// and fills g_state.ready_drives. What it needs of the windows (the prompt and the drive dialog)
// comes through AutoCdWindow; the status label and the message pump through the catalogue's
// window (catalogue_window.h). User-interface thread only.
#pragma once

#include <string>

namespace veldan {

// The prompt for a medium: its caption and its text for the drive whose root text is given
// (UTF-8, the half-width katakana as the program has always shown them).
extern const char kMediumPromptCaption[];
std::string MediumPromptText(const char* root);

class AutoCdWindow {
 public:
  virtual ~AutoCdWindow() = default;
  // Asks the user to insert a medium into the drive whose root text is given. True for OK.
  virtual bool AskForMedium(const char* root) = 0;
  // Shows the drive selection dialog over g_state.ready_drives; returns its modal result.
  virtual int ChooseDrive() = 0;
};

// Returns true when the drive whose root text ("E:\") is given holds a medium, and then sets the
// starting folder to "E:". With wait set it shows "Waiting CD" and waits for a medium; only the
// wait-abort or closing flag ends that wait otherwise.
bool ProbeDrive(const char* root, bool wait);

// Fills the ready-drive list in the drive table's order. False when there is no CD-ROM drive or
// the drive dialog was closed without a choice; otherwise true with the chosen letter in *chosen.
bool FindReadyDrives(AutoCdWindow& window, char* chosen);

// True when a drive with a medium was taken (the starting folder is then that drive).
bool DiscoverMedia(bool prompt_allowed, AutoCdWindow& window);

}  // namespace veldan
