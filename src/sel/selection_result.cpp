#include "sel/selection_result.h"

#include "catalogue/navigation.h"
#include "catalogue/program_state.h"
#include "decoder/vbmp3.h"

namespace veldan {

bool HandOnSelection(int modal_result, int32_t chosen, bool album_lock) {
  if (modal_result != 1 || !g_state.continuous_play) return false;
  if (chosen < 0 || chosen >= g_state.catalogue.count) return false;
  g_state.catalogue.current = PrevFileIndex(chosen, album_lock);
  vbmp3_stop();
  return true;
}

}  // namespace veldan
