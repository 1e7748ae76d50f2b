#include "ui/bevel_panel.h"

#include <QPainter>

#include "platform/colours.h"

namespace veldan {
namespace {

const QColor kHighlight(kColourWhite);
const QColor kShadow(kColourGray);

// Draws one bevel ring inside rect and returns the rect inside it. A raised bevel is lit from the
// upper left, a lowered one from the lower right.
QRect DrawBevel(QPainter& p, const QRect& rect, Bevel bevel) {
  if (bevel == Bevel::kNone) return rect;
  const QColor& top_left = bevel == Bevel::kRaised ? kHighlight : kShadow;
  const QColor& bottom_right = bevel == Bevel::kRaised ? kShadow : kHighlight;
  p.setPen(top_left);
  p.drawLine(rect.left(), rect.top(), rect.right(), rect.top());
  p.drawLine(rect.left(), rect.top(), rect.left(), rect.bottom());
  p.setPen(bottom_right);
  p.drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
  p.drawLine(rect.right(), rect.top(), rect.right(), rect.bottom());
  return rect.adjusted(1, 1, -1, -1);
}

}  // namespace

BevelPanel::BevelPanel(QWidget* parent, Bevel outer, Bevel inner, const QColor& face)
    : QWidget(parent), outer_(outer), inner_(inner), face_(face) {}

void BevelPanel::paintEvent(QPaintEvent* /*event*/) {
  QPainter p(this);
  QRect inside = DrawBevel(p, rect(), outer_);
  inside = DrawBevel(p, inside, inner_);
  p.fillRect(inside, face_);
}

}  // namespace veldan
