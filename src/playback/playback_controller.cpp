// The transport operations, the play modes, the status poll and its early step.
//
// A step that changes the track while play runs drops the queued track, puts the current index
// one step before the wanted track and stops the decoder, and the poll's advance lands on it.
// That poll, and the one after an entry that did not open, is not left to the next tick: it runs
// as soon as the window is back in its event loop, so a change is heard at once and a run of
// unplayable entries is passed over without a tick of silence each. Each such poll is one step
// from the event loop, never a call inside the last: a catalogue of nothing but failures ends in
// one short burst, with the window's events served in between.
#include "playback/playback_controller.h"

#include <algorithm>
#include <ctime>

#include "catalogue/catalogue_window.h"
#include "catalogue/navigation.h"
#include "catalogue/program_state.h"
#include "playback/controller_scopes.h"
#include "playback/flag_scope.h"

namespace veldan {

PlaybackController::PlaybackController(PlaybackHost* host) : host_(host) {}

void PlaybackController::AddListener(PlaybackListener* listener) {
  listeners_.push_back(listener);
}

void PlaybackController::RemoveListener(PlaybackListener* listener) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

// --- Rules ---

bool PlaybackController::Allowed(PlaybackAction action) const {
  switch (action) {
    case PlaybackAction::kPlay:
      return play_enabled_ && !starts_held_;
    case PlaybackAction::kPause:
    case PlaybackAction::kStop:
    case PlaybackAction::kStep:
      return true;
    case PlaybackAction::kSeek:
      return TrackSeekable() && !opening_track_ && !seek_dragging_;
    case PlaybackAction::kPlayArgument:
      return !Busy();
  }
  return false;
}

bool PlaybackController::CanPlay() const {
  return g_state.catalogue.count >= 1;
}

bool PlaybackController::CanStep() const {
  return g_state.catalogue.count >= 2;
}

bool PlaybackController::TrackSeekable() const {
  int32_t position = 0;
  // Without a known length there is no bar to seek on either.
  return vbmp3_getState(&position) != VBMP3_STOPPED && track_info_.length > 0;
}

bool PlaybackController::Busy() const {
  return host_->DialogOpen() || opening_track_ || !host_->PollRunning() || g_state.closing ||
         starting_up_ || playing_argument_;
}

void PlaybackController::SetStartControlsEnabled(bool enabled) {
  play_enabled_ = enabled;
  Tell([enabled](PlaybackListener* l) { l->StartControlsEnabled(enabled); });
}

void PlaybackController::MoveBar(int32_t seconds) {
  seek_target_ = seconds;
  Tell([seconds](PlaybackListener* l) { l->BarMoved(seconds); });
}

void PlaybackController::SetPlayEnabled(bool enabled) {
  play_enabled_ = enabled;
  Tell([enabled](PlaybackListener* l) { l->PlayEnabled(enabled); });
}

// --- The status poll ---

void PlaybackController::PollStep() {
  Entry entry(this);
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
    // From here to the opened track counts as one opening: showing the bar already lets messages
    // run, and a Play pressed then must not open a track of its own before this one.
    FlagScope opening(&opening_track_);
    MoveBar(0);
    if (!repeat_) {
      catalogue.current = NextFileIndex(catalogue.current, album_lock_, random_);
      Tell([](PlaybackListener* l) { l->CurrentEntryChanged(); });
    }
    OpenTrack();
    SetStartControlsEnabled(false);
  } else if (state == VBMP3_STOPPED) {
    Tell([](PlaybackListener* l) { l->StatusChanged("Stop ", kColourRed); });
    SetStartControlsEnabled(true);
    Tell([](PlaybackListener* l) { l->ElapsedChanged(0); });
    MoveBar(0);
  } else if (state == VBMP3_PLAYING) {
    Tell([position](PlaybackListener* l) { l->ElapsedChanged(position); });
    ShowPlayStatus();
    MoveBar(position);
    SetPlayEnabled(false);
    QueueNextTrack();
    SaveResumePointWhenDue();
  } else if (state == VBMP3_PAUSED) {
    if (user_paused_) {
      Tell([](PlaybackListener* l) { l->StatusChanged("Pause ", kColourYellow); });
      SetPlayEnabled(true);
    } else {
      Tell([](PlaybackListener* l) { l->StatusChanged("Seek ", kColourLime); });
    }
  }
  host_->PumpMessages();
}

