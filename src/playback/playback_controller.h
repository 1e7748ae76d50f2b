// The player's controller: what plays, what comes next and when play moves on, apart from any
// window.
//
// The decoder plays on its own and is only ever asked (decoder/vbmp3.h); the controller asks it
// at the status poll's rhythm (PollStep) and is the one place where play moves from track to
// track: at the end of a track, or when the track queued to follow has started. The window, the
// keys, dropped files and the remote control all act through the operations below, each with the
// rule for when it is allowed, and learn what changed through PlaybackListener; what only the
// window can do (let messages run, run the poll's next step from the event loop, load a starting
// argument) the controller asks of its PlaybackHost.
//
// The gapless queue is the controller's own. The track queued to follow is derived from the
// catalogue and the play modes as they were when it was queued, and that state is kept with it
// as a key; every operation and every poll compares the key with the state as it is now, and a
// queued track whose key no longer holds is dropped before it can join (a join already heard is
// caught up with first, so that what is shown agrees with what plays). A catalogue replaced by a
// dialog, a pick, a mode change or a rebuild therefore drops it without anyone asking.
//
// User-interface thread only. Several operations let pending window messages run (through the
// host and the listeners), so operations and polls can run inside one another; track openings
// never nest (a poll or a Play that comes while a track is being opened leaves the opening to the
// one running), and the poll's early step waits until no such operation is under way.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "decoder/vbmp3.h"
#include "platform/install_layout.h"

namespace veldan {

// How far the seek keys and the seek bar's accessible steps move play.
inline constexpr int32_t kSeekStepSeconds = 5;
inline constexpr int64_t kMicrosecondsPerSecond = 1000000;

// What the controller tells about play. Every call comes on the user-interface thread, from
// inside an operation or a poll; a listener may let messages run, but must not remove itself or
// another listener from inside a call.
class PlaybackListener {
 public:
  virtual ~PlaybackListener() = default;
  // The current catalogue entry (or the catalogue) changed: its titles are to be shown.
  virtual void CurrentEntryChanged() {}
  // The starting folder changed (a swapped disc is searched from its drive's root).
  virtual void StartingFolderChanged() {}
  // A track was opened, or the queued one joined, and plays; TrackInfo() describes it.
  virtual void TrackOpened() {}
  // The status text (program text) and its colour (0xRRGGBB).
  virtual void StatusChanged(const char* /*text*/, uint32_t /*rgb*/) {}
  // Elapsed seconds to show.
  virtual void ElapsedChanged(int32_t /*seconds*/) {}
  // Where the seek bar stands, in seconds of TrackInfo().length.
  virtual void BarMoved(int32_t /*seconds*/) {}
  // Play, Auto CD and Option together, or Play alone, may or may not be pressed now.
  virtual void StartControlsEnabled(bool /*enabled*/) {}
  virtual void PlayEnabled(bool /*enabled*/) {}
  // Album lock, Repeat or Random changed.
  virtual void ModesChanged() {}
  // A seek has been carried out (the seek bar, a key or a remote); microseconds is where play
  // now stands.
  virtual void Seeked(int64_t /*microseconds*/) {}
  // An operation called from outside, or a poll step, has ended: what plays, the modes or the
  // catalogue may differ from before.
  virtual void PlaybackStateChanged() {}
};

// What the controller needs of the window that hosts it.
class PlaybackHost {
 public:
  virtual ~PlaybackHost() = default;
  // Lets pending window messages run once.
  virtual void PumpMessages() = 0;
  // Calls RunHeldPollStep as soon as the event loop runs again (a zero-delay single shot).
  virtual void ScheduleHeldPollStep() = 0;
  // Whether the status poll's timer runs (a search or a disc wait stops it).
  virtual bool PollRunning() const = 0;
  // Whether a modal dialog is in front of the window.
  virtual bool DialogOpen() const = 0;
  // What a starting argument (a folder, a track or a play list; null for none) makes of the
  // folders, the title and the catalogue: the folders taken from it, the catalogue searched and
  // the argument's list or track applied.
  virtual void LoadArgument(const char* argument) = 0;
  // Whether an argument names something that can play.
  virtual bool ArgumentPlayable(const char* argument) = 0;
  // The settings kept between runs that play uses (the equalizer preset), applied at start-up.
  virtual void ApplyStoredSettings() = 0;
};

// Where the point play stands at is kept between runs (an installed copy's config folder; the
// controller has none for a portable copy). Save replaces the saved point whole.
class ResumeStore {
 public:
  virtual ~ResumeStore() = default;
  virtual void Save(const ResumePoint& point) = 0;
  // False, with *point cleared, when none is saved.
  virtual bool Load(ResumePoint* point) = 0;
};

// How often the resume point is saved while a track plays: a crash or a power cut loses at most
// this much of the listener's place.
inline constexpr std::chrono::seconds kResumeSaveInterval{10};

// The operations whose rule the controls show.
enum class PlaybackAction {
  kPlay,          // Play: enabled unless play runs on from track to track or a start is held
  kPause,         // always
  kStop,          // always
  kStep,          // the four navigation steps: always (they do nothing below two entries)
  kSeek,          // a track open with a known length, no opening under way, the bar not dragged
  kPlayArgument,  // not Busy()
};

class PlaybackController {
 public:
  explicit PlaybackController(PlaybackHost* host);
  PlaybackController(const PlaybackController&) = delete;
  PlaybackController& operator=(const PlaybackController&) = delete;

