#include "dsel/disc_picture.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

namespace veldan {

QPixmap SlantedDiscPicture() {
  QImage image(16, 14, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(8.0, 7.0);
  painter.rotate(-30.0);
  // The disc seen at a slant: a flattened silver ring with a rainbow sheen and its hole.
  painter.setPen(QPen(QColor(64, 64, 96), 1.0));
  painter.setBrush(QColor(208, 212, 224));
  painter.drawEllipse(QPointF(0, 0), 7.4, 4.6);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(120, 200, 255));
  painter.drawPie(QRectF(-6.4, -3.8, 12.8, 7.6), 20 * 16, 60 * 16);
  painter.setBrush(QColor(255, 160, 220));
  painter.drawPie(QRectF(-6.4, -3.8, 12.8, 7.6), 200 * 16, 50 * 16);
  painter.setPen(QPen(QColor(96, 96, 128), 1.0));
  painter.setBrush(QColor(240, 240, 240));
  painter.drawEllipse(QPointF(0, 0), 2.4, 1.6);
  painter.setBrush(QColor(40, 40, 56));
  painter.setPen(Qt::NoPen);
  painter.drawEllipse(QPointF(0, 0), 0.9, 0.6);
  painter.end();
  return QPixmap::fromImage(image);
}

}  // namespace veldan
