#include "opt/options_dialog.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <cstring>
#include <iterator>
#include <string_view>

#include "catalogue/media_wait.h"
#include "catalogue/program_state.h"
#include "opt/equalizer_bar_accessible.h"
#include "opt/equalizer_preset.h"
#include "opt/equalizer_setting.h"
#include "platform/colours.h"
#include "platform/drives.h"
#include "platform/name_codec.h"
#include "platform/paths.h"
#include "ui/design_font.h"
#include "ui/drive_list.h"
#include "ui/file_list.h"
#include "ui/folder_list.h"

namespace veldan {

TForm_option* Form_option = nullptr;

namespace {

const char kCaption[] = "VELDAN\u3000オプション設定";
const char kWaitingCaption[] = "メディア認識待機中";
const char kListenCaption[] = "試聴";
const char kStopCaption[] = "停止";
const char kStopFirstMessage[] = "試聴を停止してから閉じてください";

// How long one pass of a media wait may sleep waiting for window messages before it probes the
// drive again.
constexpr int kMediaProbeMs = 100;

QString Text(const char* utf8) {
  return QString::fromUtf8(utf8);
}

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

QLabel* MakeLabel(const char* text, QWidget* parent, int left, int top) {
  auto* label = new QLabel(Text(text), parent);
  label->move(left, top);
  label->adjustSize();
  return label;
}

QLabel* MakeNote(const char* text, QWidget* parent, int left, int top) {
  auto* label = new QLabel(Text(text), parent);
  QFont font = label->font();
  font.setPixelSize(11);
  label->setFont(font);
  SetTextColour(label, QColor(kColourRed));
  label->move(left, top);
  label->adjustSize();
  return label;
}

QPushButton* MakeButton(const char* caption, const char* hint, QWidget* parent, QRect place) {
  auto* button = new QPushButton(Text(caption), parent);
  button->setGeometry(place);
  if (hint != nullptr) button->setToolTip(Text(hint));
  return button;
}

}  // namespace

TForm_option::TForm_option(QWidget* parent) : QDialog(parent) {
  if (Form_option == nullptr) Form_option = this;
  setWindowTitle(Text(kCaption));
  setAccessibleName(QStringLiteral("VELDAN options"));
  setFont(DesignFont(kProportionalGothic, 12));
  setFixedSize(546, 272);
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint);
  CreateSourceControls();
  CreateEqualizerControls();
  SetTabOrder();
}

TForm_option::~TForm_option() {
  if (Form_option == this) Form_option = nullptr;
}

void TForm_option::CreateSourceControls() {
  GroupBox1 = new QGroupBox(Text("アルバムフォルダを探し始める場所の指定"), this);
  GroupBox1->setGeometry(8, 8, 313, 257);

  DriveComboBox_source = new DriveList(GroupBox1);
  DriveComboBox_source->setGeometry(8, 24, 153, 18);
  DriveComboBox_source->setToolTip(Text("ドライブ選択"));
  connect(DriveComboBox_source, &DriveList::Changed, this,
          &TForm_option::DriveComboBox_sourceChange);

  DirectoryListBox_source = new FolderList(GroupBox1);
  DirectoryListBox_source->setGeometry(8, 48, 153, 169);
  DirectoryListBox_source->setToolTip(Text("ダブルクリックで指定"));
  connect(DirectoryListBox_source, &FolderList::Changed, this,
          &TForm_option::DirectoryListBox_sourceChange);

  FileListBox_source = new FileList(GroupBox1);
  FileListBox_source->setGeometry(168, 24, 137, 193);
  FileListBox_source->setToolTip(Text("左記フォルダの内容です"));
  FileListBox_source->setEnabled(false);
  QPalette face = FileListBox_source->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    face.setColor(group, QPalette::Base, face.color(QPalette::Active, QPalette::Button));
  }
  FileListBox_source->setPalette(face);

  Button_media_change = MakeButton("メディア交換（再表示）", "メディアを入れ替えたら押してください",
                                   GroupBox1, QRect(168, 224, 137, 25));
  connect(Button_media_change, &QPushButton::clicked, this,
          &TForm_option::Button_media_changeClick);

  Label9 = MakeNote("※指定したフォルダから下を", GroupBox1, 12, 224);
  Label10 = MakeNote("自動的に全て検索します", GroupBox1, 22, 236);

  BitBtn1 = MakeButton("設定確定", "設定が有効になります", this, QRect(328, 232, 105, 33));
  BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, [this] {
    BitBtn1Click();
    done(kModalOk);
  });

  BitBtn2 = MakeButton("キャンセル", "設定は反映されません", this, QRect(440, 232, 97, 33));
  BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
  connect(BitBtn2, &QPushButton::clicked, this, [this] { done(kModalCancel); });
}

