// The seek bar: an image of thin aqua strokes on black that shows how far the track has played,
// with the mouse events through which the user drags to a new position.
//
// SeekBarImage is the control itself (Form_main->Image_time_locate): it owns the canvas, shows it,
// and reports presses, moves and releases with the button, the shift state and the point in its
// own coordinates. Painting and the position arithmetic are plain functions so that they can be
// checked without a window. User-interface thread only.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>

namespace veldan {

inline constexpr int kSeekBarWidth = 205;
inline constexpr int kSeekBarHeight = 15;

// Paints the bar for position seconds of a track of length seconds: black, and when the length
// is known, one stroke every third column from x = 3 for the part played. Columns are the bar's
// own pixels (the canvas's device-independent size).
void PaintSeekBar(QImage* canvas, int32_t position, int32_t length);

// The position in whole seconds that the point x of a bar of the given width stands for, rounded
// to the nearest second: x = 3 is the start, x = width - 3 the end; points beyond either end give
// the start or the length.
int32_t SeekPositionFromX(int x, int width, int32_t length);

class SeekBarImage : public QWidget {
  Q_OBJECT

 public:
  explicit SeekBarImage(QWidget* parent);

  // The canvas holds the bar at the screen's device pixel ratio.
  QImage& Canvas() { return canvas_; }
  const QImage& Canvas() const { return canvas_; }
  // Paints the canvas for position seconds of a track of length seconds and shows it.
  void Paint(int32_t position, int32_t length);

 signals:
  void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
  void MouseMove(Qt::KeyboardModifiers shift, int x, int y);
  void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void MakeCanvas();

  QImage canvas_;
  int32_t position_ = 0;
  int32_t length_ = 0;
};

}  // namespace veldan