  void AddListener(PlaybackListener* listener);
  void RemoveListener(PlaybackListener* listener);

  // --- Rules ---

  bool Allowed(PlaybackAction action) const;
  // At least one entry to play / two entries to step between (the remote control's CanPlay and
  // CanGoNext).
  bool CanPlay() const;
  bool CanStep() const;
  // A track is open (playing or paused) and its length is known: there is a bar to seek on.
  bool TrackSeekable() const;
  // True while a modal dialog is open, a track is being opened, or a search or disc wait has the
  // status poll stopped, or start-up or an argument's search runs: work that would replace the
  // catalogue must wait.
  bool Busy() const;

  // --- Transport ---

  // From stopped: opens the current entry and plays on from track to track; from paused: plays
  // on. Ignores Allowed (a key or a remote checks it first).
  void Play();
  void Pause();
  // Play off, the decoder stopped and its track closed.
  void Stop();
  // Space and the remote controls' PlayPause: Pause while a track plays, else Play when allowed.
  void PlayOrPause();
  // The navigation steps. While play runs on they put the current index one step before the
  // wanted track and stop the decoder, and the poll's early step lands on it; otherwise they only
  // move the current entry. Nothing below two entries.
  void NextFile();
  void PreviousFile();
  // Under the album lock: the album's last and first file.
  void NextAlbum();
  void PreviousAlbum();
  // The selection dialog's result: a track chosen (picked) while play runs on is played next, as
  // a step onto it; returns false when nothing moves (the window then shows the current entry).
  bool PlaySelection(bool picked, int32_t chosen);

  // --- Play modes ---

  bool AlbumLock() const { return album_lock_; }
  bool Repeat() const { return repeat_; }
  bool Random() const { return random_; }
  void SetAlbumLock(bool on);
  void SetRepeat(bool on);
  void SetRandom(bool on);

  // --- Seeking ---

  // Moves a playing or paused track to seconds as a seek-bar drag does: the decoder seeks, a
  // track the user paused stays paused, anything else plays on; the listeners show the new
  // place. Clamped to the track. Does nothing and returns false unless Allowed(kSeek).
  bool SeekTo(int32_t seconds);
  // SeekTo to the microsecond, for remote controls.
  bool SeekToMicroseconds(int64_t microseconds);
  // The seek bar's drag: a press pauses the decoder and shows seconds, a move only moves the
  // target, and the release leaves the seek to the next poll in which neither a press nor a move
  // is still showing its target (both let messages run halfway through).
  void PressSeekBar(int32_t seconds);
  void MoveSeekBar(int32_t seconds);
  void ReleaseSeekBar();
  int32_t SeekTarget() const { return seek_target_; }
  bool SeekDragging() const { return seek_dragging_; }
  bool SeekPending() const { return seek_pending_; }
  // Elapsed seconds of the open track as the decoder reports them (0 when none is open), and
  // the same in microseconds from the samples heard.
  int32_t PlayingPosition() const;
  int64_t PlayingPositionMicroseconds() const;

