// GoogleTest main for window tests: one QApplication for the whole test program, on the
// offscreen platform unless a display was chosen, with the designed Japanese UI fonts mapped to
// the installed IPA fonts as the program maps them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  QFont::insertSubstitution(QString::fromUtf8("ＭＳ Ｐゴシック"), "IPAPGothic");
  QFont::insertSubstitution(QString::fromUtf8("ＭＳ ゴシック"), "IPAGothic");
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
