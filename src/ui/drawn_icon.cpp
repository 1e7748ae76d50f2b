#include "ui/drawn_icon.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>

namespace veldan {
namespace {

class DrawnIconEngine : public QIconEngine {
 public:
  DrawnIconEngine(QSize design_size, IconPainter draw)
      : design_size_(design_size), draw_(std::move(draw)) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device()->devicePixelRatioF();
    QPixmap pixmap = scaledPixmap(rect.size() * ratio, mode, state, ratio);
    pixmap.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect, pixmap);
  }

  QSize actualSize(const QSize& size, QIcon::Mode /*mode*/, QIcon::State /*state*/) override {
    return design_size_.scaled(size, Qt::KeepAspectRatio);
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }

  // size is in device pixels: the design size times the screen's ratio.
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State /*state*/,
                       qreal /*scale*/) override {
    QPixmap pixmap = DrawPictureAt(design_size_, size, draw_);
    if (mode == QIcon::Disabled && qApp != nullptr) {
      QStyleOption option;
      option.palette = QApplication::palette();
      pixmap = QApplication::style()->generatedIconPixmap(QIcon::Disabled, pixmap, &option);
    }
    return pixmap;
  }

  QIconEngine* clone() const override { return new DrawnIconEngine(design_size_, draw_); }
  QString key() const override { return QStringLiteral("veldan-drawn"); }

 private:
  QSize design_size_;
  IconPainter draw_;
};

}  // namespace

QPixmap DrawPictureAt(QSize design_size, QSize device_size, const IconPainter& draw) {
  QPixmap pixmap(device_size.expandedTo(QSize(1, 1)));
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  // Pixel art stays crisp: shapes land on whole device pixels instead of being blended.
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.scale(qreal(pixmap.width()) / design_size.width(),
                qreal(pixmap.height()) / design_size.height());
  draw(painter);
  return pixmap;
}

QIcon DrawnIcon(QSize design_size, IconPainter draw) {
  return QIcon(new DrawnIconEngine(design_size, std::move(draw)));
}

}  // namespace veldan
