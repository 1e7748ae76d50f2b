// VELDAN's own icon (data/veldan.svg, rendered at the sizes a window and a task bar use), built
// into the program so that its windows carry it also when nothing is installed.
#pragma once

class QIcon;

namespace veldan {

QIcon ProgramIcon();

}  // namespace veldan