void PlaybackController::RunPollStepSoon() {
  host_->ScheduleHeldPollStep();
}

void PlaybackController::RunHeldPollStep() {
  if (g_state.closing) return;
  if (step_holds_ > 0 || opening_track_ || !host_->PollRunning()) {
    step_held_off_ = true;
    return;
  }
  PollStep();
}

void PlaybackController::ReleasePollStepHold() {
  if (--step_holds_ > 0 || !step_held_off_) return;
  step_held_off_ = false;
  host_->ScheduleHeldPollStep();
}

void PlaybackController::PollResumed() {
  // A step asked for while a search or disc wait had the poll stopped.
  if (step_held_off_ && step_holds_ == 0) {
    step_held_off_ = false;
    host_->ScheduleHeldPollStep();
  }
}

// --- Transport ---

void PlaybackController::Play() {
  Entry entry(this);
  // A first track that does not open asks for the next step; it follows this operation.
  PollStepHold hold(this);
  user_paused_ = false;
  int32_t position = 0;
  const int32_t state = vbmp3_getState(&position);
  if (state == VBMP3_STOPPED) {
    if (g_state.catalogue.count >= 1) StartPlayback();
  } else if (state == VBMP3_PAUSED) {
    ShowPlayStatus();
    vbmp3_restart();
    SetPlayEnabled(false);
    g_state.continuous_play = true;
  }
  host_->PumpMessages();
}

void PlaybackController::Stop() {
  Entry entry(this);
  DropQueue();
  g_state.continuous_play = false;
  vbmp3_stop();
  vbmp3_close();
}

void PlaybackController::Pause() {
  Entry entry(this);
  vbmp3_pause();
  user_paused_ = true;
}

void PlaybackController::PlayOrPause() {
  int32_t position = 0;
  if (vbmp3_getState(&position) == VBMP3_PLAYING) {
    Pause();
  } else if (Allowed(PlaybackAction::kPlay)) {
    // Play is not allowed while play runs on from track to track; a press then would open the
    // track before the one the poll is about to open.
    Play();
  }
}

void PlaybackController::StopForStep() {
  vbmp3_stop();
  RunPollStepSoon();
}

void PlaybackController::NextFile() {
  Entry entry(this);
  DropQueue();
  TrackCatalogue& catalogue = g_state.catalogue;
  if (catalogue.count < 2) return;
  if (g_state.continuous_play) {
    StopForStep();
    return;
  }
  catalogue.current = NextFileIndex(catalogue.current, album_lock_, random_);
  Tell([](PlaybackListener* l) { l->CurrentEntryChanged(); });
}

void PlaybackController::PreviousFile() {
  Entry entry(this);
  DropQueue();
  TrackCatalogue& catalogue = g_state.catalogue;
  if (catalogue.count < 2) return;
  if (g_state.continuous_play) {
    catalogue.current = PrevFileIndex(PrevFileIndex(catalogue.current, album_lock_), album_lock_);
    StopForStep();
    return;
  }
  catalogue.current = PrevFileIndex(catalogue.current, album_lock_);
  Tell([](PlaybackListener* l) { l->CurrentEntryChanged(); });
}

void PlaybackController::NextAlbum() {
  Entry entry(this);
  DropQueue();
  TrackCatalogue& catalogue = g_state.catalogue;
  if (catalogue.count < 2) return;
  if (g_state.continuous_play) {
    int32_t index = AlbumLastIndex(catalogue.current);
    if (album_lock_) index = PrevFileIndex(index, album_lock_);
    catalogue.current = index;
    StopForStep();
    return;
  }
  if (album_lock_) {
    catalogue.current = AlbumLastIndex(catalogue.current);
  } else {
    const int32_t next = NextAlbumFirstIndex(catalogue.current);
    catalogue.current = next == -1 ? catalogue.count - 1 : next;
  }
  Tell([](PlaybackListener* l) { l->CurrentEntryChanged(); });
}

