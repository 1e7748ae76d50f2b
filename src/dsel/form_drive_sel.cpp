#include "dsel/form_drive_sel.h"

#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <cstring>
#include <string>

#include "catalogue/program_state.h"
#include "platform/drives.h"
#include "platform/name_codec.h"
#include "platform/paths.h"
#include "ui/button_pictures.h"
#include "ui/design_font.h"

namespace veldan {

TForm_drive_sel* Form_drive_sel = nullptr;

namespace {

// Designed outer size 338 x 178 less a classic sizeable frame (4 px sides, 19 px title bar).
constexpr int kClientWidth = 330;
constexpr int kClientHeight = 151;
constexpr int kVolumeNameSize = 256;

struct ButtonPlace {
  int left;
  int top;
};
// Buttons 1 to 4 down the first column, 5 to 8 down the second.
constexpr ButtonPlace kButtonPlaces[TForm_drive_sel::kButtonCount] = {
    {8, 24}, {8, 56}, {8, 88}, {8, 120}, {168, 24}, {168, 56}, {168, 88}, {168, 120}};

}  // namespace

TForm_drive_sel::TForm_drive_sel(QWidget* parent) : QDialog(parent) {
  Form_drive_sel = this;
  setObjectName("Form_drive_sel");
  setWindowTitle(QString::fromUtf8("再生したいドライブを選択してください"));
  setAccessibleName(QStringLiteral("Choose the drive to play"));
  setFont(DesignFont(kProportionalGothic, 12));
  resize(kClientWidth, kClientHeight);
  move(192, 107);

  Label1 = new QLabel(QString::fromUtf8("複数のドライブとメディアが見つかりました"), this);
  Label1->setObjectName("Label1");
  Label1->setGeometry(16, 8, 211, 12);

  // The Auto CD button's slanted disc, on every drive button.
  const QIcon disc = ButtonPictureIcon(ButtonPicture::kAutoCd);
  QPushButton** named[kButtonCount] = {&BitBtn1, &BitBtn2, &BitBtn3, &BitBtn4,
                                       &BitBtn5, &BitBtn6, &BitBtn7, &BitBtn8};
  for (int i = 0; i < kButtonCount; ++i) {
    auto* button = new QPushButton(QString::fromUtf8("メディアなし"), this);
    button->setObjectName(QString("BitBtn%1").arg(i + 1));
    button->setGeometry(kButtonPlaces[i].left, kButtonPlaces[i].top, 153, 25);
    button->setIcon(disc);
    button->setIconSize(QSize(kButtonPictureWidth, kButtonPictureHeight));
    button->setEnabled(false);
    button->setAutoDefault(false);
    buttons_[i] = button;
    *named[i] = button;
  }
  // Focus follows the buttons' numbers: down the first column, then down the second.
  for (int i = 1; i < kButtonCount; ++i) setTabOrder(buttons_[i - 1], buttons_[i]);

  void (TForm_drive_sel::*handlers[kButtonCount])() = {nullptr,
                                                       &TForm_drive_sel::BitBtn2Click,
                                                       &TForm_drive_sel::BitBtn3Click,
                                                       &TForm_drive_sel::BitBtn4Click,
                                                       &TForm_drive_sel::BitBtn5Click,
                                                       &TForm_drive_sel::BitBtn6Click,
                                                       &TForm_drive_sel::BitBtn7Click,
                                                       &TForm_drive_sel::BitBtn8Click};
  for (int i = 0; i < kButtonCount; ++i) {
    auto handler = handlers[i];
    connect(buttons_[i], &QPushButton::clicked, this, [this, handler] {
      if (handler != nullptr) (this->*handler)();
      done(1);
    });
  }
}

TForm_drive_sel::~TForm_drive_sel() {
  if (Form_drive_sel == this) Form_drive_sel = nullptr;
}

void TForm_drive_sel::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) FormShow();
  QDialog::showEvent(event);
}

void TForm_drive_sel::reject() {
  done(2);
}

void TForm_drive_sel::FormShow() {
  FillDriveButtons();
}

void TForm_drive_sel::FillDriveButtons() {
  int32_t& count = g_state.ready_drive_count;
  if (count < 0) count = 0;
  for (int i = 0; i < kButtonCount; ++i) {
    if (i >= count) buttons_[i]->setEnabled(false);
  }
  if (count > kButtonCount) count = kButtonCount;
  for (int i = 0; i < count; ++i) {
    const DriveRoot root(g_state.ready_drives[i]);
    char volume_name[kVolumeNameSize];
    if (!VolumeLabel(root.c_str(), volume_name, sizeof volume_name)) volume_name[0] = '\0';
    std::string caption(root.c_str());
    caption += '(';
    caption += std::string_view(volume_name, strnlen(volume_name, sizeof volume_name));
    caption += ')';
    buttons_[i]->setText(QString::fromStdString(ProgramTextToDisplay(caption)));
    buttons_[i]->setEnabled(true);
  }
}

void TForm_drive_sel::ChooseElement(int element) {
  g_state.ready_drives[0] = g_state.ready_drives[element];
}

void TForm_drive_sel::BitBtn2Click() {
  ChooseElement(1);
}
void TForm_drive_sel::BitBtn3Click() {
  ChooseElement(2);
}
void TForm_drive_sel::BitBtn4Click() {
  ChooseElement(3);
}
void TForm_drive_sel::BitBtn5Click() {
  ChooseElement(4);
}
void TForm_drive_sel::BitBtn6Click() {
  ChooseElement(5);
}
void TForm_drive_sel::BitBtn7Click() {
  ChooseElement(6);
}
void TForm_drive_sel::BitBtn8Click() {
  ChooseElement(7);
}

}  // namespace veldan
