#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include "main/main_window_fixture.h"

namespace veldan::testing {
namespace {

// Albums A (entries 0-2) and B (entries 3-4), the window shown and active so that its keys work.
class KeysTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "A/3.mp3", "B/4.mp3", "B/5.mp3"});
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }
  // The key goes to whichever control has the focus, as a real key would.
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window_.get();
    // No text: media keys have no character for QTest to look up.
    QTest::sendKeyEvent(QTest::Click, target, key, QString(), modifiers);
  }
};

TEST_F(KeysTest, SpaceTogglesPlayAndPauseWhicheverControlHasTheFocus) {
  window_->BitBtn_next_album->setFocus();
  Key(Qt::Key_Space);
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  EXPECT_EQ(Current(), 0);  // not NextAlbum, the focused button
  Poll();
  Key(Qt::Key_Space);
  EXPECT_EQ(fake::DecoderState(), VBMP3_PAUSED);
  EXPECT_TRUE(window_->Controller().UserPaused());
  Poll();  // Play becomes pressable again
  Key(Qt::Key_Space);
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);

  Key(Qt::Key_S);
  EXPECT_EQ(fake::DecoderState(), VBMP3_STOPPED);
  EXPECT_FALSE(g_state.continuous_play);
  for (Qt::Key media : {Qt::Key_MediaTogglePlayPause, Qt::Key_MediaPlay}) {
    Poll();
    Key(media);
    EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING) << media;
    Key(Qt::Key_MediaStop);
  }
}

TEST_F(KeysTest, StepKeysPressTheFileAndAlbumButtons) {
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int32_t from;
    int32_t to;
  } cases[] = {
      {Qt::Key_Right, Qt::ControlModifier, 0, 1},   {Qt::Key_Left, Qt::ControlModifier, 1, 0},
      {Qt::Key_MediaNext, Qt::NoModifier, 0, 1},    {Qt::Key_MediaPrevious, Qt::NoModifier, 1, 0},
      {Qt::Key_PageDown, Qt::NoModifier, 1, 3},     {Qt::Key_PageUp, Qt::NoModifier, 4, 0},
  };
  for (const auto& c : cases) {
    g_state.catalogue.current = c.from;
    Key(c.key, c.modifiers);
    EXPECT_EQ(Current(), c.to) << c.key;
  }
  // Under the album lock the album keys are TopFile and LastFile, as the buttons are.
  window_->CheckBox_album_lock->setChecked(true);
  g_state.catalogue.current = 1;
  Key(Qt::Key_PageDown);
  EXPECT_EQ(Current(), 2);
  Key(Qt::Key_PageUp);
  EXPECT_EQ(Current(), 0);
}

TEST_F(KeysTest, ArrowsSeekFiveSecondsWithinTheTrackOnlyWhileATrackIsOpen) {
  Key(Qt::Key_Right);
  EXPECT_TRUE(fake::CallLog().empty());

  PlayTrackAt(100, 30);
  Key(Qt::Key_Right);
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"seek 35", "restart"}));
  EXPECT_EQ(Text(window_->Label_time), "0:00:35 ");
  fake::SetDecoderPosition(3);
  fake::ClearCallLog();
  Key(Qt::Key_Left);
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"seek 0", "restart"}));
  fake::SetDecoderPosition(98);
  fake::ClearCallLog();
  Key(Qt::Key_Right);
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"seek 100", "restart"}));

  // Paused by the user: the track stays paused at its new place.
  window_->BitBtn_pauseClick();
  fake::SetDecoderPosition(50);
  fake::ClearCallLog();
  Key(Qt::Key_Left);
  EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"seek 45"});

  // A track of unknown length has nowhere to seek to.
  FreshCatalogueOf({"x.mp3", "y.mp3"});
  PlayTrackAt(-1, 10);
  Key(Qt::Key_Right);
  EXPECT_TRUE(fake::CallLog().empty());
}

TEST(KeysFocusTest, FirstFocusGoesToPlayOrToPauseWhilePlayRuns) {
  ResetProgramState();
  fake::ResetDecoder();
  for (bool playing : {false, true}) {
    TForm_main window;
    window.Timer1->stop();
    window.BitBtn_play->setEnabled(!playing);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), playing ? window.BitBtn_pause : window.BitBtn_play);
  }
}

}  // namespace
}  // namespace veldan::testing
