// Drives a modal dialog from inside its own event loop: the action runs once the dialog is
// shown, and a watchdog ends the dialog with kTimedOut so a dialog that never closes fails the
// test instead of stalling it.
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

namespace veldan::testing {

inline constexpr int kTimedOut = 99;

inline int ExecWith(QDialog& dialog, std::function<void()> action, int watchdog_ms = 5000) {
  QTimer::singleShot(0, &dialog, std::move(action));
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, &dialog, [&dialog] {
    if (dialog.isVisible()) dialog.done(kTimedOut);
  });
  watchdog.start(watchdog_ms);
  return dialog.exec();
}

}  // namespace veldan::testing
