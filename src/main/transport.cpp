// The transport buttons, the album lock and the 250 ms status poll of the main window.
//
// The decoder plays on its own and is only ever asked; the poll is the one place where play moves
// on to another track: at the end of a track, or when the track queued to follow has started
// (gapless_queue.cpp). A button that changes the track while play runs drops the queued track,
// puts the current index one step before the wanted track and stops the decoder, and the poll's
// advance lands on it. That poll, and the one after an entry that did not open, is not left to
// the next tick: it runs as soon as the window is back in its event loop, so a change is heard
// at once and a run of unplayable entries is passed over without a tick of silence each. Each
// such poll is one step from the event loop, never a call inside the last: a catalogue of
// nothing but failures ends in one short burst, with the window's events served in between.
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "catalogue/navigation.h"
#include "catalogue/program_state.h"
#include "main/flag_scope.h"
#include "main/main_window.h"

namespace veldan {

void TForm_main::Timer1Timer() {
  PollStepHold hold(this);
  // While a track is being opened the opening owns the decoder and the display; this poll would
  // find the decoder stopped and open another track inside it.
  if (opening_track_) return;

  if (seek_pending_ && !press_guard_ && !move_guard_) CarryOutPendingSeek();

  // A join comes before the state: the joined track may have ended already, and its end is then
  // the end-of-track step's as usual.
  vbmp3_info started{};
  if (vbmp3_queuedStarted(&started) != 0 && queued_index_ >= 0) {
    TakeQueuedTrack(started);
  } else if (queued_index_ >= 0 && !QueuedFileUnchanged()) {
    DropChangedQueuedTrack();
  }

  int32_t position = 0;
  const int32_t state = vbmp3_getState(&position);
  last_polled_state_ = state;

  TrackCatalogue& catalogue = g_state.catalogue;
  if (state == VBMP3_STOPPED) ForgetQueuedTrack();
  if (state == VBMP3_STOPPED && g_state.continuous_play) {
    // From here to the opened track counts as one opening: painting the bar already lets
    // messages run, and a Play pressed then must not open a track of its own before this one.
    FlagScope opening(&opening_track_);
    DrawSeekBar(0);
    if (!CheckBox_repeat->isChecked()) {
      catalogue.current = NextFileIndex(catalogue.current, CheckBox_album_lock->isChecked(),
                                        CheckBox_random->isChecked());
      ShowTrackTitles();
    }
    OpenTrack();
    SetStartButtonsEnabled(false);
  } else if (state == VBMP3_STOPPED) {
    SetStatus("Stop ", kColourRed);
    SetStartButtonsEnabled(true);
    SetTimeLabel(Label_time, 0);
    DrawSeekBar(0);
  } else if (state == VBMP3_PLAYING) {
    SetTimeLabel(Label_time, position);
    ShowPlayStatus();
    DrawSeekBar(position);
    BitBtn_play->setEnabled(false);
    QueueNextTrack();
  } else if (state == VBMP3_PAUSED) {
    if (user_paused_) {
      SetStatus("Pause ", kColourYellow);
      BitBtn_play->setEnabled(true);
    } else {
      SetStatus("Seek ", kColourLime);
    }
  }
  QCoreApplication::processEvents();
}

void TForm_main::RunPollStepSoon() {
  step_timer_->start();
}

void TForm_main::RunHeldPollStep() {
  if (g_state.closing) return;
  if (step_holds_ > 0 || opening_track_ || !Timer1->isActive()) {
    step_held_off_ = true;
    return;
  }
  Timer1Timer();
}

void TForm_main::ReleasePollStepHold() {
  if (--step_holds_ > 0 || !step_held_off_) return;
  step_held_off_ = false;
  step_timer_->start();
}

void TForm_main::BitBtn_playClick() {
  // A first track that does not open asks for the next step; it follows this handler.
  PollStepHold hold(this);
  user_paused_ = false;
  int32_t position = 0;
  const int32_t state = vbmp3_getState(&position);
  if (state == VBMP3_STOPPED) {
    if (g_state.catalogue.count >= 1) StartPlayback();
  } else if (state == VBMP3_PAUSED) {
    ShowPlayStatus();
    vbmp3_restart();
    BitBtn_play->setEnabled(false);
    g_state.continuous_play = true;
  }
  QCoreApplication::processEvents();
}

void TForm_main::BitBtn_stopClick() {
  DropQueuedTrack();
  g_state.continuous_play = false;
  vbmp3_stop();
  vbmp3_close();
}

void TForm_main::BitBtn_pauseClick() {
  vbmp3_pause();
  user_paused_ = true;
}

void TForm_main::BitBtn_next_fileClick() {
  DropQueuedTrack();
  TrackCatalogue& catalogue = g_state.catalogue;
  if (catalogue.count < 2) return;
  if (g_state.continuous_play) {
    vbmp3_stop();
    RunPollStepSoon();
    return;
  }
  catalogue.current = NextFileIndex(catalogue.current, CheckBox_album_lock->isChecked(),
                                    CheckBox_random->isChecked());
  ShowTrackTitles();
}

void TForm_main::BitBtn_pre_fileClick() {
  DropQueuedTrack();
  TrackCatalogue& catalogue = g_state.catalogue;
  if (catalogue.count < 2) return;
  const bool lock = CheckBox_album_lock->isChecked();
  if (g_state.continuous_play) {
    catalogue.current = PrevFileIndex(PrevFileIndex(catalogue.current, lock), lock);
    vbmp3_stop();
    RunPollStepSoon();
    return;
  }
  catalogue.current = PrevFileIndex(catalogue.current, lock);
  ShowTrackTitles();
}

void TForm_main::BitBtn_next_albumClick() {
  DropQueuedTrack();
  TrackCatalogue& catalogue = g_state.catalogue;
  if (catalogue.count < 2) return;
  const bool lock = CheckBox_album_lock->isChecked();
  if (g_state.continuous_play) {
    int32_t index = AlbumLastIndex(catalogue.current);
    if (lock) index = PrevFileIndex(index, lock);
    catalogue.current = index;
    vbmp3_stop();
    RunPollStepSoon();
    return;
  }
  if (lock) {
    catalogue.current = AlbumLastIndex(catalogue.current);
  } else {
    const int32_t next = NextAlbumFirstIndex(catalogue.current);
    catalogue.current = next == -1 ? catalogue.count - 1 : next;
  }
  ShowTrackTitles();
}

void TForm_main::BitBtn_pre_albumClick() {
  DropQueuedTrack();
  TrackCatalogue& catalogue = g_state.catalogue;
  if (catalogue.count < 2) return;
  const bool lock = CheckBox_album_lock->isChecked();
  const int32_t target =
      lock ? AlbumFirstIndex(catalogue.current) : PrevAlbumFirstIndex(catalogue.current);
  if (g_state.continuous_play) {
    catalogue.current = PrevFileIndex(target, lock);
    vbmp3_stop();
    RunPollStepSoon();
    return;
  }
  catalogue.current = target;
  ShowTrackTitles();
}

void TForm_main::CheckBox_album_lockClick() {
  DropQueuedTrack();
  if (CheckBox_album_lock->isChecked()) {
    BitBtn_next_album->setText(QStringLiteral("LastFile "));
    BitBtn_pre_album->setText(QStringLiteral("TopFile "));
  } else {
    BitBtn_next_album->setText(QStringLiteral("NextAlbum "));
    BitBtn_pre_album->setText(QStringLiteral("PreAlbum "));
  }
}

}  // namespace veldan
