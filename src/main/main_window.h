// The main window: what plays and where it stands, the transport buttons, the mode check boxes,
// the seek bar, the 250 ms status poll that moves play from track to track, and the popup menu.
//
// One instance for the whole program, reached through Form_main, which its constructor sets. The
// constructor only builds the window (controls, timer, menu, handler connections) and installs
// the window as the catalogue's CatalogueWindow; the start-up work runs after it. Controls and
// handlers carry the names the rest of the program knows them by. The player's own state (the
// user-pause flag, the last polled state, the seek bar's flags, the track information record,
// the album position values) lives here; what the whole program shares is veldan::g_state.
//
// Everything runs on the user-interface thread. Several operations let pending window messages
// run, so handlers and polls can run inside one another; track openings never nest (a poll or a
// Play press that comes while a track is being opened leaves the opening to the one running).
#pragma once

#include <QWidget>
#include <cstdint>
#include <string_view>

#include "catalogue/catalogue_window.h"
#include "decoder/vbmp3.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;

namespace veldan {

class BevelPanel;
class SeekBarImage;

// How far the seek keys and the seek bar's accessible steps move play.
inline constexpr int32_t kSeekStepSeconds = 5;
inline constexpr int64_t kMicrosecondsPerSecond = 1000000;

class TForm_main : public QWidget, public CatalogueWindow {
  Q_OBJECT

 public:
  explicit TForm_main(QWidget* parent = nullptr);
  ~TForm_main() override;

  // Display panels.
  BevelPanel* Panel1;
  QLabel* Label_time;
  QLabel* Label_total_time;
  QLabel* Label_status;
  QLabel* Label_stereo;
  BevelPanel* Panel2;
  QLabel* Label_album;
  QLabel* Label_song;

  // Control panel.
  BevelPanel* Panel3;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QPushButton* BitBtn_auto_cd;
  QPushButton* BitBtn_options;
  QPushButton* BitBtn_sel;
  BevelPanel* Panel4;
  SeekBarImage* Image_time_locate;
  QCheckBox* CheckBox_album_lock;
  QCheckBox* CheckBox_repeat;
  QCheckBox* CheckBox_random;
  QPushButton* BitBtn_pre_album;
  QPushButton* BitBtn_pre_file;
  QPushButton* BitBtn_stop;
  QPushButton* BitBtn_pause;
  QPushButton* BitBtn_play;
  QPushButton* BitBtn_next_file;
  QPushButton* BitBtn_next_album;

  // Non-visual parts.
  QTimer* Timer1;
  QMenu* PopupMenu1;
  QAction* Help1;
  QAction* N1;
  QAction* About1;

  // --- Track opening and the now-playing display ---

  // Writes seconds as time text into label ("Unknown " when negative), then lets messages run.
  void SetTimeLabel(QLabel* label, int32_t seconds);
  // Album and song labels, and the album position values, from the current entry's path.
  void ShowTrackTitles();
  // Waits for the medium, rebuilds the catalogue from the drive when the current file has gone,
  // opens and plays the current track and shows what the decoder reports about it. Stops play
  // (continuous-play off) when the catalogue is or becomes empty.
  void OpenCurrentTrack();
  // OpenCurrentTrack, then Play, Auto CD and Option disabled and continuous play on.
  void StartPlayback();

  // --- The track that follows without a gap ---

  // Forgets the track queued to follow the current one, so that the poll queues what follows
  // under the rules as they are now. A join the listener has already heard is caught up with
  // first, so the window agrees with what plays. Every handler that changes what comes next
  // calls it (track changes, Stop, the mode boxes, the seek, the dialogs).
  void DropQueuedTrack();
  // The catalogue index queued to follow, -1 when none.
  int32_t QueuedIndex() const { return queued_index_; }
  // The window title "VELDAN [" + starting folder + "]".
  void ShowStartingFolderInTitle();

  // --- Seek bar ---

  // Records position as the seek target and paints the bar for it; lets messages run.
  void DrawSeekBar(int32_t position);
  // Moves a playing or paused track to seconds as a seek-bar drag does: the decoder seeks, a
  // track the user paused stays paused, anything else plays on; the time and the bar show the
  // new place. Clamped to the track. Does nothing and returns false while no track is open, its
  // length is unknown, a track is being opened or the bar is dragged.
  bool SeekTo(int32_t seconds);
  // SeekTo to the microsecond, for remote controls; the window itself shows whole seconds.
  bool SeekToMicroseconds(int64_t microseconds);
  // Elapsed seconds of the open track as the decoder reports them (0 when none is open).
  int32_t PlayingPosition() const;
  // The same in microseconds, from the samples the listener has heard.
  int64_t PlayingPositionMicroseconds() const;

