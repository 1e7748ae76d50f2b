// The 16 x 14 picture of a slanted disc that the drive buttons carry, the same picture as the
// main window's Auto CD button. Drawn in code; user-interface thread only (it makes a QPixmap).
#pragma once

class QPixmap;

namespace veldan {

QPixmap SlantedDiscPicture();

}  // namespace veldan