void TForm_option::CreateEqualizerControls() {
  GroupBox2 = new QGroupBox(Text("再生イコライザ設定"), this);
  GroupBox2->setGeometry(328, 8, 209, 217);

  QSlider** named[10] = {&TrackBar1, &TrackBar2, &TrackBar3, &TrackBar4, &TrackBar5,
                         &TrackBar6, &TrackBar7, &TrackBar8, &TrackBar9, &TrackBar10};
  for (int band = 0; band < 10; ++band) {
    auto* bar = new QSlider(Qt::Vertical, GroupBox2);
    bar->setGeometry(8 + 16 * band, 16, 17, 129);
    bar->setRange(kBarTop, kBarBottom);
    // Position 0 (+12 dB) at the top, and the up key moves the thumb up.
    bar->setInvertedAppearance(true);
    bar->setInvertedControls(true);
    bar->setTickPosition(QSlider::TicksRight);
    bar->setTickInterval(2);
    bar->setSingleStep(1);
    bar->setPageStep(2);
    bar->setValue(kBarMiddle);
    // A gain has no "filled" side: the groove stays plain instead of filling up to the thumb.
    QPalette plain = bar->palette();
    plain.setColor(QPalette::Highlight, plain.color(QPalette::Window));
    bar->setPalette(plain);
    connect(bar, &QSlider::valueChanged, this, &TForm_option::TrackBar1Change);
    MakeEqualizerBarAccessible(bar, band);
    *named[band] = bar;
    bars_[band] = bar;
  }

  Label3 = MakeLabel("+12db ", GroupBox2, 168, 18);
  Label2 = MakeLabel("+6db ", GroupBox2, 168, 47);
  Label1 = MakeLabel("0db ", GroupBox2, 168, 75);
  Label4 = MakeLabel("-6db ", GroupBox2, 168, 104);
  Label5 = MakeLabel("-12db ", GroupBox2, 168, 132);
  for (QLabel* scale : {Label3, Label2, Label1, Label4, Label5}) {
    QFont italic = scale->font();
    italic.setItalic(true);
    scale->setFont(italic);
    scale->adjustSize();
  }

  Label6 = new QLabel(QStringLiteral("60 170 310 600 1K 3K 6K 12K 14K 16K"), GroupBox2);
  QFont small = Label6->font();
  small.setPixelSize(9);
  Label6->setFont(small);
  Label6->move(8, 144);
  Label6->adjustSize();
  SetTextColour(Label6, QColor(kColourBlack));

  Button_eq_reset = MakeButton("標準に戻す", "０ｄｂに戻します", GroupBox2, QRect(8, 160, 65, 25));
  connect(Button_eq_reset, &QPushButton::clicked, this, &TForm_option::Button_eq_resetClick);
  Button_eq_save =
      MakeButton("設定を保存", "VELDAN起動フォルダに保存します", GroupBox2, QRect(80, 160, 73, 25));
  connect(Button_eq_save, &QPushButton::clicked, this, &TForm_option::Button_eq_saveClick);
  Button_test = MakeButton(kListenCaption, nullptr, GroupBox2, QRect(160, 160, 41, 25));
  connect(Button_test, &QPushButton::clicked, this, &TForm_option::Button_testClick);

  Label7 = MakeNote("※イコライザの設定は、ＣＤから起動した", GroupBox2, 8, 188);
  Label8 = MakeNote("場合には保存できません", GroupBox2, 20, 200);
}