  // --- Start-up and shutdown ---

  // The start-up work, run once after the window is built and before it is shown: decoder,
  // folders from the command line (argument is null without one), first search, the argument's
  // list or track, the equalizer preset, and play when there are tracks.
  void FormCreate(const char* argument);
  // Plays what argument names (a folder, a track or a play list; a host or program path) as if
  // the program had been started with it: play stops, the starting folder becomes the
  // argument's, the catalogue is searched anew, the argument's list or track applied and play
  // starts when there are tracks. Returns false, changing nothing, while the window is busy and
  // for an argument that ExamineArgument does not find playable.
  bool PlayArgument(const char* argument);
  // True while a modal dialog is open, a track is being opened, or a search or disc wait has
  // the status poll stopped: work that would replace the catalogue must wait.
  bool Busy() const;
  // True while a catalogue build holds the status poll (a search or its disc wait runs).
  bool Searching() const { return poll_held_by_build_; }
  // True while FormCreate runs: the first search and the command line's argument.
  bool StartingUp() const { return starting_up_; }
  // The close request: play off, every wait ended for good, the decoder shut down. Never refuses.
  void FormCloseQuery();

  // --- The dialogs (dialog_building.cpp) ---

  enum class Dialog { kOption, kVersion, kSel, kDriveSel };
  // From now on each dialog is built, as a child of this window, when the program first needs
  // it. Until then (window tests that bring dialogs of their own) EnsureDialog builds nothing.
  void BuildDialogsOnDemand();
  // Builds the dialog unless it exists (its program-wide pointer is set) or building is off.
  void EnsureDialog(Dialog which);

  // --- Handlers ---

  void Timer1Timer();
  // Runs the poll as soon as the window is back in its event loop rather than at the next tick:
  // a handler has stopped the decoder to change the track, or an entry did not open and play
  // moves on. Never inside a poll, a track opening, a seek or another handler that lets messages
  // run halfway through (the step then follows once that has finished), and not while a search
  // or disc wait has the poll stopped (it follows when the poll runs again).
  void RunPollStepSoon();
  // Space and the remote controls' PlayPause: Pause while a track plays, else Play (when Play
  // can be pressed).
  void PlayOrPause();
  void BitBtn_playClick();
  void BitBtn_stopClick();
  void BitBtn_pauseClick();
  void BitBtn_next_fileClick();
  void BitBtn_pre_fileClick();
  void BitBtn_next_albumClick();
  void BitBtn_pre_albumClick();
  void CheckBox_album_lockClick();
  // The options dialog; after OK the catalogue is rebuilt from the chosen folder, nothing plays.
  void BitBtn_optionsClick();
  // Finds a disc, makes its drive the starting folder, searches it and plays it.
  void BitBtn_auto_cdClick();
  // The selection dialog, the help viewer and the version box (dialog_handlers.cpp).
  void BitBtn_selClick();
  void Help1Click();
  void About1Click();
  void Image_time_locateMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x,
                                  int y);
  void Image_time_locateMouseMove(Qt::KeyboardModifiers shift, int x, int y);
  void Image_time_locateMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

  // --- The player's state, for the dialogs that read it ---

  const vbmp3_info& TrackInfo() const { return track_info_; }
  // The current track's number within its album, as the song title shows it.
  int32_t TrackInAlbum() const { return track_in_album_; }
  bool UserPaused() const { return user_paused_; }
  int32_t LastPolledState() const { return last_polled_state_; }
  int32_t SeekTarget() const { return seek_target_; }
  bool SeekDragging() const { return seek_dragging_; }
  bool SeekPending() const { return seek_pending_; }
  bool OpeningTrack() const { return opening_track_; }

  // --- CatalogueWindow: what a catalogue build and a media wait need of the window ---

  void SetPollTimerRunning(bool running) override;
  void SetStatus(const char* text, uint32_t rgb) override;
  void PumpMessages() override;
  void WaitForMessages(int max_ms) override;
  void KeepAliveDuringSearch() override;

 signals:
  // A seek has been carried out (by the seek bar, a key or a remote control); microseconds is
  // where play now stands.
  void Seeked(int64_t microseconds);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  // A folder, track or list dropped on the window plays as that argument would (drops.cpp).
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildDisplayPanels();
  void BuildControlPanel();
  void BuildTimerAndMenu();
  void ConnectHandlers();
  void SetFocusOrder();
  // Keyboard shortcuts (keys.cpp) and the controls' accessible names (accessible_names.cpp).
  void BindKeys();
  void NameControls();
  // The steps shared by start-up and PlayArgument: folders, title, search, the argument applied.
  void LoadArgument(const char* argument);