  // --- ReplayGain and the resume point ---

  // How the tracks opened and queued from now on are levelled. kAuto (the default): the album's
  // gain while play goes in order or stays in one album, the track's under Random, where the
  // tracks heard one after another come from anywhere.
  void SetReplayGainSetting(ReplayGainSetting setting) { gain_setting_ = setting; }
  ReplayGainSetting GainSetting() const { return gain_setting_; }
  // The decoder's gain mode that the setting and the play modes give now.
  int32_t GainModeNow() const;
  // Where the resume point is kept; null (the default) keeps none. Set before StartUp for the
  // point to be taken up there: a start without an argument whose starting folder is the saved
  // point's begins at its track and position. From then on the point is saved at every track
  // change, every kResumeSaveInterval while a track plays, and at ShutDown.
  void SetResumeStore(ResumeStore* store) { resume_store_ = store; }
  // The clock the saving interval is measured by (steady_clock's by default).
  void SetClock(std::function<std::chrono::steady_clock::time_point()> now) {
    clock_ = std::move(now);
  }

  // --- Tracks ---

  // Waits for the medium, rebuilds the catalogue from the drive when the current file has gone
  // from a CD, opens and plays the current track. Stops play (continuous play off) when the
  // catalogue is or becomes empty.
  void OpenCurrentTrack();
  // OpenCurrentTrack with a fresh failure budget, then Play, Auto CD and Option disabled and
  // continuous play on (unless every entry has failed).
  void StartPlayback();
  // Start-up: the random generator and the decoder, the argument (null without one) loaded, the
  // stored settings applied, and play when there are tracks.
  void StartUp(const char* argument);
  // Plays what argument names as if the program had been started with it: play stops, the
  // argument is loaded and play starts when there are tracks. Returns false, changing nothing,
  // unless Allowed(kPlayArgument) and the host finds the argument playable.
  bool PlayArgument(const char* argument);
  // The decoder was used by someone else (a dialog's trial listening): whatever it held queued
  // is gone, and the queue is derived anew.
  void DecoderLentOut();
  // Play off, every wait ended for good, the decoder shut down.
  void ShutDown();

  // --- The status poll ---

  // One poll: a pending seek carried out, a join taken, the decoder's state read, play moved on
  // at the end of a track, what plays shown, the track that follows queued.
  void PollStep();
  // Runs a poll step as soon as the window is back in its event loop rather than at the next
  // tick. Never inside a poll, a track opening, a seek or another operation that lets messages
  // run halfway through (the step then follows once that has finished), and not while a search
  // or disc wait has the poll stopped (it follows when PollResumed is called).
  void RunPollStepSoon();
  // The host's zero-delay single shot.
  void RunHeldPollStep();
  // The host's poll timer runs again after a search or disc wait.
  void PollResumed();
  // While a start is held (Auto CD's disc discovery), Play is not allowed.
  void HoldStarts(bool held) { starts_held_ = held; }

  // --- State ---

  const vbmp3_info& TrackInfo() const { return track_info_; }
  bool UserPaused() const { return user_paused_; }
  int32_t LastPolledState() const { return last_polled_state_; }
  bool OpeningTrack() const { return opening_track_; }
  bool StartingUp() const { return starting_up_; }
  // The catalogue index queued to follow, -1 when none.
  int32_t QueuedIndex() const { return queued_index_; }

