// The style of the main window's buttons with pictures. Pictures are drawn at their own device
// size, never stretched into a box, so they stay sharp at a screen scale such as 1.25, where a
// 14-row picture is 17.5 device pixels high.
//
// The narrow buttons with a caption and a picture (Option and Select, 57 pixels wide) also get a
// layout of their own: the toolkit's keeps 4 pixels between caption and picture and a bevel of 2
// on each side, which the substitute fonts' captions overrun, cutting off the caption's first
// letter or the picture's edge. The narrow layout sets the inks 2 pixels apart within the
// 1-pixel frame and, when that is still too tight, the caption's letters a pixel closer.
//
// User-interface thread only.
#pragma once

class QPushButton;

namespace veldan {

// Gives button the style (owned by the button); narrow for the narrow layout.
void UsePictureButtonStyle(QPushButton* button, bool narrow);

}  // namespace veldan
