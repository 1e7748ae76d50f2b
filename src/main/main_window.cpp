#include "main/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstring>
#include <iterator>

#include "catalogue/program_state.h"
#include "main/seek_bar.h"
#include "platform/colours.h"
#include "platform/name_codec.h"
#include "ui/bevel_panel.h"
#include "ui/button_pictures.h"
#include "ui/check_box_metrics.h"
#include "ui/design_font.h"
#include "ui/picture_button_style.h"

namespace veldan {

TForm_main* Form_main = nullptr;

namespace {

const QColor kFace(kColourSilver);
const QColor kBlack(kColourBlack);
const QColor kAqua(kColourAqua);
const QColor kRed(kColourRed);
const QColor kLime(kColourLime);
const QColor kNavy(kColourNavy);

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

QString Utf8(const char* text) {
  return QString::fromUtf8(text);
}

struct LabelDesign {
  const char* name;
  QRect geometry;
  const char* caption;
  QFont font;
  QColor colour;
  Qt::Alignment alignment;
  const char* hint;
};

QLabel* MakeLabel(QWidget* parent, const LabelDesign& design) {
  auto* label = new QLabel(Utf8(design.caption), parent);
  label->setObjectName(QString::fromLatin1(design.name));
  label->setGeometry(design.geometry);
  label->setFont(design.font);
  SetTextColour(label, design.colour);
  label->setAlignment(design.alignment);
  label->setToolTip(Utf8(design.hint));
  return label;
}

enum class PictureSide { kLeft, kRight };

QPushButton* MakeButton(QWidget* parent, const char* name, QRect geometry, const char* caption,
                        ButtonPicture picture, PictureSide side, const char* hint) {
  auto* button = new QPushButton(Utf8(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(geometry);
  button->setIcon(ButtonPictureIcon(picture));
  button->setIconSize(QSize(kButtonPictureWidth, kButtonPictureHeight));
  // A right-to-left button lays its icon out after the text; the captions are Latin text, which
  // keeps its own reading order.
  if (side == PictureSide::kRight) button->setLayoutDirection(Qt::RightToLeft);
  button->setToolTip(Utf8(hint));
  // Option and Select are too narrow for the toolkit's own layout of caption and picture.
  UsePictureButtonStyle(button, geometry.width() < 60);
  return button;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, QRect geometry, const char* caption,
                        const char* hint) {
  auto* box = new QCheckBox(Utf8(caption), parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setGeometry(geometry);
  box->setToolTip(Utf8(hint));
  UseClassicCheckBoxMetrics(box);
  return box;
}

BevelPanel* MakePanel(QWidget* parent, const char* name, QRect geometry, Bevel outer, Bevel inner,
                      const QColor& face) {
  auto* panel = new BevelPanel(parent, outer, inner, face);
  panel->setObjectName(QString::fromLatin1(name));
  panel->setGeometry(geometry);
  return panel;
}

}  // namespace

TForm_main::TForm_main(QWidget* parent) : QWidget(parent) {
  Form_main = this;
  MapDesignFonts();
  setObjectName(QStringLiteral("Form_main"));
  setWindowTitle(QStringLiteral("VELDAN"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(649, 142);
  setFont(DesignFont(kProportionalGothic, 12, false, true));
  QPalette face = palette();
  face.setColor(QPalette::Window, kFace);
  face.setColor(QPalette::Button, kFace);
  setPalette(face);
  setAutoFillBackground(true);

  BuildDisplayPanels();
  BuildControlPanel();
  BuildTimerAndMenu();
  ConnectHandlers();
  SetFocusOrder();
  BindKeys();
  NameControls();
  setAcceptDrops(true);

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect available = screen->availableGeometry();
    move(available.center() - QPoint(width() / 2, height() / 2));
  }
  SetCatalogueWindow(this);
  controller_.AddListener(this);
}

TForm_main::~TForm_main() {
  if (&CurrentCatalogueWindow() == this) SetCatalogueWindow(nullptr);
  if (Form_main == this) Form_main = nullptr;
}

void TForm_main::BuildDisplayPanels() {
  const Qt::Alignment top_left = Qt::AlignLeft | Qt::AlignTop;
  Panel1 =
      MakePanel(this, "Panel1", QRect(408, 8, 233, 49), Bevel::kLowered, Bevel::kLowered, kBlack);
  Label_time = MakeLabel(Panel1, {"Label_time", QRect(4, 10, 153, 33), "0:00:00 ",
                                  DesignFont(kFixedGothic, 32, true, true), kAqua,
                                  Qt::AlignRight | Qt::AlignTop, "再生時間"});
  Label_total_time = MakeLabel(Panel1, {"Label_total_time", QRect(147, 20, 82, 16), " 0:00:00 ",
                                        DesignFont(kFixedGothic, 16, true, true), kAqua,
                                        Qt::AlignRight | Qt::AlignTop, "現在の曲の長さ"});
  Label_status = MakeLabel(Panel1, {"Label_status", QRect(157, 6, 28, 12), "Stop",
                                    DesignFont(kProportionalGothic, 12, true, true), kRed, top_left,
                                    "状態・再生ビットレート"});
  Label_stereo = MakeLabel(Panel1, {"Label_stereo", QRect(152, 36, 73, 8), "STEREO",
                                    DesignFont(kProportionalGothic, 8, true, false), kLime,
                                    Qt::AlignHCenter | Qt::AlignTop, "モード・サンプリング周波数"});

  Panel2 =
      MakePanel(this, "Panel2", QRect(8, 8, 393, 49), Bevel::kLowered, Bevel::kLowered, kBlack);
  const QFont title_font = DesignFont(kProportionalGothic, 15, true, true);
  Label_album = MakeLabel(Panel2, {"Label_album", QRect(8, 8, 377, 15), "Album Title", title_font,
                                   kAqua, top_left, "フォルダ名／アーチスト名"});
  Label_song = MakeLabel(Panel2, {"Label_song", QRect(8, 24, 377, 15), "Song Title", title_font,
                                  kAqua, top_left, "ファイル名／曲名"});
}

void TForm_main::BuildControlPanel() {
  const Qt::Alignment top_left = Qt::AlignLeft | Qt::AlignTop;
  Panel3 = MakePanel(this, "Panel3", QRect(8, 64, 633, 73), Bevel::kLowered, Bevel::kRaised, kFace);
  Label1 =
      MakeLabel(Panel3, {"Label1", QRect(8, 8, 140, 33), "VELDAN ",
                         DesignFont(kProportionalGothic, 32, true, true), kNavy, top_left, ""});
  const QFont small_italic = DesignFont(kProportionalGothic, 11, false, true);
  Label2 = MakeLabel(Panel3, {"Label2", QRect(152, 14, 107, 11), "Folders are albums.",
                              small_italic, kBlack, top_left, ""});
  Label3 = MakeLabel(Panel3, {"Label3", QRect(152, 26, 135, 11), "(C) 2026 VELDAN team",
                              small_italic, kBlack, top_left, ""});

  BitBtn_auto_cd = MakeButton(Panel3, "BitBtn_auto_cd", QRect(296, 6, 113, 22), " Auto CD",
                              ButtonPicture::kAutoCd, PictureSide::kRight, "全自動ＣＤ再生");
  BitBtn_auto_cd->setFont(DesignFont(kProportionalGothic, 12, true, true));
  BitBtn_options =
      MakeButton(Panel3, "BitBtn_options", QRect(296, 27, 57, 18), "Option", ButtonPicture::kOption,
                 PictureSide::kRight, "再生フォルダの指定など");
  BitBtn_sel =
      MakeButton(Panel3, "BitBtn_sel", QRect(352, 27, 57, 18), "Select", ButtonPicture::kSelect,
                 PictureSide::kRight, "リスト画面でダイレクトに選曲");

  Panel4 =
      MakePanel(Panel3, "Panel4", QRect(416, 7, 209, 19), Bevel::kLowered, Bevel::kLowered, kFace);
  Image_time_locate = new SeekBarImage(Panel4);
  Image_time_locate->setObjectName(QStringLiteral("Image_time_locate"));
  Image_time_locate->move(2, 2);
  Image_time_locate->setToolTip(Utf8("Play,Pause中に再生位置を移動できます"));

  CheckBox_album_lock = MakeCheckBox(Panel3, "CheckBox_album_lock", QRect(422, 27, 81, 17),
                                     "AlbumLock", "現在のフォルダに固定");
  CheckBox_repeat = MakeCheckBox(Panel3, "CheckBox_repeat", QRect(502, 27, 65, 17), "Repeat",
                                 "現在のファイルの繰り返し");
  CheckBox_random = MakeCheckBox(Panel3, "CheckBox_random", QRect(562, 27, 64, 17), "Random",
                                 "ランダムな曲順で再生");

  BitBtn_pre_album =
      MakeButton(Panel3, "BitBtn_pre_album", QRect(8, 48, 89, 18), "PreAlbum",
                 ButtonPicture::kPreAlbum, PictureSide::kLeft, "前のフォルダ／フォルダの先頭");
  BitBtn_pre_file = MakeButton(Panel3, "BitBtn_pre_file", QRect(96, 48, 89, 18), "PreFile",
                               ButtonPicture::kPreFile, PictureSide::kLeft, "前のファイル");
  BitBtn_stop = MakeButton(Panel3, "BitBtn_stop", QRect(184, 48, 89, 18), "  Stop  ",
                           ButtonPicture::kStop, PictureSide::kLeft, "停止");
  BitBtn_pause =
      MakeButton(Panel3, "BitBtn_pause", QRect(272, 48, 89, 18), " Pause ", ButtonPicture::kPause,
                 PictureSide::kLeft, "一時停止（再生位置の指定可能）");
  BitBtn_play = MakeButton(Panel3, "BitBtn_play", QRect(360, 48, 89, 18), " Play  ",
                           ButtonPicture::kPlay, PictureSide::kLeft, "再生");
  BitBtn_next_file = MakeButton(Panel3, "BitBtn_next_file", QRect(448, 48, 89, 18), "NextFile",
                                ButtonPicture::kNextFile, PictureSide::kLeft, "次のファイル");
  BitBtn_next_album =
      MakeButton(Panel3, "BitBtn_next_album", QRect(536, 48, 89, 18), "NextAlbum",
                 ButtonPicture::kNextAlbum, PictureSide::kLeft, "次のフォルダ／フォルダの最後");
}

void TForm_main::BuildTimerAndMenu() {
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(250);
  step_timer_ = new QTimer(this);
  step_timer_->setSingleShot(true);
  step_timer_->setInterval(0);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  Help1 = PopupMenu1->addAction(Utf8("操作説明"));
  Help1->setObjectName(QStringLiteral("Help1"));
  N1 = PopupMenu1->addSeparator();
  N1->setObjectName(QStringLiteral("N1"));
  About1 = PopupMenu1->addAction(Utf8("バージョン情報"));
  About1->setObjectName(QStringLiteral("About1"));
}

void TForm_main::ConnectHandlers() {
  connect(Timer1, &QTimer::timeout, this, &TForm_main::Timer1Timer);
  connect(step_timer_, &QTimer::timeout, this, [this] { controller_.RunHeldPollStep(); });
  connect(BitBtn_play, &QPushButton::clicked, this, &TForm_main::BitBtn_playClick);
  connect(BitBtn_stop, &QPushButton::clicked, this, &TForm_main::BitBtn_stopClick);
  connect(BitBtn_pause, &QPushButton::clicked, this, &TForm_main::BitBtn_pauseClick);
  connect(BitBtn_next_file, &QPushButton::clicked, this, &TForm_main::BitBtn_next_fileClick);
  connect(BitBtn_pre_file, &QPushButton::clicked, this, &TForm_main::BitBtn_pre_fileClick);
  connect(BitBtn_next_album, &QPushButton::clicked, this, &TForm_main::BitBtn_next_albumClick);
  connect(BitBtn_pre_album, &QPushButton::clicked, this, &TForm_main::BitBtn_pre_albumClick);
  connect(CheckBox_album_lock, &QCheckBox::toggled, this, &TForm_main::CheckBox_album_lockClick);
  connect(CheckBox_repeat, &QCheckBox::toggled, this, &TForm_main::CheckBox_repeatClick);
  connect(CheckBox_random, &QCheckBox::toggled, this, &TForm_main::CheckBox_randomClick);
  connect(BitBtn_auto_cd, &QPushButton::clicked, this, &TForm_main::BitBtn_auto_cdClick);
  connect(BitBtn_options, &QPushButton::clicked, this, &TForm_main::BitBtn_optionsClick);
  connect(BitBtn_sel, &QPushButton::clicked, this, &TForm_main::BitBtn_selClick);
  connect(Help1, &QAction::triggered, this, &TForm_main::Help1Click);
  connect(About1, &QAction::triggered, this, &TForm_main::About1Click);
  connect(Image_time_locate, &SeekBarImage::MouseDown, this,
          &TForm_main::Image_time_locateMouseDown);
  connect(Image_time_locate, &SeekBarImage::MouseMove, this,
          &TForm_main::Image_time_locateMouseMove);
  connect(Image_time_locate, &SeekBarImage::MouseUp, this, &TForm_main::Image_time_locateMouseUp);
  // The status poll runs from the window's creation on.
  Timer1->start();
}

void TForm_main::SetFocusOrder() {
  QWidget* const order[] = {
      BitBtn_auto_cd,  BitBtn_pre_album, BitBtn_pre_file,   BitBtn_stop,    BitBtn_pause,
      BitBtn_play,     BitBtn_next_file, BitBtn_next_album, BitBtn_options, CheckBox_album_lock,
      CheckBox_repeat, BitBtn_sel,       CheckBox_random};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void TForm_main::contextMenuEvent(QContextMenuEvent* event) {
  PopupMenu1->popup(event->globalPos());
}

void TForm_main::ShowStartingFolderInTitle() {
  const std::string_view folder(g_state.starting_folder,
                                strnlen(g_state.starting_folder, kTextSize - 1));
  setWindowTitle(QString::fromStdString("VELDAN [" + ProgramTextToDisplay(folder) + "]"));
}

void TForm_main::ShowProgramText(QLabel* label, std::string_view program_text) {
  label->setText(QString::fromStdString(ProgramTextToDisplay(program_text)));
}

void TForm_main::SetLabelColour(QLabel* label, uint32_t rgb) {
  SetTextColour(label, QColor::fromRgb(static_cast<QRgb>(rgb)));
}

void TForm_main::SetStartButtonsEnabled(bool enabled) {
  BitBtn_play->setEnabled(enabled);
  BitBtn_auto_cd->setEnabled(enabled);
  BitBtn_options->setEnabled(enabled);
}

// --- CatalogueWindow ---

void TForm_main::SetPollTimerRunning(bool running) {
  poll_held_by_build_ = !running;
  if (running) {
    Timer1->start();
    controller_.PollResumed();
  } else {
    Timer1->stop();
  }
}

void TForm_main::SetStatus(const char* text, uint32_t rgb) {
  ShowProgramText(Label_status, std::string_view(text, strnlen(text, kTextSize - 1)));
  SetLabelColour(Label_status, rgb);
  // The status label is as wide as its text.
  Label_status->adjustSize();
}

void TForm_main::PumpMessages() {
  QCoreApplication::processEvents();
}

void TForm_main::KeepAliveDuringSearch() {
  // Termination signals and remote calls are served; clicks, keys and the close box stay with
  // the window system and arrive once the search is over, as they always did, so nothing the
  // user does changes play halfway through the catalogue being built and nothing is lost.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TForm_main::WaitForMessages(int max_ms) {
  QCoreApplication::processEvents();
  if (max_ms <= 0) return;
  // The single-shot timer bounds the wait: processing for more events returns at the latest when
  // it fires.
  QTimer wake;
  wake.setSingleShot(true);
  wake.start(max_ms);
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace veldan