 private:
  class Entry;
  class PollStepHold;
  struct QueueKey {
    uint64_t catalogue = 0;  // count, current index and every entry's path
    bool album_lock = false;
    bool repeat = false;
    bool random = false;
    bool continuous_play = false;
    bool operator==(const QueueKey&) const = default;
  };
  QueueKey KeyNow() const;
  // Drops the queued track when its key no longer holds.
  void CheckQueueKey();
  // Forgets the queued track, catching up with a join already heard first.
  void DropQueue();
  void ForgetQueuedTrack();
  void QueueNextTrack();
  void TakeQueuedTrack(const vbmp3_info& info);
  bool QueuedFileUnchanged() const;
  void DropChangedQueuedTrack();

  void OpenTrack();
  bool CurrentEntryReadable() const;
  bool MediumMayHaveChanged() const;
  void CountFailedOpening();
  void ShowOpenedTrack();
  void ShowPlayStatus();
  void CarryOutPendingSeek();
  void ShowSeekDone(int64_t microseconds);
  // Where the seek bar stands: the drag's target too, as the bar is the drag's.
  void MoveBar(int32_t seconds);
  void SetStartControlsEnabled(bool enabled);
  void SetPlayEnabled(bool enabled);
  // The step shared by the navigation operations while play runs on.
  void StopForStep();
  void ReleasePollStepHold();
  void SetGainModeForNextTrack();
  // The saved point's track, when it is in the catalogue and the point is the starting
  // folder's, becomes the current entry, and its position is where the first opening starts.
  void TakeUpResumePoint();
  void SaveResumePoint();
  void SaveResumePointWhenDue();

  template <typename Call>
  void Tell(Call call);

  PlaybackHost* host_;
  std::vector<PlaybackListener*> listeners_;
  int32_t entry_depth_ = 0;

  vbmp3_info track_info_{};
  bool user_paused_ = false;
  int32_t last_polled_state_ = VBMP3_STOPPED;
  // On while a track is chosen and opened; a poll or opening that comes meanwhile stands back.
  bool opening_track_ = false;
  bool starting_up_ = false;
  bool playing_argument_ = false;
  bool play_enabled_ = true;
  bool starts_held_ = false;

  bool album_lock_ = false;
  bool repeat_ = false;
  bool random_ = false;

  // The failure budget: entries that failed to open in a row since a track last played, the
  // last of them, and whether play was given up; a rebuild for a changed medium since then.
  int32_t failed_in_a_row_ = 0;
  int32_t last_failed_index_ = -1;
  bool play_given_up_ = false;
  bool rebuilt_since_play_ = false;

  // The gapless queue: the index and path handed to vbmp3_queue, the device and inode its path
  // named then, the state it was derived from; tried once per track.
  int32_t queued_index_ = -1;
  char queued_path_[512] = {};
  uint64_t queued_device_ = 0;
  uint64_t queued_inode_ = 0;
  QueueKey queued_key_;
  bool queue_tried_ = false;

  // The poll's early step: the holds under way, and whether a step was held off by them (or by
  // a stopped poll).
  int32_t step_holds_ = 0;
  bool step_held_off_ = false;

  // The seek bar's drag: where it points, whether it is dragged, whether its seek waits for the
  // poll, and the press and move that are still showing their target.
  int32_t seek_target_ = 0;
  bool seek_dragging_ = false;
  bool seek_pending_ = false;
  bool press_guard_ = false;
  bool move_guard_ = false;

  ReplayGainSetting gain_setting_ = ReplayGainSetting::kAuto;

  ResumeStore* resume_store_ = nullptr;
  std::function<std::chrono::steady_clock::time_point()> clock_ = [] {
    return std::chrono::steady_clock::now();
  };
  // Where the first opening seeks to (0: from the start), and when the point was saved last; a
  // point is saved only once a track has played in this run, so a close during the first search
  // leaves the saved one alone.
  int64_t resume_position_us_ = 0;
  std::chrono::steady_clock::time_point last_resume_save_{};
  bool resume_point_played_ = false;
};

}  // namespace veldan
