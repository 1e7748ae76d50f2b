#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <functional>

#include "help/help_viewer.h"
#include "main/main_window_fixture.h"
#include "platform/paths.h"
#include "sel/form_sel.h"
#include "ver/form_version.h"

namespace veldan::testing {
namespace {

class DialogHandlersTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Form_sel = &sel_;
    Form_version = &version_;
  }
  void TearDown() override {
    Form_sel = nullptr;
    Form_version = nullptr;
    MainWindowTest::TearDown();
  }

  // Presses Select and, once the dialog is up, double-clicks the given item (or closes the
  // dialog for -1). Returns the row the dialog showed selected.
  int Select(int item) {
    int shown_selected = -2;
    QTimer::singleShot(0, &sel_, [this, item, &shown_selected] {
      shown_selected = sel_.ListBox1->currentRow();
      if (item < 0) {
        sel_.close();
        return;
      }
      sel_.ListBox1->setCurrentRow(item);
      sel_.ListBox1DblClick();
    });
    QTimer::singleShot(5000, &sel_, [this] { sel_.done(99); });  // a hang fails
    window_->BitBtn_sel->click();
    return shown_selected;
  }

  TForm_sel sel_;
  TForm_version version_;
};

TEST_F(DialogHandlersTest, AChoiceWhilePlayingIsPlayedByTheNextPoll) {
  BuildCatalogueOf(
      {"a0.mp3", "a1.mp3", "a2.mp3", "a3.mp3", "a4.mp3", "a5.mp3", "a6.mp3", "a7.mp3"});
  g_state.catalogue.current = 7;
  StartPlaying();
  fake::ClearCallLog();
  EXPECT_EQ(Select(3), 7);
  EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"stop"});
  Poll();
  EXPECT_EQ(LastOpened(), Entry(3));
  EXPECT_EQ(Current(), 3);
}

// The poll runs at once for the choice: it is heard without waiting for the next tick.
TEST_F(DialogHandlersTest, AChoiceWhilePlayingIsOpenedOnceTheHandlerHasReturned) {
  BuildCatalogueOf({"a0.mp3", "a1.mp3", "a2.mp3", "a3.mp3"});
  window_->Timer1->start(3600 * 1000);
  StartPlaying();
  fake::ClearCallLog();
  Select(2);
  EXPECT_EQ(OpenCount(), 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(LastOpened(), Entry(2));
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
}

TEST_F(DialogHandlersTest, AChoiceWhileStoppedIsShownAndWaitsForPlay) {
  BuildCatalogueOf({"a.mp3", "b.mp3", "c.mp3", "d.mp3"});
  Select(3);
  EXPECT_EQ(Current(), 3);
  EXPECT_EQ(Text(window_->Label_song), "d-(4/4) ");
  EXPECT_EQ(OpenCount(), 0);
}

TEST_F(DialogHandlersTest, ClosingTheDialogDisturbsNothing) {
  BuildCatalogueOf({"a.mp3", "b.mp3"});
  StartPlaying();
  fake::ClearCallLog();
  Select(-1);
  EXPECT_TRUE(fake::CallLog().empty());
  EXPECT_TRUE(g_state.continuous_play);
  EXPECT_EQ(Text(window_->Label_song), "a-(1/2) ");
}

TEST_F(DialogHandlersTest, TheMenuOpensTheVersionBoxAndTheHelpViewer) {
  bool box_was_modal = false;
  QTimer::singleShot(0, &version_, [this, &box_was_modal] {
    box_was_modal = version_.isModal() && version_.isVisible();
    version_.Button1->click();
  });
  window_->About1->trigger();
  EXPECT_TRUE(box_was_modal);

  // No help file in the program folder: the viewer says so, the program carries on.
  ASSERT_TRUE(HostPathToProgram(dir_->path().toStdString(), g_state.program_folder, kTextSize));
  window_->Help1->trigger();
  auto* viewer = window_->findChild<HelpViewer*>();
  ASSERT_NE(viewer, nullptr);
  EXPECT_FALSE(viewer->FileOpened());
  EXPECT_TRUE(viewer->Browser()->toPlainText().contains("VELDAN.HLP"));
}

}  // namespace
}  // namespace veldan::testing
