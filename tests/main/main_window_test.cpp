#include "main/main_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <cstring>
#include <iterator>

#include "catalogue/catalogue_window.h"
#include "main/main_window_fixture.h"
#include "main/seek_bar.h"
#include "ui/bevel_panel.h"

namespace veldan::testing {
namespace {

using LayoutTest = MainWindowTest;

struct ControlDesign {
  const char* name;
  const char* parent;
  const char* caption;  // null: the control has no caption of its own
  const char* hint;
};

// The designed window, control by control, in the order the controls read (each row left to
// right). Where each one is drawn is the window's own table; what a misplaced control would break
// is checked below.
const ControlDesign kDesign[] = {
    {"Panel1", "Form_main", nullptr, ""},
    {"Label_time", "Panel1", "0:00:00 ", "再生時間"},
    {"Label_total_time", "Panel1", " 0:00:00 ", "現在の曲の長さ"},
    {"Label_stereo", "Panel1", "STEREO", "モード・サンプリング周波数"},
    {"Panel2", "Form_main", nullptr, ""},
    {"Label_album", "Panel2", "Album Title", "フォルダ名／アーチスト名"},
    {"Label_song", "Panel2", "Song Title", "ファイル名／曲名"},
    {"Panel3", "Form_main", nullptr, ""},
    {"Label1", "Panel3", "VELDAN ", ""},
    {"BitBtn_auto_cd", "Panel3", " Auto CD", "全自動ＣＤ再生"},
    {"BitBtn_options", "Panel3", "Option", "再生フォルダの指定など"},
    {"BitBtn_sel", "Panel3", "Select", "リスト画面でダイレクトに選曲"},
    {"Panel4", "Panel3", nullptr, ""},
    {"Image_time_locate", "Panel4", nullptr, "Play,Pause中に再生位置を移動できます"},
    {"CheckBox_album_lock", "Panel3", "AlbumLock", "現在のフォルダに固定"},
    {"CheckBox_repeat", "Panel3", "Repeat", "現在のファイルの繰り返し"},
    {"CheckBox_random", "Panel3", "Random", "ランダムな曲順で再生"},
    {"BitBtn_pre_album", "Panel3", "PreAlbum", "前のフォルダ／フォルダの先頭"},
    {"BitBtn_pre_file", "Panel3", "PreFile", "前のファイル"},
    {"BitBtn_stop", "Panel3", "  Stop  ", "停止"},
    {"BitBtn_pause", "Panel3", " Pause ", "一時停止（再生位置の指定可能）"},
    {"BitBtn_play", "Panel3", " Play  ", "再生"},
    {"BitBtn_next_file", "Panel3", "NextFile", "次のファイル"},
    {"BitBtn_next_album", "Panel3", "NextAlbum", "次のフォルダ／フォルダの最後"},
};

// The controls a click acts on, each row left to right.
const char* const kClickRows[][7] = {
    {"BitBtn_auto_cd", "Image_time_locate"},
    {"BitBtn_options", "BitBtn_sel", "CheckBox_album_lock", "CheckBox_repeat", "CheckBox_random"},
    {"BitBtn_pre_album", "BitBtn_pre_file", "BitBtn_stop", "BitBtn_pause", "BitBtn_play",
     "BitBtn_next_file", "BitBtn_next_album"},
};

QString CaptionOf(const QWidget* widget) {
  if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
  if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
  return {};
}

TEST_F(LayoutTest, EveryControlSitsInsideItsParentWithItsCaptionAndHint) {
  for (const ControlDesign& design : kDesign) {
    SCOPED_TRACE(design.name);
    const auto* control = window_->findChild<QWidget*>(QString::fromLatin1(design.name));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->parentWidget()->objectName().toStdString(), design.parent);
    // Wholly inside its parent: nothing is cut off at a panel's or the window's edge.
    EXPECT_TRUE(control->parentWidget()->rect().contains(control->geometry()))
        << control->geometry().x() << "," << control->geometry().y();
    EXPECT_FALSE(control->geometry().isEmpty());
    if (design.caption != nullptr) {
      EXPECT_EQ(CaptionOf(control).toStdString(), design.caption);
    }
    EXPECT_EQ(control->toolTip().toStdString(), design.hint);
    EXPECT_TRUE(control->isEnabled());
  }
  // The status label is as wide as its text; only its place is designed.
  EXPECT_EQ(window_->Label_status->parentWidget(), window_->Panel1);
  EXPECT_EQ(window_->Label_status->pos(), QPoint(157, 6));
  EXPECT_EQ(Text(window_->Label_status), "Stop");
  EXPECT_EQ(window_->Label_status->toolTip().toStdString(), "状態・再生ビットレート");
  EXPECT_FALSE(window_->Label2->text().isEmpty());
  EXPECT_FALSE(window_->Label3->text().isEmpty());
}

// A click in the middle of each button, box and the seek bar reaches that control and no other
// drawn over it, and the rows read in the designed order: a row's controls stand left to right,
// the transport buttons on one line in one size.
TEST_F(LayoutTest, EveryClickableControlIsReachedAndTheRowsReadInOrder) {
  int row_top = -1;
  for (const auto& row : kClickRows) {
    const QWidget* previous = nullptr;
    for (const char* name : row) {
      if (name == nullptr) break;
      SCOPED_TRACE(name);
      const auto* control = window_->findChild<QWidget*>(QString::fromLatin1(name));
      ASSERT_NE(control, nullptr);
      const QPoint centre = control->mapTo(window_.get(), control->rect().center());
      EXPECT_EQ(window_->childAt(centre), control);
      const QRect place(control->mapTo(window_.get(), QPoint(0, 0)), control->size());
      if (previous != nullptr) {
        const QRect before(previous->mapTo(window_.get(), QPoint(0, 0)), previous->size());
        EXPECT_GT(place.left(), before.left());
        EXPECT_GE(place.left(), before.center().x());
      } else {
        EXPECT_GE(place.top(), row_top);  // rows go down the window
        row_top = place.top();
      }
      previous = control;
    }
  }
  const QWidget* transport[] = {window_->BitBtn_pre_album, window_->BitBtn_pre_file,
                                window_->BitBtn_stop,      window_->BitBtn_pause,
                                window_->BitBtn_play,      window_->BitBtn_next_file,
                                window_->BitBtn_next_album};
  for (const QWidget* button : transport) {
    SCOPED_TRACE(button->objectName().toStdString());
    EXPECT_EQ(button->y(), transport[0]->y());
    EXPECT_EQ(button->size(), transport[0]->size());
  }
}

TEST_F(LayoutTest, WindowIsFixedSizeAndDrawnInTheDesignFontsAndColours) {
  EXPECT_EQ(window_->windowTitle(), "VELDAN");
  EXPECT_EQ(window_->size(), QSize(649, 142));
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
  EXPECT_EQ(Form_main, window_.get());
  EXPECT_EQ(&CurrentCatalogueWindow(), static_cast<CatalogueWindow*>(window_.get()));
  EXPECT_EQ(QFontInfo(window_->font()).family(), "IPAPGothic");
  EXPECT_EQ(QFontInfo(window_->Label_time->font()).family(), "IPAGothic");

  const struct {
    const QWidget* widget;
    int pixels;
    bool bold;
    bool italic;
    QColor colour;
  } looks[] = {
      {window_.get(), 12, false, true, Qt::black},
      {window_->Label_time, 32, true, true, kAqua},
      {window_->Label_total_time, 16, true, true, kAqua},
      {window_->Label_status, 12, true, true, kRed},
      {window_->Label_stereo, 8, true, false, kLime},
      {window_->Label_album, 15, true, true, kAqua},
      {window_->Label1, 32, true, true, QColor(0, 0, 128)},
      {window_->Label2, 11, false, true, Qt::black},
      {window_->BitBtn_auto_cd, 12, true, true, Qt::black},
      {window_->BitBtn_play, 12, false, true, Qt::black},
  };
  for (const auto& look : looks) {
    SCOPED_TRACE(look.widget->objectName().toStdString());
    EXPECT_EQ(look.widget->font().pixelSize(), look.pixels);
    EXPECT_EQ(look.widget->font().bold(), look.bold);
    EXPECT_EQ(look.widget->font().italic(), look.italic);
    EXPECT_EQ(look.widget->palette().color(QPalette::WindowText), look.colour);
  }
  EXPECT_EQ(window_->Panel1->Face(), QColor(Qt::black));
  EXPECT_EQ(window_->Panel2->Face(), QColor(Qt::black));
  EXPECT_EQ(window_->BitBtn_sel->layoutDirection(), Qt::RightToLeft);  // picture right
  EXPECT_EQ(window_->BitBtn_play->layoutDirection(), Qt::LeftToRight);
}

TEST_F(LayoutTest, TabMovesInTheDesignedOrderThroughTheButtonsAndBoxesOnly) {
  const QWidget* order[] = {
      window_->BitBtn_auto_cd,      window_->BitBtn_pre_album,  window_->BitBtn_pre_file,
      window_->BitBtn_stop,         window_->BitBtn_pause,      window_->BitBtn_play,
      window_->BitBtn_next_file,    window_->BitBtn_next_album, window_->BitBtn_options,
      window_->CheckBox_album_lock, window_->CheckBox_repeat,   window_->BitBtn_sel,
      window_->CheckBox_random};
  // Tab moves to the next widget in the chain that takes focus from the keyboard.
  auto next_tab_stop = [](const QWidget* widget) {
    QWidget* next = widget->nextInFocusChain();
    while (!(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
    return next;
  };
  for (size_t i = 0; i < std::size(order); ++i) {
    EXPECT_EQ(next_tab_stop(order[i]), order[(i + 1) % std::size(order)]) << i;
  }
}

TEST_F(LayoutTest, StartsWithBoxesClearedTimerAtQuarterSecondAndAMenu) {
  EXPECT_FALSE(window_->CheckBox_album_lock->isChecked());
  EXPECT_FALSE(window_->CheckBox_repeat->isChecked());
  EXPECT_FALSE(window_->CheckBox_random->isChecked());
  EXPECT_EQ(window_->Timer1->interval(), 250);
  TForm_main fresh;
  EXPECT_TRUE(fresh.Timer1->isActive());

  const QList<QAction*> entries = window_->PopupMenu1->actions();
  ASSERT_EQ(entries.size(), 3);
  EXPECT_EQ(entries[0], window_->Help1);
  EXPECT_EQ(entries[0]->text().toStdString(), "操作説明");
  EXPECT_TRUE(entries[1]->isSeparator());
  EXPECT_EQ(entries[2]->text().toStdString(), "バージョン情報");
}

TEST_F(LayoutTest, RightClickAnywhereOpensThePopupMenu) {
  window_->show();
  QWidget* targets[] = {window_->Label_song, window_->BitBtn_play, window_->Image_time_locate,
                        window_->Panel3};
  for (QWidget* target : targets) {
    SCOPED_TRACE(target->objectName().toStdString());
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                            target->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(target, &event);
    EXPECT_TRUE(window_->PopupMenu1->isVisible());
    window_->PopupMenu1->hide();
  }
}

TEST_F(LayoutTest, StatusTextAndColourAndTitleGoThroughTheNameCodec) {
  // "Waiting CD" in magenta; the label follows its text's width.
  window_->SetStatus("Waiting CD", kColourMagenta);
  EXPECT_EQ(Text(window_->Label_status), "Waiting CD");
  EXPECT_EQ(Colour(window_->Label_status), QColor(255, 0, 255));
  EXPECT_GT(window_->Label_status->width(), 28);

  // E:\音楽 in Shift-JIS.
  std::strcpy(g_state.starting_folder, "E:\\\x89\xB9\x8A\x79");
  window_->ShowStartingFolderInTitle();
  EXPECT_EQ(window_->windowTitle().toStdString(), "VELDAN [E:\\音楽]");
}

// A long search lets the window's own events run (timers, remote calls, a termination signal's
// close request), so that the program can be ended while it searches. The user's input is left
// to the window system until the search is over.
TEST_F(MainWindowTest, DuringASearchTheWindowRunsItsOwnEventsAndCloses) {
  BuildCatalogueOf({"A/1.mp3", "A/2.mp3"});
  window_->show();
  bool timer_ran = false;
  QTimer::singleShot(0, window_.get(), [&timer_ran] { timer_ran = true; });
  window_->KeepAliveDuringSearch();
  EXPECT_TRUE(timer_ran);
  EXPECT_FALSE(g_state.closing);

  QCoreApplication::postEvent(window_.get(), new QCloseEvent);
  window_->KeepAliveDuringSearch();
  EXPECT_TRUE(g_state.closing);
}

}  // namespace
}  // namespace veldan::testing
