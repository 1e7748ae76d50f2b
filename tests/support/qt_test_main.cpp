// The one GoogleTest main for test programs that need a QApplication: the application on the
// offscreen platform unless a display was chosen, SDL's dummy sound driver for tests that play
// through the real decoder unless one was chosen, and the designed fonts mapped as the program
// maps them.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "ui/design_font.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const char* audio = std::getenv("SDL_AUDIODRIVER");
  if (audio == nullptr || audio[0] == '\0') setenv("SDL_AUDIODRIVER", "dummy", 1);
  QApplication app(argc, argv);
  veldan::MapDesignFonts();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
