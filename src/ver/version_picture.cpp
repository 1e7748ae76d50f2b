#include "ver/version_picture.h"

#include <QConicalGradient>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace veldan {

namespace {

// The labels lie over the left half of the picture, so the disc and the mascot keep to the
// right and the left stays a quiet background that the navy and black texts read well on.
constexpr QPointF kDiscCentre(146.0, 118.0);
constexpr double kDiscRadius = 54.0;
constexpr QPointF kMascotCentre(150.0, 50.0);
constexpr double kMascotRadius = 25.0;

void DrawBackground(QPainter& painter) {
  QLinearGradient sky(0, 0, 0, kVersionPictureHeight);
  sky.setColorAt(0.0, QColor(226, 236, 252));
  sky.setColorAt(1.0, QColor(252, 252, 255));
  painter.fillRect(QRect(0, 0, kVersionPictureWidth, kVersionPictureHeight), sky);
}

void DrawNote(QPainter& painter, QPointF head, const QColor& colour) {
  painter.setPen(QPen(colour, 1.6));
  painter.drawLine(head + QPointF(3.6, 0), head + QPointF(3.6, -13));
  painter.drawLine(head + QPointF(3.6, -13), head + QPointF(8.0, -9));
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  painter.save();
  painter.translate(head);
  painter.rotate(-20);
  painter.drawEllipse(QPointF(0, 0), 4.2, 3.0);
  painter.restore();
}

void DrawDisc(QPainter& painter) {
  QRadialGradient silver(kDiscCentre - QPointF(18, 18), kDiscRadius * 1.4);
  silver.setColorAt(0.0, QColor(255, 255, 255));
  silver.setColorAt(0.6, QColor(206, 210, 222));
  silver.setColorAt(1.0, QColor(150, 156, 176));
  painter.setPen(QPen(QColor(90, 96, 120), 1.2));
  painter.setBrush(silver);
  painter.drawEllipse(kDiscCentre, kDiscRadius, kDiscRadius);

  // The rainbow sheen of the data side.
  QConicalGradient sheen(kDiscCentre, 30);
  const QColor colours[] = {QColor(255, 120, 120, 90), QColor(255, 230, 110, 90),
                            QColor(120, 230, 140, 90), QColor(110, 190, 255, 90),
                            QColor(200, 130, 255, 90), QColor(255, 120, 120, 90)};
  for (int i = 0; i < 6; ++i) sheen.setColorAt(i / 5.0, colours[i]);
  painter.setPen(Qt::NoPen);
  painter.setBrush(sheen);
  painter.drawEllipse(kDiscCentre, kDiscRadius - 3, kDiscRadius - 3);

  // Grooves, the clear hub and the hole.
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(255, 255, 255, 110), 0.8));
  for (double r = 24; r < kDiscRadius - 4; r += 6) painter.drawEllipse(kDiscCentre, r, r);
  painter.setPen(QPen(QColor(120, 126, 150), 1.0));
  painter.setBrush(QColor(236, 240, 248));
  painter.drawEllipse(kDiscCentre, 17, 17);
  painter.setBrush(QColor(246, 248, 254));
  painter.drawEllipse(kDiscCentre, 7, 7);

  // A glint.
  painter.setPen(QPen(QColor(255, 255, 255, 220), 3.0, Qt::SolidLine, Qt::RoundCap));
  painter.drawArc(QRectF(kDiscCentre.x() - 44, kDiscCentre.y() - 44, 88, 88), 100 * 16, 40 * 16);
}

void DrawMascot(QPainter& painter) {
  const QPointF c = kMascotCentre;
  const double r = kMascotRadius;
  const QColor ink(60, 40, 30);

  // Feet standing on the disc's rim.
  painter.setPen(QPen(ink, 1.2));
  painter.setBrush(QColor(255, 150, 60));
  painter.drawEllipse(c + QPointF(-11, r + 2), 8, 4);
  painter.drawEllipse(c + QPointF(11, r + 2), 8, 4);

  // A round body.
  QRadialGradient body(c - QPointF(8, 10), r * 1.5);
  body.setColorAt(0.0, QColor(255, 240, 150));
  body.setColorAt(1.0, QColor(250, 190, 40));
  painter.setBrush(body);
  painter.drawEllipse(c, r, r);

  // A waving arm and one on the hip.
  painter.setPen(QPen(ink, 1.2));
  painter.setBrush(QColor(250, 200, 60));
  painter.save();
  painter.translate(c + QPointF(r - 2, -4));
  painter.rotate(-40);
  painter.drawEllipse(QPointF(8, 0), 9, 4.5);
  painter.restore();
  painter.save();
  painter.translate(c + QPointF(-r + 1, 8));
  painter.rotate(30);
  painter.drawEllipse(QPointF(-6, 0), 7, 4);
  painter.restore();

  // Eyes with highlights, cheeks and a wide smile.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 255, 255));
  painter.drawEllipse(c + QPointF(-8, -5), 6, 7);
  painter.drawEllipse(c + QPointF(8, -5), 6, 7);
  painter.setBrush(ink);
  painter.drawEllipse(c + QPointF(-7, -4), 3.2, 4.2);
  painter.drawEllipse(c + QPointF(9, -4), 3.2, 4.2);
  painter.setBrush(QColor(255, 255, 255));
  painter.drawEllipse(c + QPointF(-6, -6), 1.2, 1.2);
  painter.drawEllipse(c + QPointF(10, -6), 1.2, 1.2);
  painter.setBrush(QColor(255, 120, 120, 150));
  painter.drawEllipse(c + QPointF(-15, 5), 4.5, 3);
  painter.drawEllipse(c + QPointF(15, 5), 4.5, 3);
  QPainterPath smile;
  smile.moveTo(c + QPointF(-8, 6));
  smile.quadTo(c + QPointF(0, 17), c + QPointF(8, 6));
  smile.quadTo(c + QPointF(0, 10), c + QPointF(-8, 6));
  painter.setBrush(QColor(200, 60, 60));
  painter.setPen(QPen(ink, 1.2));
  painter.drawPath(smile);

  // Headphones over the head.
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(40, 60, 140), 3.0, Qt::SolidLine, Qt::RoundCap));
  painter.drawArc(QRectF(c.x() - r - 1, c.y() - r - 4, 2 * r + 2, 2 * r + 2), 10 * 16, 160 * 16);
  painter.setPen(QPen(ink, 1.0));
  painter.setBrush(QColor(40, 60, 140));
  painter.drawRoundedRect(QRectF(c.x() - r - 5, c.y() - 10, 8, 13), 3, 3);
  painter.drawRoundedRect(QRectF(c.x() + r - 3, c.y() - 10, 8, 13), 3, 3);
}

}  // namespace

QImage DrawVersionPicture(qreal device_pixel_ratio) {
  QImage image(QSize(kVersionPictureWidth, kVersionPictureHeight) * device_pixel_ratio,
               QImage::Format_RGB888);
  // The painter then draws in the picture's own pixels, at the screen's resolution.
  image.setDevicePixelRatio(device_pixel_ratio);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  DrawBackground(painter);
  DrawNote(painter, QPointF(188, 22), QColor(90, 120, 220));
  DrawNote(painter, QPointF(108, 30), QColor(230, 110, 160));
  DrawDisc(painter);
  DrawMascot(painter);
  painter.end();
  return image;
}

}  // namespace veldan
