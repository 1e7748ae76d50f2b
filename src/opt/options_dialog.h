// The options dialog TForm_option: the folder where the search starts (drive, folder and file
// lists), re-reading the lists after a medium change, the ten-band equalizer with its preset file,
// and trial listening of the current track with the edited equalizer.
//
// One instance, Form_option, built as a child of the main window when the program first needs it
// (TForm_main::EnsureDialog) and shown modally from it; it stays alive, hidden, between showings,
// and its lists keep their state. The modal result
// is kModalOk or kModalCancel (also for Escape and the close box). Every close passes
// FormCloseQuery, which refuses while trial listening runs. A close asked for while the dialog
// waits for a disc ends that wait, and the dialog closes once the wait has returned.
//
// User-interface thread only. It reads and writes g_state (catalogue, chosen folder, equalizer
// settings, wait flags) and calls the decoder library directly.
#pragma once

#include <QDialog>

#include "decoder/vbmp3.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;

namespace veldan {

class DriveList;
class FileList;
class FolderList;

inline constexpr int kModalOk = 1;
inline constexpr int kModalCancel = 2;

class TForm_option : public QDialog {
  Q_OBJECT

 public:
  explicit TForm_option(QWidget* parent = nullptr);
  ~TForm_option() override;
  TForm_option(const TForm_option&) = delete;
  TForm_option& operator=(const TForm_option&) = delete;

  // Closes with the given modal result unless FormCloseQuery refuses. While a media wait runs,
  // it ends the wait and closes right after it.
  void done(int result) override;
  void accept() override;
  void reject() override;

  // Handlers.
  void FormShow();
  bool FormCloseQuery();
  bool WaitForSourceMedia();
  void EndSourceMediaWait();
  void DriveComboBox_sourceChange();
  void DirectoryListBox_sourceChange();
  void Button_media_changeClick();
  void RebuildSourceLists();
  void BitBtn1Click();
  void Button_testClick();
  void ShowEqualizerOnBars();
  void TrackBar1Change();
  void Button_eq_resetClick();
  void Button_eq_saveClick();

  bool TrialListening() const { return trial_listening_; }
  bool MediaWaitRunning() const { return waiting_; }

  QGroupBox* GroupBox1;
  DriveList* DriveComboBox_source;
  FolderList* DirectoryListBox_source;
  FileList* FileListBox_source;
  QPushButton* Button_media_change;
  QLabel* Label9;
  QLabel* Label10;
  QPushButton* BitBtn1;
  QPushButton* BitBtn2;
  QGroupBox* GroupBox2;
  QSlider* TrackBar1;
  QSlider* TrackBar2;
  QSlider* TrackBar3;
  QSlider* TrackBar4;
  QSlider* TrackBar5;
  QSlider* TrackBar6;
  QSlider* TrackBar7;
  QSlider* TrackBar8;
  QSlider* TrackBar9;
  QSlider* TrackBar10;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QLabel* Label5;
  QLabel* Label6;
  QLabel* Label7;
  QLabel* Label8;
  QPushButton* Button_eq_reset;
  QPushButton* Button_eq_save;
  QPushButton* Button_test;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CreateSourceControls();
  void CreateEqualizerControls();
  void SetTabOrder();
  void SetEqualizerEditable(bool editable);

  // What a source handler does once the drive answers, widest last.
  enum class SourceStep { kShowFiles, kReread, kSwitchDrive };
  // Waits for the drive list's drive, then takes the step; while a wait runs, the step is left
  // to that wait.
  void RunAfterSourceMedia(SourceStep step);

  QSlider* bars_[10];
  bool bar_update_guard_ = false;
  bool trial_listening_ = false;  // the trial-listening button's state: on while "停止" shows
  bool waiting_ = false;          // the dialog's media wait runs (never more than one)
  bool wait_cancelled_ = false;   // a close asked for during the wait ends it
  int pending_result_ = 0;        // that close's result, carried out once the wait has returned
  SourceStep next_step_ = SourceStep::kShowFiles;
  bool centred_ = false;
  char trial_path_[512] = {};
  vbmp3_info trial_info_ = {};
};

extern TForm_option* Form_option;

}  // namespace veldan
