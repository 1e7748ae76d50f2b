// The main window's side of the seek bar: painting it for a position, the press-drag-release on
// it, and the seek that the next status poll carries out.
//
// A press pauses the decoder and the drag only moves the target; the seek waits for a poll in
// which neither the press nor a move handler is still computing and painting its target, since
// both let window messages run halfway through.
#include <QAccessible>
#include <QCoreApplication>
#include <QLabel>
#include <algorithm>

#include "main/flag_scope.h"
#include "main/main_window.h"
#include "main/seek_bar.h"

namespace veldan {

void TForm_main::DrawSeekBar(int32_t position) {
  seek_target_ = position;
  // The idle poll draws the same empty bar four times a second; painting only what changed
  // lets a stopped player (and the X server) sleep between polls.
  if (!bar_painted_ || position != painted_position_ || track_info_.length != painted_length_) {
    Image_time_locate->Paint(position, track_info_.length);
    bar_painted_ = true;
    painted_position_ = position;
    painted_length_ = track_info_.length;
    if (QAccessible::isActive()) {
      QAccessibleValueChangeEvent event(Image_time_locate, position);
      QAccessible::updateAccessibility(&event);
    }
  }
  QCoreApplication::processEvents();
}

void TForm_main::Image_time_locateMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers /*shift*/,
                                            int x, int /*y*/) {
  if (last_polled_state_ == VBMP3_STOPPED || button != Qt::LeftButton) return;
  PollStepHold hold(this);
  FlagScope guard(&press_guard_);
  seek_dragging_ = true;
  seek_pending_ = false;
  vbmp3_pause();
  const int32_t seconds = SeekPositionFromX(x, Image_time_locate->width(), track_info_.length);
  SetTimeLabel(Label_time, seconds);
  DrawSeekBar(seconds);
}

void TForm_main::Image_time_locateMouseMove(Qt::KeyboardModifiers /*shift*/, int x, int /*y*/) {
  if (!seek_dragging_ || press_guard_) return;
  PollStepHold hold(this);
  FlagScope guard(&move_guard_);
  const int32_t seconds = SeekPositionFromX(x, Image_time_locate->width(), track_info_.length);
  SetTimeLabel(Label_time, seconds);
  DrawSeekBar(seconds);
}

void TForm_main::Image_time_locateMouseUp(Qt::MouseButton /*button*/,
                                          Qt::KeyboardModifiers /*shift*/, int /*x*/, int /*y*/) {
  if (seek_dragging_) seek_pending_ = true;
}

void TForm_main::CarryOutPendingSeek() {
  // Catching up with a join repaints the bar; the seek still goes where the user let go.
  const int32_t target = seek_target_;
  DropQueuedTrack();
  vbmp3_seek(target);
  // A track the user paused stays paused at its new place.
  if (!user_paused_) vbmp3_restart();
  seek_dragging_ = false;
  seek_pending_ = false;
  emit Seeked(int64_t{target} * kMicrosecondsPerSecond);
}

int32_t TForm_main::PlayingPosition() const {
  int32_t position = 0;
  if (vbmp3_getState(&position) == VBMP3_STOPPED) return 0;
  return position;
}

int64_t TForm_main::PlayingPositionMicroseconds() const {
  return vbmp3_getPositionUs();
}

bool TForm_main::SeekAllowed() const {
  int32_t position = 0;
  // Without a known length there is no bar to seek on either.
  return vbmp3_getState(&position) != VBMP3_STOPPED && !opening_track_ && !seek_dragging_ &&
         track_info_.length > 0;
}

void TForm_main::ShowSeekDone(int64_t microseconds) {
  if (!user_paused_) vbmp3_restart();
  emit Seeked(microseconds);
  // A paused track is not redrawn by the poll; the new place shows at once either way.
  const auto seconds = static_cast<int32_t>(microseconds / kMicrosecondsPerSecond);
  SetTimeLabel(Label_time, seconds);
  DrawSeekBar(seconds);
}

bool TForm_main::SeekTo(int32_t seconds) {
  if (!SeekAllowed()) return false;
  PollStepHold hold(this);
  seconds = std::clamp(seconds, 0, track_info_.length);
  // What follows the track is decided anew after the seek, as after the seek bar's.
  DropQueuedTrack();
  vbmp3_seek(seconds);
  ShowSeekDone(int64_t{seconds} * kMicrosecondsPerSecond);
  return true;
}

bool TForm_main::SeekToMicroseconds(int64_t microseconds) {
  if (!SeekAllowed()) return false;
  PollStepHold hold(this);
  microseconds =
      std::clamp<int64_t>(microseconds, 0, int64_t{track_info_.length} * kMicrosecondsPerSecond);
  DropQueuedTrack();
  vbmp3_seekUs(microseconds);
  ShowSeekDone(microseconds);
  return true;
}

}  // namespace veldan
