// Gives a check box the classic small box (13 pixels) and the narrow gap before its caption, so
// that captions fit the widths the windows were designed with.
//
// User-interface thread only.
#pragma once

class QCheckBox;

namespace veldan {

// The box's style is owned by the box.
void UseClassicCheckBoxMetrics(QCheckBox* box);

}  // namespace veldan
