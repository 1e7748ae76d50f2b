// The drive selection dialog Form_drive_sel: one button per CD-ROM drive that holds a medium,
// labelled with the drive's root and volume label, for automatic CD play to choose from.
//
// Reads g_state.ready_drives and ready_drive_count when shown (lowering the count to 8); a
// choice moves the chosen letter into element 0. Modal result 1 for every drive button, 2 when
// the window is closed without a choice. User-interface thread only.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QShowEvent;

namespace veldan {

class TForm_drive_sel : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kButtonCount = 8;

  explicit TForm_drive_sel(QWidget* parent = nullptr);
  ~TForm_drive_sel() override;

  void FormShow();
  // Disables the buttons beyond the ready-drive count (keeping their captions) and labels and
  // enables one button per ready drive.
  void FillDriveButtons();

  void BitBtn2Click();
  void BitBtn3Click();
  void BitBtn4Click();
  void BitBtn5Click();
  void BitBtn6Click();
  void BitBtn7Click();
  void BitBtn8Click();

  QLabel* Label1;
  QPushButton* BitBtn1;
  QPushButton* BitBtn2;
  QPushButton* BitBtn3;
  QPushButton* BitBtn4;
  QPushButton* BitBtn5;
  QPushButton* BitBtn6;
  QPushButton* BitBtn7;
  QPushButton* BitBtn8;

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;

 private:
  // Button k (1-based) stands for ready-drive element k - 1; choosing it makes that element 0.
  void ChooseElement(int element);
  QPushButton* buttons_[kButtonCount];
};

// The one instance; its constructor sets it and its destructor clears it.
extern TForm_drive_sel* Form_drive_sel;

}  // namespace veldan
