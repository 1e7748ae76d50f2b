#include "ui/picture_button_style.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOptionButton>
#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

namespace veldan {
namespace {

constexpr int kGap = 2;

// The columns of the picture that hold ink; its transparent margins may sit under the caption's.
std::pair<int, int> InkColumns(const QIcon& icon, QSize size) {
  const QImage image = icon.pixmap(size, 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
  int first = image.width();
  int last = -1;
  for (int x = 0; x < image.width(); ++x) {
    for (int y = 0; y < image.height(); ++y) {
      if (qAlpha(image.pixel(x, y)) != 0) {
        first = std::min(first, x);
        last = std::max(last, x);
      }
    }
  }
  return last < 0 ? std::pair{0, size.width()} : std::pair{first, last + 1 - first};
}

class PictureButtonStyle : public QProxyStyle {
 public:
  explicit PictureButtonStyle(bool narrow) : narrow_(narrow) {}

  // Pictures are drawn at their own device size, placed where the style centres them.
  void drawItemPixmap(QPainter* painter, const QRect& rect, int alignment,
                      const QPixmap& pixmap) const override {
    const QSizeF size = pixmap.deviceIndependentSize();
    QPointF at(rect.x(), rect.y());
    if (alignment & Qt::AlignHCenter) at.rx() += (rect.width() - size.width()) / 2;
    if (alignment & Qt::AlignRight) at.rx() += rect.width() - size.width();
    if (alignment & Qt::AlignVCenter) at.ry() += (rect.height() - size.height()) / 2;
    if (alignment & Qt::AlignBottom) at.ry() += rect.height() - size.height();
    // Whole device pixels, so that nothing is resampled.
    const qreal ratio = painter->device()->devicePixelRatioF();
    at = QPointF(std::round(at.x() * ratio) / ratio, std::round(at.y() * ratio) / ratio);
    painter->drawPixmap(at, pixmap);
  }

  // The caption and the picture side by side, centred; the picture drawn by drawItemPixmap.
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (element != CE_PushButtonLabel || button == nullptr || button->icon.isNull() ||
        widget == nullptr) {
      QProxyStyle::drawControl(element, option, painter, widget);
      return;
    }
    const QSize icon = button->iconSize;
    QFont font = widget->font();
    // The toolkit's layout: boxes 4 pixels apart, centred in the contents the style hands over.
    QRect area = option->rect;
    int gap = 4;
    int picture_left = 0;  // the picture's first column counted
    int picture_width = icon.width();
    int text_left = 0;
    int text_width = QFontMetrics(font).horizontalAdvance(button->text);
    if (narrow_) {
      // Inks 2 pixels apart within the 1-pixel frame; an italic caption leans past its advance,
      // so its ink is what must fit, with a pixel to spare on each side. A caption still too
      // wide has its letters set a pixel closer.
      area = widget->rect().adjusted(1, 1, -1, -1);
      gap = kGap;
      std::tie(picture_left, picture_width) = InkColumns(button->icon, icon);
      QRect ink = QFontMetrics(font).tightBoundingRect(button->text);
      if (picture_width + gap + ink.width() + 2 > area.width() && button->text.size() > 1) {
        font.setLetterSpacing(QFont::AbsoluteSpacing, -1);
        ink = QFontMetrics(font).tightBoundingRect(button->text);
      }
      text_left = ink.left();
      text_width = ink.width();
    }
    const int total = picture_width + gap + text_width;
    const int left = area.left() + std::max(0, (area.width() - total) / 2);

    QRect icon_rect(QPoint(0, area.top() + (area.height() - icon.height()) / 2), icon);
    QRect text_rect(0, area.top(), QFontMetrics(font).horizontalAdvance(button->text) + 4,
                    area.height());
    if (button->direction == Qt::RightToLeft) {  // the picture right of the caption
      text_rect.moveLeft(left - text_left);
      icon_rect.moveLeft(left + text_width + gap - picture_left);
    } else {
      icon_rect.moveLeft(left - picture_left);
      text_rect.moveLeft(left + picture_width + gap - text_left);
    }
    const bool enabled = button->state & State_Enabled;
    const QIcon::Mode mode = enabled ? QIcon::Normal : QIcon::Disabled;
    proxy()->drawItemPixmap(
        painter, icon_rect, Qt::AlignLeft | Qt::AlignTop,
        button->icon.pixmap(icon, painter->device()->devicePixelRatioF(), mode));
    painter->save();
    painter->setFont(font);
    proxy()->drawItemText(painter, text_rect,
                          Qt::AlignAbsolute | Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                          button->palette, enabled, button->text, QPalette::ButtonText);
    painter->restore();
  }

 private:
  bool narrow_;
};

}  // namespace

void UsePictureButtonStyle(QPushButton* button, bool narrow) {
  auto* style = new PictureButtonStyle(narrow);
  style->setParent(button);
  button->setStyle(style);
}

}  // namespace veldan
