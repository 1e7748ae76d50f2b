// What the main window does with the selection dialog's result once the dialog has closed.
//
// The Select button's handler shows Form_sel modally and passes its result here:
//
//   const int result = Form_sel->exec();
//   if (!HandOnSelection(result, Form_sel->ChosenIndex(), CheckBox_album_lock->isChecked()))
//     ShowTrackTitles();
//
// User-interface thread only.
#pragma once

#include <cstdint>

namespace veldan {

// With result 1 (a track was chosen) while continuous play runs: sets the current index one
// step before chosen under the album lock and stops the decoder, so that the next status poll
// advances onto the chosen track; returns true. Otherwise changes nothing and returns false:
// the main window then shows the current entry's titles, and play waits for the Play button.
bool HandOnSelection(int modal_result, int32_t chosen, bool album_lock);

}  // namespace veldan