void TForm_option::SetTabOrder() {
  // The file list is display only and never takes the focus, so the chain passes over it.
  QWidget* order[] = {DriveComboBox_source,
                      DirectoryListBox_source,
                      Button_media_change,
                      BitBtn1,
                      BitBtn2,
                      TrackBar1,
                      TrackBar2,
                      TrackBar3,
                      TrackBar4,
                      TrackBar5,
                      TrackBar6,
                      TrackBar7,
                      TrackBar8,
                      TrackBar9,
                      TrackBar10,
                      Button_eq_save,
                      Button_eq_reset,
                      Button_test};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void TForm_option::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  if (!centred_) {
    centred_ = true;
    if (QScreen* where = screen()) {
      QRect frame = frameGeometry();
      frame.moveCenter(where->availableGeometry().center());
      move(frame.topLeft());
    }
  }
  FormShow();
}

void TForm_option::done(int result) {
  // Cancel, Escape and the close box end the dialog's own disc wait; the close follows once the
  // wait has returned to the handler that started it.
  if (waiting_) {
    pending_result_ = result;
    wait_cancelled_ = true;
    return;
  }
  if (!FormCloseQuery()) return;
  QDialog::done(result);
}

void TForm_option::accept() {
  done(kModalOk);
}

void TForm_option::reject() {
  done(kModalCancel);
}

bool TForm_option::FormCloseQuery() {
  if (!trial_listening_) return true;
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("VELDAN"), Text(kStopFirstMessage),
                  QMessageBox::Ok, this);
  box.exec();
  return false;
}

void TForm_option::FormShow() {
  std::memcpy(g_state.edited_equalizer, g_state.applied_equalizer, sizeof g_state.edited_equalizer);
  ShowEqualizerOnBars();
}

bool TForm_option::WaitForSourceMedia() {
  // One wait at a time: a drive picked while it runs replaces the drive it waits for (it reads
  // the drive list at every pass) instead of starting a second wait inside it.
  if (waiting_) return false;
  if (DriveComboBox_source->Drive() == '\0') return false;
  setWindowTitle(Text(kWaitingCaption));
  g_state.wait_abort = false;
  wait_cancelled_ = false;
  BitBtn1->setEnabled(false);
  Button_media_change->setEnabled(false);

  waiting_ = true;
  QPointer<TForm_option> alive(this);
  // The timer only wakes the message wait, so the drive is probed at least every 100 ms without
  // keeping a core busy; the flags are seen after every message.
  QTimer wake;
  wake.start(kMediaProbeMs);
  bool present = false;
  while (!g_state.wait_abort && !g_state.closing && !wait_cancelled_) {
    const DriveRoot root(DriveComboBox_source->Drive());
    present = MediaPresent(root.c_str());
    // A drive that can't get a medium (a fixed drive whose folder is missing) answers now or
    // never.
    if (present || !MediumCanArrive(root.c_str())) break;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    if (alive.isNull()) return false;
  }
  waiting_ = false;

  EndSourceMediaWait();
  if (pending_result_ != 0) {
    const int result = pending_result_;
    pending_result_ = 0;
    QMetaObject::invokeMethod(
        this, [this, result] { done(result); }, Qt::QueuedConnection);
    return false;
  }
  return present;
}

void TForm_option::EndSourceMediaWait() {
  setWindowTitle(Text(kCaption));
  BitBtn1->setEnabled(true);
  Button_media_change->setEnabled(true);
}

