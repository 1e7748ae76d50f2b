// The main window's side of the seek bar: painting it for a position, and the press, drag and
// release on it, which the controller turns into a seek.
#include <QAccessible>
#include <QCoreApplication>

#include "main/main_window.h"
#include "main/seek_bar.h"

namespace veldan {

void TForm_main::DrawSeekBar(int32_t position) {
  const int32_t length = controller_.TrackInfo().length;
  // The idle poll draws the same empty bar four times a second; painting only what changed
  // lets a stopped player (and the X server) sleep between polls.
  if (!bar_painted_ || position != painted_position_ || length != painted_length_) {
    Image_time_locate->Paint(position, length);
    bar_painted_ = true;
    painted_position_ = position;
    painted_length_ = length;
    if (QAccessible::isActive()) {
      QAccessibleValueChangeEvent event(Image_time_locate, position);
      QAccessible::updateAccessibility(&event);
    }
  }
  QCoreApplication::processEvents();
}

void TForm_main::BarMoved(int32_t seconds) {
  DrawSeekBar(seconds);
}

void TForm_main::Image_time_locateMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers /*shift*/,
                                            int x, int /*y*/) {
  if (button != Qt::LeftButton) return;
  controller_.PressSeekBar(
      SeekPositionFromX(x, Image_time_locate->width(), controller_.TrackInfo().length));
}

void TForm_main::Image_time_locateMouseMove(Qt::KeyboardModifiers /*shift*/, int x, int /*y*/) {
  controller_.MoveSeekBar(
      SeekPositionFromX(x, Image_time_locate->width(), controller_.TrackInfo().length));
}

void TForm_main::Image_time_locateMouseUp(Qt::MouseButton /*button*/,
                                          Qt::KeyboardModifiers /*shift*/, int /*x*/, int /*y*/) {
  controller_.ReleaseSeekBar();
}

}  // namespace veldan
