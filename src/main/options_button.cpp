// The main window's Option button: the options dialog, and after OK the search from the chosen
// folder. What the dialog's OK does to the program lives with the dialog (opt/options_run.h);
// this file lends it the main window's title, message pump and track titles.
#include "main/main_window.h"
#include "opt/options_run.h"

namespace veldan {

namespace {

class MainWindowHost : public OptionsDialogHost {
 public:
  explicit MainWindowHost(TForm_main* window) : window_(window) {}
  void ShowStartingFolderInTitle() override { window_->ShowStartingFolderInTitle(); }
  void PumpMessages() override { window_->PumpMessages(); }
  void ShowTrackTitles() override { window_->ShowTrackTitles(); }

 private:
  TForm_main* window_;
};

}  // namespace

void TForm_main::BitBtn_optionsClick() {
  EnsureDialog(Dialog::kOption);
  MainWindowHost host(this);
  RunOptionsDialog(host);
  // Trial listening played through the decoder, which dropped the track queued to follow; a
  // rebuilt catalogue the controller notices by itself.
  controller_.DecoderLentOut();
}

}  // namespace veldan
