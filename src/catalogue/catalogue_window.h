// What a catalogue build and a media wait need of the main window.
//
// The catalogue code has no window code of its own; the main window implements this interface and
// installs it. Without one (tests, veldan-bench) a headless default is used: it keeps the last
// status text and colour, and its waits sleep briefly. User-interface thread only.
#pragma once

#include <cstdint>

#include "platform/colours.h"

namespace veldan {

class CatalogueWindow {
 public:
  virtual ~CatalogueWindow() = default;
  // Turns the status-poll timer off or on.
  virtual void SetPollTimerRunning(bool running) = 0;
  // Sets the status label's text and font colour (0xRRGGBB, one of platform/colours.h).
  virtual void SetStatus(const char* text, uint32_t rgb) = 0;
  // Lets pending window messages run once.
  virtual void PumpMessages() = 0;
  // Lets window messages run, waiting for them at most max_ms milliseconds.
  virtual void WaitForMessages(int max_ms) = 0;
  // Lets the window's own events run (a close request, a termination signal, a remote call)
  // but not the user's input, which waits until the search is over: a long search calls it a
  // few times a second so that the program can still be closed. Does nothing by default.
  virtual void KeepAliveDuringSearch() {}
};

// How often a search lets the window's own events run.
inline constexpr int kSearchKeepAliveMs = 100;

// Installs the main window (null restores the headless default). Returns the one in use.
void SetCatalogueWindow(CatalogueWindow* window);
CatalogueWindow& CurrentCatalogueWindow();

}  // namespace veldan
