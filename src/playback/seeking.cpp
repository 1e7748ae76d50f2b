// Seeking: the seek bar's press-drag-release, whose seek the next status poll carries out, and
// the seeks of the keys and remote controls, carried out at once.
//
// A press pauses the decoder and the drag only moves the target; the seek waits for a poll in
// which neither the press nor a move is still showing its target, since both let window
// messages run halfway through.
#include <algorithm>

#include "playback/controller_scopes.h"
#include "playback/flag_scope.h"
#include "playback/playback_controller.h"

namespace veldan {

void PlaybackController::PressSeekBar(int32_t seconds) {
  if (last_polled_state_ == VBMP3_STOPPED) return;
  Entry entry(this);
  PollStepHold hold(this);
  FlagScope guard(&press_guard_);
  seek_dragging_ = true;
  seek_pending_ = false;
  vbmp3_pause();
  seek_target_ = seconds;
  Tell([seconds](PlaybackListener* l) { l->ElapsedChanged(seconds); });
  MoveBar(seconds);
}

void PlaybackController::MoveSeekBar(int32_t seconds) {
  if (!seek_dragging_ || press_guard_) return;
  Entry entry(this);
  PollStepHold hold(this);
  FlagScope guard(&move_guard_);
  seek_target_ = seconds;
  Tell([seconds](PlaybackListener* l) { l->ElapsedChanged(seconds); });
  MoveBar(seconds);
}

void PlaybackController::ReleaseSeekBar() {
  if (seek_dragging_) seek_pending_ = true;
}

void PlaybackController::CarryOutPendingSeek() {
  // Catching up with a join shows the bar at 0; the seek still goes where the user let go.
  const int32_t target = seek_target_;
  DropQueue();
  vbmp3_seek(target);
  // A track the user paused stays paused at its new place.
  if (!user_paused_) vbmp3_restart();
  seek_dragging_ = false;
  seek_pending_ = false;
  Tell([target](PlaybackListener* l) { l->Seeked(int64_t{target} * kMicrosecondsPerSecond); });
}

int32_t PlaybackController::PlayingPosition() const {
  int32_t position = 0;
  if (vbmp3_getState(&position) == VBMP3_STOPPED) return 0;
  return position;
}

int64_t PlaybackController::PlayingPositionMicroseconds() const {
  return vbmp3_getPositionUs();
}

void PlaybackController::ShowSeekDone(int64_t microseconds) {
  if (!user_paused_) vbmp3_restart();
  Tell([microseconds](PlaybackListener* l) { l->Seeked(microseconds); });
  // A paused track is not redrawn by the poll; the new place shows at once either way.
  const auto seconds = static_cast<int32_t>(microseconds / kMicrosecondsPerSecond);
  Tell([seconds](PlaybackListener* l) { l->ElapsedChanged(seconds); });
  MoveBar(seconds);
}

bool PlaybackController::SeekTo(int32_t seconds) {
  if (!Allowed(PlaybackAction::kSeek)) return false;
  Entry entry(this);
  PollStepHold hold(this);
  seconds = std::clamp(seconds, 0, track_info_.length);
  // What follows the track is decided anew after the seek, as after the seek bar's.
  DropQueue();
  vbmp3_seek(seconds);
  ShowSeekDone(int64_t{seconds} * kMicrosecondsPerSecond);
  return true;
}

bool PlaybackController::SeekToMicroseconds(int64_t microseconds) {
  if (!Allowed(PlaybackAction::kSeek)) return false;
  Entry entry(this);
  PollStepHold hold(this);
  microseconds =
      std::clamp<int64_t>(microseconds, 0, int64_t{track_info_.length} * kMicrosecondsPerSecond);
  DropQueue();
  vbmp3_seekUs(microseconds);
  ShowSeekDone(microseconds);
  return true;
}

}  // namespace veldan
