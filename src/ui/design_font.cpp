#include "ui/design_font.h"

#include <QString>

namespace veldan {

void MapDesignFonts() {
  QFont::insertSubstitution(QString::fromUtf8(kProportionalGothic), QStringLiteral("IPAPGothic"));
  QFont::insertSubstitution(QString::fromUtf8(kFixedGothic), QStringLiteral("IPAGothic"));
}

QFont DesignFont(const char* family, int pixels, bool bold, bool italic) {
  QFont font(QString::fromUtf8(family));
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

}  // namespace veldan
