// The selection dialog Form_sel: every catalogue entry by its full path, one picked by
// double-clicking it, and the catalogue saved as a list file or replaced by one.
//
// It reads and writes g_state's catalogue and current index directly and is shown modally by
// the main window's Select button, which then hands the choice on to the player's controller
// (PlaybackController::PlaySelection). Modal result 1 after a choice, 2 when closed without one.
// User-interface thread only.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

class QFileDialog;
class QLabel;
class QListWidget;
class QPushButton;
class QShowEvent;

namespace veldan {

class TForm_sel : public QDialog {
  Q_OBJECT

 public:
  // Runs a prepared file dialog and returns the host path the user chose, empty for cancel.
  // Tests replace it so that no real dialog opens.
  using FileDialogRunner = std::function<QString(QFileDialog& dialog)>;

  explicit TForm_sel(QWidget* parent = nullptr);
  ~TForm_sel() override;

  void FormShow();
  void ListBox1DblClick();
  void Button_saveClick();
  void Button_loadClick();

  // The catalogue index the last double-click chose; -1 before any choice in this showing.
  int32_t ChosenIndex() const { return chosen_index_; }

  void SetFileDialogRunner(FileDialogRunner runner);

  QListWidget* ListBox1;
  QLabel* Label1;
  QPushButton* Button_save;
  QPushButton* Button_load;
  // Built at the first save or load; null until then.
  QFileDialog* SaveDialog1 = nullptr;
  QFileDialog* OpenDialog1 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void reject() override;

 private:
  // Presets dialog on the default list file and runs it; the chosen file as program text into
  // out (512 bytes). False for cancel or a path that has no program text.
  bool RunFileDialog(QFileDialog& dialog, char* out);
  QFileDialog& SaveDialog();
  QFileDialog& OpenDialog();
  void FillList();

  FileDialogRunner run_file_dialog_;
  int32_t chosen_index_ = -1;
};

// The one instance; its constructor sets it and its destructor clears it.
extern TForm_sel* Form_sel;

}  // namespace veldan