void TForm_option::RunAfterSourceMedia(SourceStep step) {
  // While a wait runs, the request it serves grows to the widest one asked for: a drive switch
  // covers the folder's files, so a folder opened meanwhile does not undo a drive picked.
  if (waiting_) {
    if (step > next_step_) next_step_ = step;
    return;
  }
  next_step_ = step;
  if (!WaitForSourceMedia()) return;
  switch (next_step_) {
    case SourceStep::kShowFiles:
      FileListBox_source->SetDrive(DriveComboBox_source->Drive());
      FileListBox_source->SetFolder(DirectoryListBox_source->Folder());
      break;
    case SourceStep::kReread:
      // The lists re-read themselves in place: same places, handlers and enabled state; the
      // drive list keeps its drive, the folder and file lists their folder.
      DriveComboBox_source->Reload();
      DirectoryListBox_source->Reload();
      FileListBox_source->Reload();
      break;
    case SourceStep::kSwitchDrive:
      DirectoryListBox_source->SetDrive(DriveComboBox_source->Drive());
      break;
  }
}

void TForm_option::DriveComboBox_sourceChange() {
  RunAfterSourceMedia(SourceStep::kSwitchDrive);
}

void TForm_option::DirectoryListBox_sourceChange() {
  RunAfterSourceMedia(SourceStep::kShowFiles);
}

void TForm_option::Button_media_changeClick() {
  RebuildSourceLists();
}

void TForm_option::RebuildSourceLists() {
  RunAfterSourceMedia(SourceStep::kReread);
}

void TForm_option::BitBtn1Click() {
  CopyText(g_state.chosen_folder, sizeof g_state.chosen_folder, DirectoryListBox_source->Folder());
}

void TForm_option::Button_testClick() {
  if (trial_listening_) {
    Button_test->setText(Text(kListenCaption));
    trial_listening_ = false;
    SetEqualizerEditable(true);
    SetTextColour(Label6, QColor(kColourBlack));
    vbmp3_stop();
    vbmp3_close();
    return;
  }
  const TrackCatalogue& catalogue = g_state.catalogue;
  if (catalogue.count <= 0 || catalogue.current < 0 || catalogue.current >= catalogue.count) {
    return;
  }
  const char* entry = catalogue.entries[catalogue.current];
  if (!CopyText(trial_path_, sizeof trial_path_,
                std::string_view(entry, strnlen(entry, kTextSize)))) {
    return;
  }
  if (vbmp3_open(trial_path_, &trial_info_) == 0) return;
  Button_test->setText(Text(kStopCaption));
  trial_listening_ = true;
  SetEqualizerEditable(false);
  SetTextColour(Label6, QColor(kColourGreen));
  vbmp3_setEqualizer(g_state.edited_equalizer);
  vbmp3_play();
}

void TForm_option::SetEqualizerEditable(bool editable) {
  Button_eq_save->setEnabled(editable);
  Button_eq_reset->setEnabled(editable);
  for (QSlider* bar : bars_) bar->setEnabled(editable);
}

void TForm_option::ShowEqualizerOnBars() {
  bar_update_guard_ = true;
  for (int band = 0; band < kEqualizerBands; ++band) {
    bars_[band]->setValue(BarPositionFromValue(g_state.edited_equalizer[band]));
  }
  bar_update_guard_ = false;
}

void TForm_option::TrackBar1Change() {
  if (bar_update_guard_) return;
  // All ten, not only the moved one: a stored value off the bars' grid becomes its bar's value.
  for (int band = 0; band < kEqualizerBands; ++band) {
    g_state.edited_equalizer[band] = ValueFromBarPosition(bars_[band]->value());
  }
}

void TForm_option::Button_eq_resetClick() {
  std::memset(g_state.edited_equalizer, 0, sizeof g_state.edited_equalizer);
  ShowEqualizerOnBars();
}

void TForm_option::Button_eq_saveClick() {
  SaveEqualizerPreset(g_state.program_folder, g_state.edited_equalizer);
}

}  // namespace veldan
