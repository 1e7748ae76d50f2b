// The 16 x 14 pictures on the main window's buttons, drawn in code in the 16-colour palette.
//
// User-interface thread only (a QPixmap needs the application's GUI thread).
#pragma once

class QIcon;
class QPainter;
class QPixmap;

namespace veldan {

enum class ButtonPicture {
  kPreAlbum,   // a bar and two left-pointing triangles
  kPreFile,    // a bar and one left-pointing triangle
  kStop,       // a filled square
  kPause,      // two bars
  kPlay,       // a right-pointing triangle
  kNextFile,   // a right-pointing triangle and a bar
  kNextAlbum,  // two right-pointing triangles and a bar
  kAutoCd,     // a slanted disc
  kOption,     // a stepped block
  kSelect,     // a folder
};

inline constexpr int kButtonPictureWidth = 16;
inline constexpr int kButtonPictureHeight = 14;

// The picture on a transparent background, at its design size.
QPixmap DrawButtonPicture(ButtonPicture picture);
// The picture as a button icon, drawn anew at the screen's device pixel ratio.
QIcon ButtonPictureIcon(ButtonPicture picture);
// Draws the picture in design pixels (16 x 14) with p.
void PaintButtonPicture(QPainter& p, ButtonPicture picture);

}  // namespace veldan
