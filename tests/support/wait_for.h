// Lets the tests' event loop run until a condition holds or a limit passes, so that a reply or
// signal that never comes fails the test instead of stalling it.
#pragma once

#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace veldan::testing {

// True once done() holds; false when limit_ms passed first.
inline bool WaitFor(const std::function<bool()>& done, int limit_ms = 3000) {
  QEventLoop loop;
  QTimer limit;
  limit.setSingleShot(true);
  limit.start(limit_ms);
  while (!done() && limit.isActive()) loop.processEvents(QEventLoop::WaitForMoreEvents, 20);
  return done();
}

}  // namespace veldan::testing
