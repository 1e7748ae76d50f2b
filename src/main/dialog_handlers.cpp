// The main window's handlers that open the auxiliary dialogs: Select, and the popup menu's help
// and version entries.
#include "help/help_viewer.h"
#include "main/main_window.h"
#include "sel/form_sel.h"
#include "ver/form_version.h"

namespace veldan {

void TForm_main::BitBtn_selClick() {
  EnsureDialog(Dialog::kSel);
  if (Form_sel == nullptr) return;
  const int result = Form_sel->exec();
  controller_.PlaySelection(result == 1, Form_sel->ChosenIndex());
}

void TForm_main::Help1Click() {
  ShowProgramHelp(this);
}

void TForm_main::About1Click() {
  EnsureDialog(Dialog::kVersion);
  ShowVersionBox();
}

}  // namespace veldan
