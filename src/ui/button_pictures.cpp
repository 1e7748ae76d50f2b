#include "ui/button_pictures.h"

#include <QColor>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

#include "platform/colours.h"
#include "ui/drawn_icon.h"

namespace veldan {
namespace {

// Triangles are drawn row by row so that they stay crisp pixel art at this size: a triangle of
// height h has its base on column base_x and grows towards its tip by one column every row up to
// the middle.
void RightTriangle(QPainter& p, int base_x, int top, int height, const QColor& colour) {
  for (int row = 0; row < height; ++row) {
    const int reach = std::min(row, height - 1 - row);
    p.fillRect(base_x, top + row, reach + 1, 1, colour);
  }
}

void LeftTriangle(QPainter& p, int base_x, int top, int height, const QColor& colour) {
  for (int row = 0; row < height; ++row) {
    const int reach = std::min(row, height - 1 - row);
    p.fillRect(base_x - reach, top + row, reach + 1, 1, colour);
  }
}

void Bar(QPainter& p, int x, int width, const QColor& colour) {
  p.fillRect(x, 2, width, 10, colour);
}

void DrawDisc(QPainter& p) {
  // A disc seen at a slant: an ellipse leaning to the right, with its hub and a shine.
  p.setRenderHint(QPainter::Antialiasing, false);
  p.translate(8, 7);
  p.rotate(-30);
  p.setPen(QColor(kColourGray));
  p.setBrush(QColor(kColourSilver));
  p.drawEllipse(QPoint(0, 0), 7, 5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(kColourAqua));
  p.drawPie(QRect(-6, -4, 12, 8), 30 * 16, 50 * 16);
  p.setBrush(QColor(kColourMagenta));
  p.drawPie(QRect(-6, -4, 12, 8), 210 * 16, 40 * 16);
  p.setPen(QColor(kColourGray));
  p.setBrush(QColor(kColourWhite));
  p.drawEllipse(QPoint(0, 0), 2, 1);
  p.resetTransform();
}

void DrawSteps(QPainter& p) {
  // Three blocks rising to the right, outlined in black.
  const int widths[] = {4, 4, 4};
  const int heights[] = {4, 7, 10};
  int x = 2;
  for (int i = 0; i < 3; ++i) {
    const int top = 12 - heights[i];
    p.fillRect(x, top, widths[i], heights[i], i == 2 ? QColor(kColourBlue) : QColor(kColourTeal));
    p.setPen(QColor(kColourBlack));
    p.setBrush(Qt::NoBrush);
    p.drawRect(x, top, widths[i] - 1, heights[i] - 1);
    x += widths[i];
  }
}

void DrawFolder(QPainter& p) {
  // A closed folder: the tab on the upper left, the body below it.
  p.setPen(QColor(kColourBlack));
  p.setBrush(QColor(kColourOlive));
  p.drawRect(1, 2, 5, 2);
  p.setBrush(QColor(kColourYellow));
  p.drawRect(1, 4, 13, 8);
  p.setPen(QColor(kColourWhite));
  p.drawLine(2, 5, 13, 5);
}

}  // namespace

QPixmap DrawButtonPicture(ButtonPicture picture) {
  const QSize size(kButtonPictureWidth, kButtonPictureHeight);
  return DrawPictureAt(size, size, [picture](QPainter& p) { PaintButtonPicture(p, picture); });
}

QIcon ButtonPictureIcon(ButtonPicture picture) {
  return DrawnIcon(QSize(kButtonPictureWidth, kButtonPictureHeight),
                   [picture](QPainter& p) { PaintButtonPicture(p, picture); });
}

void PaintButtonPicture(QPainter& p, ButtonPicture picture) {
  switch (picture) {
    case ButtonPicture::kPreAlbum:
      Bar(p, 2, 2, QColor(kColourNavy));
      LeftTriangle(p, 8, 2, 10, QColor(kColourNavy));
      LeftTriangle(p, 13, 2, 10, QColor(kColourNavy));
      break;
    case ButtonPicture::kPreFile:
      Bar(p, 4, 2, QColor(kColourNavy));
      LeftTriangle(p, 10, 2, 10, QColor(kColourNavy));
      break;
    case ButtonPicture::kStop:
      p.fillRect(4, 3, 8, 8, QColor(kColourNavy));
      break;
    case ButtonPicture::kPause:
      Bar(p, 4, 3, QColor(kColourNavy));
      Bar(p, 9, 3, QColor(kColourNavy));
      break;
    case ButtonPicture::kPlay:
      RightTriangle(p, 5, 1, 12, QColor(kColourNavy));
      break;
    case ButtonPicture::kNextFile:
      RightTriangle(p, 5, 2, 10, QColor(kColourNavy));
      Bar(p, 10, 2, QColor(kColourNavy));
      break;
    case ButtonPicture::kNextAlbum:
      RightTriangle(p, 2, 2, 10, QColor(kColourNavy));
      RightTriangle(p, 7, 2, 10, QColor(kColourNavy));
      Bar(p, 12, 2, QColor(kColourNavy));
      break;
    case ButtonPicture::kAutoCd:
      DrawDisc(p);
      break;
    case ButtonPicture::kOption:
      DrawSteps(p);
      break;
    case ButtonPicture::kSelect:
      DrawFolder(p);
      break;
  }
}

}  // namespace veldan
