// The main window's keys. Each key carries out the controller's operation that its control
// stands for, under the same rule the control shows, so a key can do exactly what that control
// can do at that moment and nothing else; the seek keys move play the way a drag on the seek bar
// does. Shortcuts belong to the window, so they work whichever control has the focus, and not
// while a dialog is in front of it.
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>

#include "main/main_window.h"

namespace veldan {
namespace {

template <typename Action>
void Bind(QWidget* window, QKeyCombination key, Action action) {
  auto* shortcut = new QShortcut(QKeySequence(key), window);
  shortcut->setContext(Qt::WindowShortcut);
  // A held key repeats its step, as on a seek bar.
  shortcut->setAutoRepeat(true);
  QObject::connect(shortcut, &QShortcut::activated, window, action);
}

}  // namespace

void TForm_main::BindKeys() {
  using Operation = void (PlaybackController::*)();
  const auto act = [this](PlaybackAction action, Operation operation) {
    return [this, action, operation] {
      if (controller_.Allowed(action)) (controller_.*operation)();
    };
  };
  const auto seek = [this](int32_t step) {
    return [this, step] { controller_.SeekTo(controller_.PlayingPosition() + step); };
  };
  const auto play_or_pause = [this] { controller_.PlayOrPause(); };
  const auto stop = act(PlaybackAction::kStop, &PlaybackController::Stop);
  const auto pause = act(PlaybackAction::kPause, &PlaybackController::Pause);
  const auto previous_file = act(PlaybackAction::kStep, &PlaybackController::PreviousFile);
  const auto next_file = act(PlaybackAction::kStep, &PlaybackController::NextFile);

  Bind(this, Qt::Key_Space, play_or_pause);
  Bind(this, Qt::Key_S, stop);
  Bind(this, Qt::Key_Left, seek(-kSeekStepSeconds));
  Bind(this, Qt::Key_Right, seek(kSeekStepSeconds));
  Bind(this, Qt::CTRL | Qt::Key_Left, previous_file);
  Bind(this, Qt::CTRL | Qt::Key_Right, next_file);
  Bind(this, Qt::Key_PageUp, act(PlaybackAction::kStep, &PlaybackController::PreviousAlbum));
  Bind(this, Qt::Key_PageDown, act(PlaybackAction::kStep, &PlaybackController::NextAlbum));

  // Keyboards' media keys; most desktops send the one play key as Play, meaning "toggle".
  Bind(this, Qt::Key_MediaPlay, play_or_pause);
  Bind(this, Qt::Key_MediaTogglePlayPause, play_or_pause);
  Bind(this, Qt::Key_MediaPause, pause);
  Bind(this, Qt::Key_MediaStop, stop);
  Bind(this, Qt::Key_MediaPrevious, previous_file);
  Bind(this, Qt::Key_MediaNext, next_file);
}

void TForm_main::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_before_) return;
  shown_before_ = true;
  // The first focus goes to Play; while play already runs Play is disabled and cannot hold it,
  // and Pause, the control that then matters, takes it.
  if (BitBtn_play->isEnabled()) {
    BitBtn_play->setFocus(Qt::ActiveWindowFocusReason);
  } else {
    BitBtn_pause->setFocus(Qt::ActiveWindowFocusReason);
  }
}

}  // namespace veldan