void PlaybackController::PreviousAlbum() {
  Entry entry(this);
  DropQueue();
  TrackCatalogue& catalogue = g_state.catalogue;
  if (catalogue.count < 2) return;
  const int32_t target =
      album_lock_ ? AlbumFirstIndex(catalogue.current) : PrevAlbumFirstIndex(catalogue.current);
  if (g_state.continuous_play) {
    catalogue.current = PrevFileIndex(target, album_lock_);
    StopForStep();
    return;
  }
  catalogue.current = target;
  Tell([](PlaybackListener* l) { l->CurrentEntryChanged(); });
}

bool PlaybackController::PlaySelection(bool picked, int32_t chosen) {
  Entry entry(this);
  // A pick or a loaded list changes what comes next.
  DropQueue();
  TrackCatalogue& catalogue = g_state.catalogue;
  if (!picked || !g_state.continuous_play || chosen < 0 || chosen >= catalogue.count) {
    Tell([](PlaybackListener* l) { l->CurrentEntryChanged(); });
    return false;
  }
  catalogue.current = PrevFileIndex(chosen, album_lock_);
  // The chosen track is heard at once, not at the next tick.
  StopForStep();
  return true;
}

// --- Play modes ---

void PlaybackController::SetAlbumLock(bool on) {
  Entry entry(this);
  if (album_lock_ == on) return;
  album_lock_ = on;
  Tell([](PlaybackListener* l) { l->ModesChanged(); });
}

void PlaybackController::SetRepeat(bool on) {
  Entry entry(this);
  if (repeat_ == on) return;
  repeat_ = on;
  Tell([](PlaybackListener* l) { l->ModesChanged(); });
}

void PlaybackController::SetRandom(bool on) {
  Entry entry(this);
  if (random_ == on) return;
  random_ = on;
  Tell([](PlaybackListener* l) { l->ModesChanged(); });
}

// --- Start-up, arguments, shutdown ---

void PlaybackController::StartUp(const char* argument) {
  Entry entry(this);
  FlagScope starting(&starting_up_);
  SeedRandom(static_cast<unsigned>(std::time(nullptr)));
  vbmp3_init();
  host_->LoadArgument(argument);
  host_->ApplyStoredSettings();
  // A start with an argument plays what it names, from its start.
  if (argument == nullptr || argument[0] == '\0') TakeUpResumePoint();
  if (g_state.catalogue.count > 0 && !g_state.closing) {
    StartPlayback();
    host_->PumpMessages();
  }
}

bool PlaybackController::PlayArgument(const char* argument) {
  if (!Allowed(PlaybackAction::kPlayArgument) || argument == nullptr ||
      !host_->ArgumentPlayable(argument)) {
    return false;
  }
  Entry entry(this);
  // Its search lets remote calls and drops run; they must not start a second one inside it.
  FlagScope playing(&playing_argument_);
  Stop();
  user_paused_ = false;
  host_->LoadArgument(argument);
  if (g_state.catalogue.count > 0 && !g_state.closing) StartPlayback();
  return true;
}

void PlaybackController::DecoderLentOut() {
  Entry entry(this);
  DropQueue();
}

void PlaybackController::ShutDown() {
  g_state.continuous_play = false;
  g_state.wait_abort = true;
  // An operation interrupted in a media wait may go on to work that waits again (a build after
  // an Auto CD wait); the closing flag ends those waits too, so the program always ends.
  g_state.closing = true;
  // While the track is still open, so that its position is known.
  SaveResumePoint();
  vbmp3_stop();
  vbmp3_close();
  vbmp3_free();
}

}  // namespace veldan
