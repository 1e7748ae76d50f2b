// A catalogue window for tests: records what a build or wait asks of the main window, and runs a
// hook where the real window would let messages run.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "catalogue/catalogue_window.h"

namespace veldan {

class RecordingWindow final : public CatalogueWindow {
 public:
  RecordingWindow() { SetCatalogueWindow(this); }
  ~RecordingWindow() override { SetCatalogueWindow(nullptr); }

  void SetPollTimerRunning(bool running) override {
    calls.push_back(running ? "timer on" : "timer off");
  }
  void SetStatus(const char* text, uint32_t rgb) override {
    calls.push_back("status " + std::string(text) + "/" + std::to_string(rgb));
  }
  void PumpMessages() override { calls.push_back("pump"); }
  void WaitForMessages(int max_ms) override {
    waits.push_back(max_ms);
    if (on_wait) on_wait(static_cast<int>(waits.size()));
  }
  void KeepAliveDuringSearch() override {
    ++keep_alives;
    if (on_keep_alive) on_keep_alive();
  }

  std::vector<std::string> calls;
  std::vector<int> waits;
  std::function<void(int)> on_wait;  // given the number of waits so far
  int keep_alives = 0;
  std::function<void()> on_keep_alive;
};

}  // namespace veldan
