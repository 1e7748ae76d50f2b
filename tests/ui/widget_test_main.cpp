// GoogleTest main for widget tests: one QApplication on the offscreen platform, with the
// designed fonts mapped to the IPA fonts as the program maps them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
  QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
