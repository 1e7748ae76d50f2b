// The version box Form_version: a frameless panel with the program's name, version, tagline and
// rights notice over a picture, closed by its one button with modal result 1.
//
// Shown modally by the main window's popup menu (ShowVersionBox). User-interface thread only.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace veldan {

class TForm_version : public QDialog {
  Q_OBJECT

 public:
  explicit TForm_version(QWidget* parent = nullptr);
  ~TForm_version() override;

  QFrame* Panel1;
  QLabel* Image1;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QLabel* Label5;
  QLabel* Label6;
  QPushButton* Button1;

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;
};

// The one instance; its constructor sets it and its destructor clears it.
extern TForm_version* Form_version;

// What the popup menu's version entry does: shows Form_version modally and returns when it
// closes. Nothing is read from it afterwards. Does nothing before Form_version exists.
void ShowVersionBox();

}  // namespace veldan
