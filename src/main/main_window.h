// The main window: what plays and where it stands, the transport buttons, the mode check boxes,
// the seek bar, the 250 ms status poll's timer, and the popup menu.
//
// One instance for the whole program, reached through Form_main, which its constructor sets. The
// constructor only builds the window (controls, timer, menu, handler connections) and installs
// the window as the catalogue's CatalogueWindow; the start-up work runs after it. Controls and
// handlers carry the names the rest of the program knows them by. What plays, what comes next and
// when play moves on is the player's controller's (playback/playback_controller.h), which the
// window hosts: the handlers call it and the window shows what it tells; the window keeps only
// what it shows (the album position values, the seek bar's painted picture). What the whole
// program shares is veldan::g_state.
//
// Everything runs on the user-interface thread. Several operations let pending window messages
// run, so handlers and polls can run inside one another (see the controller's notes).
#pragma once

#include <QWidget>
#include <cstdint>
#include <string_view>

#include "catalogue/catalogue_window.h"
#include "decoder/vbmp3.h"
#include "playback/playback_controller.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;

namespace veldan {

class BevelPanel;
class SeekBarImage;

class TForm_main : public QWidget,
                   public CatalogueWindow,
                   private PlaybackHost,
                   private PlaybackListener {
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

  // The player's controller this window hosts; keys, drops and remote controls act through it.
  PlaybackController& Controller() { return controller_; }
  const PlaybackController& Controller() const { return controller_; }

  // --- The now-playing display ---

  // Writes seconds as time text into label ("Unknown " when negative), then lets messages run.
  void SetTimeLabel(QLabel* label, int32_t seconds);
  // Album and song labels, and the album position values, from the current entry's path.
  void ShowTrackTitles();
  // The window title "VELDAN [" + starting folder + "]".
  void ShowStartingFolderInTitle();
  // Paints the seek bar for position (seconds of the open track); lets messages run.
  void DrawSeekBar(int32_t position);

  // --- Start-up and shutdown ---

  // The start-up work, run once after the window is built and before it is shown: decoder,
  // folders from the command line (argument is null without one), first search, the argument's
  // list or track, the equalizer preset, and play when there are tracks.
  void FormCreate(const char* argument);
  // True while a catalogue build holds the status poll (a search or its disc wait runs).
  bool Searching() const { return poll_held_by_build_; }
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

  // The status poll's tick: the controller's poll step.
  void Timer1Timer();
  void BitBtn_playClick();
  void BitBtn_stopClick();
  void BitBtn_pauseClick();
  void BitBtn_next_fileClick();
  void BitBtn_pre_fileClick();
  void BitBtn_next_albumClick();
  void BitBtn_pre_albumClick();
  // The mode boxes hand their state to the controller; the album lock also renames the album
  // buttons.
  void CheckBox_album_lockClick();
  void CheckBox_repeatClick();
  void CheckBox_randomClick();
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

  // --- CatalogueWindow: what a catalogue build and a media wait need of the window ---

  void SetPollTimerRunning(bool running) override;
  void SetStatus(const char* text, uint32_t rgb) override;
  void PumpMessages() override;
  void WaitForMessages(int max_ms) override;
  void KeepAliveDuringSearch() override;

 signals:
  // The controller's news for the window's neighbours (the remote control), which live as long
  // as the window's children do: a seek carried out, with where play now stands; and the end of
  // an operation or poll step, after which what plays, the modes or the catalogue may differ.
  void PlaybackSeeked(int64_t microseconds);
  void PlaybackChanged();

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
  // Shows program text (Shift-JIS) on a label through the name codec.
  static void ShowProgramText(QLabel* label, std::string_view program_text);
  // Sets a label's font colour (0xRRGGBB).
  static void SetLabelColour(QLabel* label, uint32_t rgb);
  // Enables or disables Play, Auto CD and Option together.
  void SetStartButtonsEnabled(bool enabled);
  // The check boxes and the album buttons' captions as the controller's modes are.
  void ShowModes();

  // --- PlaybackHost ---
  void ScheduleHeldPollStep() override;
  bool PollRunning() const override;
  bool DialogOpen() const override;
  void LoadArgument(const char* argument) override;
  bool ArgumentPlayable(const char* argument) override;
  void ApplyStoredSettings() override;

  // --- PlaybackListener: what the window shows ---
  void CurrentEntryChanged() override;
  void StartingFolderChanged() override;
  void TrackOpened() override;
  void StatusChanged(const char* text, uint32_t rgb) override;
  void ElapsedChanged(int32_t seconds) override;
  void BarMoved(int32_t seconds) override;
  void StartControlsEnabled(bool enabled) override;
  void PlayEnabled(bool enabled) override;
  void ModesChanged() override;
  void Seeked(int64_t microseconds) override;
  void PlaybackStateChanged() override;

  PlaybackController controller_{this};

  // Album position values: written by ShowTrackTitles, read when an opened track is shown.
  int32_t track_in_album_ = 0;
  int32_t tracks_in_album_ = 0;
  int32_t album_number_ = 0;
  int32_t album_count_ = 0;

  // The poll's early step: a zero-delay single shot.
  QTimer* step_timer_ = nullptr;

  // What the bar shows now, so that drawing the same picture again costs nothing.
  bool bar_painted_ = false;
  int32_t painted_position_ = 0;
  int32_t painted_length_ = 0;

  bool poll_held_by_build_ = false;

  bool dialogs_on_demand_ = false;
  bool shown_before_ = false;
};

// The one main window; set while it exists.
extern TForm_main* Form_main;

}  // namespace veldan
