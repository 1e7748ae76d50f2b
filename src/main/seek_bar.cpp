#include "main/seek_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "platform/colours.h"

namespace veldan {

void PaintSeekBar(QImage* canvas, int32_t position, int32_t length) {
  // The canvas may hold more pixels than the bar (a scaled screen); the painter works in the
  // bar's own pixels and each stroke covers whole device pixels.
  const QSize size = canvas->deviceIndependentSize().toSize();
  const int width = size.width();
  const int height = size.height();
  QPainter p(canvas);
  p.fillRect(0, 0, width, height, Qt::black);
  if (length <= 0) return;
  // A position past the length (an estimated length) would draw past the bar's end; the loop
  // stops at the edge instead of counting strokes that can't be seen.
  const int64_t reach = int64_t{width - 6} * position / length;
  for (int i = 0; i < reach && i + 3 < width; i += 3) {
    p.fillRect(i + 3, 2, 1, height - 5, QColor(kColourAqua));
  }
}

int32_t SeekPositionFromX(int x, int width, int32_t length) {
  // Tenths of a second, so that the half second rounds up. Wide arithmetic: a garbage length or
  // a pointer far outside the bar must not overflow.
  int64_t tenths = int64_t{length} * (int64_t{x} - 3) * 10 / (width - 6);
  if (tenths < 0) tenths = 0;
  if (tenths % 10 > 4) tenths += 5;
  const int64_t seconds = tenths / 10;
  return seconds > length ? length : static_cast<int32_t>(seconds);
}

SeekBarImage::SeekBarImage(QWidget* parent) : QWidget(parent) {
  MakeCanvas();
  setFixedSize(kSeekBarWidth, kSeekBarHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Moves count while no button is held too: a move between the release and the next poll still
  // chooses where the seek goes.
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
}

void SeekBarImage::MakeCanvas() {
  const qreal ratio = devicePixelRatioF();
  canvas_ = QImage(QSize(kSeekBarWidth, kSeekBarHeight) * ratio, QImage::Format_RGB32);
  canvas_.setDevicePixelRatio(ratio);
  canvas_.fill(Qt::black);
}

void SeekBarImage::Paint(int32_t position, int32_t length) {
  position_ = position;
  length_ = length;
  PaintSeekBar(&canvas_, position, length);
  update();
}

void SeekBarImage::paintEvent(QPaintEvent* /*event*/) {
  // Moved to a screen of another scale: the bar is drawn again at the new one.
  if (canvas_.devicePixelRatio() != devicePixelRatioF()) {
    MakeCanvas();
    PaintSeekBar(&canvas_, position_, length_);
  }
  QPainter p(this);
  p.drawImage(0, 0, canvas_);
}

void SeekBarImage::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  emit MouseDown(event->button(), event->modifiers(), point.x(), point.y());
}

void SeekBarImage::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  emit MouseMove(event->modifiers(), point.x(), point.y());
}

void SeekBarImage::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  emit MouseUp(event->button(), event->modifiers(), point.x(), point.y());
}

}  // namespace veldan
