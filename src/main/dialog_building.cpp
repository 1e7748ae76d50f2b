// The four dialogs are built when the program first needs each one instead of before the main
// window shows: together they cost about as much start-up time as the rest of the window, and
// the memory of widgets that most runs never open. A dialog reads the program-wide state when it
// is shown, not when it is built, so one built late shows and does what one built early would;
// only the options dialog's drive, folder and file lists read the disk when they are built, and
// so show it as it is at the first showing rather than as it was at start-up.
#include "dsel/form_drive_sel.h"
#include "main/main_window.h"
#include "opt/options_dialog.h"
#include "sel/form_sel.h"
#include "ver/form_version.h"

namespace veldan {

void TForm_main::BuildDialogsOnDemand() {
  dialogs_on_demand_ = true;
}

void TForm_main::EnsureDialog(Dialog which) {
  if (!dialogs_on_demand_) return;
  // Each constructor sets its program-wide pointer; the window owns and deletes the dialog.
  switch (which) {
    case Dialog::kOption:
      if (Form_option == nullptr) new TForm_option(this);
      break;
    case Dialog::kVersion:
      if (Form_version == nullptr) new TForm_version(this);
      break;
    case Dialog::kSel:
      if (Form_sel == nullptr) new TForm_sel(this);
      break;
    case Dialog::kDriveSel:
      if (Form_drive_sel == nullptr) new TForm_drive_sel(this);
      break;
  }
}

}  // namespace veldan
