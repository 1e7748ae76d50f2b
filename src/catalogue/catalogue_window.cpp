// The window the catalogue reports to: the main window once installed, else a headless default.
#include "catalogue/catalogue_window.h"

#include <chrono>
#include <thread>

namespace veldan {

namespace {

// Without a window there is nothing to show or pump; a wait only lets time pass, so that a media
// wait probes a few times a second instead of spinning.
class HeadlessWindow final : public CatalogueWindow {
 public:
  void SetPollTimerRunning(bool) override {}
  void SetStatus(const char*, uint32_t) override {}
  void PumpMessages() override {}
  void WaitForMessages(int max_ms) override {
    if (max_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(max_ms));
  }
};

HeadlessWindow g_headless;
CatalogueWindow* g_window = &g_headless;

}  // namespace

void SetCatalogueWindow(CatalogueWindow* window) {
  g_window = window != nullptr ? window : &g_headless;
}

CatalogueWindow& CurrentCatalogueWindow() {
  return *g_window;
}

}  // namespace veldan
