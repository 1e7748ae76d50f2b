// The main window's handlers that open the auxiliary dialogs: Select, and the popup menu's help
// and version entries.
#include <QCheckBox>

#include "help/help_viewer.h"
#include "main/main_window.h"
#include "sel/form_sel.h"
#include "sel/selection_result.h"
#include "ver/form_version.h"

namespace veldan {

void TForm_main::BitBtn_selClick() {
  EnsureDialog(Dialog::kSel);
  if (Form_sel == nullptr) return;
  const int result = Form_sel->exec();
  // A pick or a loaded list changes what comes next.
  DropQueuedTrack();
  if (HandOnSelection(result, Form_sel->ChosenIndex(), CheckBox_album_lock->isChecked())) {
    RunPollStepSoon();  // the chosen track is heard at once, not at the next tick
  } else {
    ShowTrackTitles();
  }
}

void TForm_main::Help1Click() {
  ShowProgramHelp(this);
}

void TForm_main::About1Click() {
  EnsureDialog(Dialog::kVersion);
  ShowVersionBox();
}

}  // namespace veldan
