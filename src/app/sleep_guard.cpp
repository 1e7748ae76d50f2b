#include "app/sleep_guard.h"

#include <utility>

#include "catalogue/program_state.h"
#include "decoder/vbmp3.h"
#include "main/main_window.h"
#include "platform/sleep_inhibitor.h"

namespace veldan {

SleepGuard::SleepGuard(TForm_main* window) : SleepGuard(window, new SleepInhibitor) {}

SleepGuard::SleepGuard(TForm_main* window, QDBusConnection session, QDBusConnection system)
    : SleepGuard(window, new SleepInhibitor(std::move(session), std::move(system))) {}

SleepGuard::SleepGuard(TForm_main* window, SleepInhibitor* inhibitor)
    : window_(window), inhibitor_(inhibitor) {
  inhibitor_->setParent(this);
  connect(window_, &TForm_main::PlaybackChanged, this, &SleepGuard::Follow);
  // Play that is already under way when the guard comes.
  Follow();
}

SleepGuard::~SleepGuard() {
  inhibitor_->SetPlaying(false);
}

bool SleepGuard::PlayGoesOn(const PlaybackController& controller) {
  // The closing window has shut the decoder down; nothing is told after that.
  if (g_state.closing) return false;
  int32_t position = 0;
  switch (vbmp3_getState(&position)) {
    case VBMP3_PLAYING:
      return true;
    case VBMP3_PAUSED:
      return !controller.UserPaused();
    default:
      return g_state.continuous_play;
  }
}

void SleepGuard::Follow() {
  inhibitor_->SetPlaying(PlayGoesOn(window_->Controller()));
}

}  // namespace veldan
