// Reads the desktop's font configuration on a thread of its own while the program starts.
//
// The first text the main window lays out needs the font configuration (some eighty files and
// the font caches: several milliseconds). Read first thing in main, beside the window system's
// own start, it is ready by the time the window thread asks, and neither the window nor the
// first sound waits for it. Only the font library is called, which is safe from any thread; the
// toolkit then finds its configuration already loaded.
#pragma once

#include <thread>

namespace veldan {

class FontWarmUp {
 public:
  FontWarmUp();   // starts the read
  ~FontWarmUp();  // waits for it (it is long done by then)
  FontWarmUp(const FontWarmUp&) = delete;
  FontWarmUp& operator=(const FontWarmUp&) = delete;

 private:
  std::thread thread_;
};

}  // namespace veldan
