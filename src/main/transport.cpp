// The main window's transport buttons, mode check boxes and status poll tick, all handed to the
// player's controller, and the controller's host: the poll's early step as a zero-delay single
// shot from the window's event loop.
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

#include "main/main_window.h"

namespace veldan {

void TForm_main::Timer1Timer() {
  controller_.PollStep();
}

void TForm_main::BitBtn_playClick() {
  controller_.Play();
}

void TForm_main::BitBtn_stopClick() {
  controller_.Stop();
}

void TForm_main::BitBtn_pauseClick() {
  controller_.Pause();
}

void TForm_main::BitBtn_next_fileClick() {
  controller_.NextFile();
}

void TForm_main::BitBtn_pre_fileClick() {
  controller_.PreviousFile();
}

void TForm_main::BitBtn_next_albumClick() {
  controller_.NextAlbum();
}

void TForm_main::BitBtn_pre_albumClick() {
  controller_.PreviousAlbum();
}

void TForm_main::CheckBox_album_lockClick() {
  controller_.SetAlbumLock(CheckBox_album_lock->isChecked());
}

void TForm_main::CheckBox_repeatClick() {
  controller_.SetRepeat(CheckBox_repeat->isChecked());
}

void TForm_main::CheckBox_randomClick() {
  controller_.SetRandom(CheckBox_random->isChecked());
}

void TForm_main::ShowModes() {
  const struct {
    QCheckBox* box;
    bool on;
  } boxes[] = {{CheckBox_album_lock, controller_.AlbumLock()},
               {CheckBox_repeat, controller_.Repeat()},
               {CheckBox_random, controller_.Random()}};
  for (const auto& [box, on] : boxes) {
    // A box the user clicked already shows its state; one a remote changed follows it here.
    const QSignalBlocker quiet(box);
    box->setChecked(on);
  }
  if (controller_.AlbumLock()) {
    BitBtn_next_album->setText(QStringLiteral("LastFile "));
    BitBtn_pre_album->setText(QStringLiteral("TopFile "));
  } else {
    BitBtn_next_album->setText(QStringLiteral("NextAlbum "));
    BitBtn_pre_album->setText(QStringLiteral("PreAlbum "));
  }
}

void TForm_main::ModesChanged() {
  ShowModes();
}

void TForm_main::StatusChanged(const char* text, uint32_t rgb) {
  SetStatus(text, rgb);
}

void TForm_main::StartControlsEnabled(bool enabled) {
  SetStartButtonsEnabled(enabled);
}

void TForm_main::PlayEnabled(bool enabled) {
  BitBtn_play->setEnabled(enabled);
}

void TForm_main::Seeked(int64_t microseconds) {
  emit PlaybackSeeked(microseconds);
}

void TForm_main::PlaybackStateChanged() {
  emit PlaybackChanged();
}

// --- PlaybackHost ---

void TForm_main::ScheduleHeldPollStep() {
  step_timer_->start();
}

bool TForm_main::PollRunning() const {
  return Timer1->isActive();
}

bool TForm_main::DialogOpen() const {
  return QApplication::activeModalWidget() != nullptr;
}

}  // namespace veldan
