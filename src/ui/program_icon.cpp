#include "ui/program_icon.h"

#include <QIcon>

namespace veldan {

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {32, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/veldan/veldan-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace veldan