  // Shows program text (Shift-JIS) on a label through the name codec.
  static void ShowProgramText(QLabel* label, std::string_view program_text);
  // Sets a label's font colour (0xRRGGBB).
  static void SetLabelColour(QLabel* label, uint32_t rgb);
  // "Play " + bit rate + "k" in aqua.
  void ShowPlayStatus();
  // Enables or disables Play, Auto CD and Option together.
  void SetStartButtonsEnabled(bool enabled);
  bool CurrentEntryReadable() const;
  // True when the current entry's missing file may mean a swapped disc: it lies on the starting
  // folder's drive, that drive is a CD drive, and no rebuild has happened since a track played.
  bool MediumMayHaveChanged() const;
  // Counts an entry that did not open; ends continuous play once nothing could ever play.
  void CountFailedOpening();
  // The opening itself; callers hold opening_track_.
  void OpenTrack();
  // What an opened track shows: status, titles from its tags, format, total time.
  void ShowOpenedTrack();
  // While playing: asks the decoder to open ahead the track the end-of-track step would open.
  void QueueNextTrack();
  // The queued track has started: the end-of-track step's bookkeeping, without opening it.
  void TakeQueuedTrack(const vbmp3_info& info);
  void ForgetQueuedTrack();
  // True while the queued entry's path names the file that was queued (same device and inode).
  bool QueuedFileUnchanged() const;
  // The queued entry's file was replaced or has gone: dropped, and not queued again for this
  // track, so that the end-of-track step deals with the entry as it does without a queue.
  void DropChangedQueuedTrack();
  void CarryOutPendingSeek();
  // Whether SeekTo may move play now, and what every seek does after the decoder's.
  bool SeekAllowed() const;
  void ShowSeekDone(int64_t microseconds);

  // Holds the poll's early step off while work that lets messages run is under way; the last
  // hold to end runs a step held off meanwhile.
  class PollStepHold {
   public:
    explicit PollStepHold(TForm_main* window) : window_(window) { ++window_->step_holds_; }
    ~PollStepHold() { window_->ReleasePollStepHold(); }
    PollStepHold(const PollStepHold&) = delete;
    PollStepHold& operator=(const PollStepHold&) = delete;

   private:
    TForm_main* window_;
  };
  void RunHeldPollStep();
  void ReleasePollStepHold();

  vbmp3_info track_info_{};

  // Album position values: written by ShowTrackTitles, read by OpenCurrentTrack.
  int32_t track_in_album_ = 0;
  int32_t tracks_in_album_ = 0;
  int32_t album_number_ = 0;
  int32_t album_count_ = 0;

  bool user_paused_ = false;
  int32_t last_polled_state_ = VBMP3_STOPPED;
  // On while a track is chosen and opened; a poll or opening that comes meanwhile stands back.
  bool opening_track_ = false;

  // The failure budget: entries that failed to open in a row since a track last played, the
  // last of them, and whether play was given up; a rebuild for a changed medium since then.
  int32_t failed_in_a_row_ = 0;
  int32_t last_failed_index_ = -1;
  bool play_given_up_ = false;
  bool rebuilt_since_play_ = false;

  // The gapless queue: the index and path handed to vbmp3_queue, the device and inode its path
  // named then; tried once per track.
  int32_t queued_index_ = -1;
  char queued_path_[512] = {};
  uint64_t queued_device_ = 0;
  uint64_t queued_inode_ = 0;
  bool queue_tried_ = false;

  // The poll's early step: a zero-delay single shot, the holds under way, and whether a step
  // was held off by them (or by a stopped poll).
  QTimer* step_timer_ = nullptr;
  int32_t step_holds_ = 0;
  bool step_held_off_ = false;

  int32_t seek_target_ = 0;
  // What the bar shows now, so that drawing the same picture again costs nothing.
  bool bar_painted_ = false;
  int32_t painted_position_ = 0;
  int32_t painted_length_ = 0;
  bool seek_dragging_ = false;
  bool seek_pending_ = false;
  bool press_guard_ = false;
  bool move_guard_ = false;

  bool poll_held_by_build_ = false;
  bool starting_up_ = false;
  bool playing_argument_ = false;

  bool dialogs_on_demand_ = false;
  bool shown_before_ = false;
};

// The one main window; set while it exists.
extern TForm_main* Form_main;

}  // namespace veldan
