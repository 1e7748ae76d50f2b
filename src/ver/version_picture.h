// The version box's picture: a compact disc with VELDAN's mascot, 203 x 180 pixels, 24 bits per
// pixel, drawn in code at a device pixel ratio (the image then holds that many times the pixels
// and says so). User-interface thread only (QPainter on a QImage).
#pragma once

class QImage;

namespace veldan {

inline constexpr int kVersionPictureWidth = 203;
inline constexpr int kVersionPictureHeight = 180;

QImage DrawVersionPicture(double device_pixel_ratio = 1.0);

}  // namespace veldan
