// The options dialog's equalizer bars as assistive technology should see them: named after their
// band ("60 Hz" ... "16 kHz") and reporting their gain in decibels rather than the bar's
// position, which runs the other way. User-interface thread only.
#pragma once

class QSlider;

namespace veldan {

// Names bar after band (0 to 9, 60 Hz to 16 kHz) and gives it the decibel value.
void MakeEqualizerBarAccessible(QSlider* bar, int band);

}  // namespace veldan
