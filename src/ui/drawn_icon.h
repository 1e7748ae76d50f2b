// Icons drawn in code, drawn afresh for the device pixel ratio they are shown at, so that they
// stay sharp on a scaled screen instead of being stretched from their design size.
//
// User-interface thread only (pixmaps need the application's GUI thread).
#pragma once

#include <QIcon>
#include <QSize>
#include <functional>

class QPainter;
class QPixmap;

namespace veldan {

// Draws the picture in the logical pixels of its design size.
using IconPainter = std::function<void(QPainter&)>;

// An icon of the design size whose pixmaps draw runs for at each requested device size; the
// disabled look is the style's, made from the sharp picture.
QIcon DrawnIcon(QSize design_size, IconPainter draw);

// The picture drawn into a transparent pixmap of device_size device pixels, scaled from the
// design size.
QPixmap DrawPictureAt(QSize design_size, QSize device_size, const IconPainter& draw);

}  // namespace veldan
