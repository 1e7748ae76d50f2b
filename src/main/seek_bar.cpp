#include "main/seek_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace veldan {

void PaintSeekBar(QImage* canvas, int32_t position, int32_t length) {
  const int width = canvas->width();
  const int height = canvas->height();
  QPainter p(canvas);
  p.fillRect(0, 0, width, height, Qt::black);
  if (length <= 0) return;
  // A position past the length (an estimated length) would draw past the bar's end; the loop
  // stops at the edge instead of counting strokes that can't be seen.
  const int64_t reach = int64_t{width - 6} * position / length;
  p.setPen(QPen(QColor(0, 255, 255), 1, Qt::SolidLine));
  for (int i = 0; i < reach && i + 3 < width; i += 3) {
    p.drawLine(i + 3, 2, i + 3, height - 4);
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

SeekBarImage::SeekBarImage(QWidget* parent)
    : QWidget(parent), canvas_(kSeekBarWidth, kSeekBarHeight, QImage::Format_RGB32) {
  canvas_.fill(Qt::black);
  setFixedSize(kSeekBarWidth, kSeekBarHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Moves count while no button is held too: a move between the release and the next poll still
  // chooses where the seek goes.
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
}

void SeekBarImage::paintEvent(QPaintEvent* /*event*/) {
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
