// The main window's keys. Each key presses the control it stands for, so a key can do exactly
// what that control can do at that moment and nothing else; the seek keys move play the way a
// drag on the seek bar does. Shortcuts belong to the window, so they work whichever control has
// the focus, and not while a dialog is in front of it.
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

void TForm_main::PlayOrPause() {
  int32_t position = 0;
  if (vbmp3_getState(&position) == VBMP3_PLAYING) {
    BitBtn_pause->click();
  } else {
    // Play is disabled while play runs on from track to track; a press then would open the
    // track before the one the poll is about to open.
    BitBtn_play->click();
  }
}

void TForm_main::BindKeys() {
  const auto press = [](QPushButton* button) { return [button] { button->click(); }; };
  const auto seek = [this](int32_t step) {
    return [this, step] { SeekTo(PlayingPosition() + step); };
  };
  const auto play_or_pause = [this] { PlayOrPause(); };

  Bind(this, Qt::Key_Space, play_or_pause);
  Bind(this, Qt::Key_S, press(BitBtn_stop));
  Bind(this, Qt::Key_Left, seek(-kSeekStepSeconds));
  Bind(this, Qt::Key_Right, seek(kSeekStepSeconds));
  Bind(this, Qt::CTRL | Qt::Key_Left, press(BitBtn_pre_file));
  Bind(this, Qt::CTRL | Qt::Key_Right, press(BitBtn_next_file));
  Bind(this, Qt::Key_PageUp, press(BitBtn_pre_album));
  Bind(this, Qt::Key_PageDown, press(BitBtn_next_album));

  // Keyboards' media keys; most desktops send the one play key as Play, meaning "toggle".
  Bind(this, Qt::Key_MediaPlay, play_or_pause);
  Bind(this, Qt::Key_MediaTogglePlayPause, play_or_pause);
  Bind(this, Qt::Key_MediaPause, press(BitBtn_pause));
  Bind(this, Qt::Key_MediaStop, press(BitBtn_stop));
  Bind(this, Qt::Key_MediaPrevious, press(BitBtn_pre_file));
  Bind(this, Qt::Key_MediaNext, press(BitBtn_next_file));
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
