// The main window's transport: what it shows of the controller's poll, its mode boxes, and
// the poll's early step run from its event loop.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "catalogue/catalogue.h"
#include "main/main_window_fixture.h"
#include "platform/paths.h"

namespace veldan::testing {
namespace {

// Albums A (entries 0-2) and B (entries 3-4).
class TransportTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "A/3.mp3", "B/4.mp3", "B/5.mp3"});
  }
  // The decoder reaches the end of the track.
  void EndTrack() { fake::SetDecoderState(VBMP3_STOPPED); }
};

TEST_F(TransportTest, PlayingPollShowsTimeBitRateAndBar) {
  fake::SetTrackInfo(fake::MakeTrackInfo("", "", 2, 160, 44100, 300));
  StartPlaying();
  fake::SetDecoderPosition(150);
  window_->BitBtn_play->setEnabled(true);
  Poll();
  EXPECT_EQ(Text(window_->Label_time), "0:02:30 ");
  EXPECT_EQ(Text(window_->Label_status), "Play 160k");
  EXPECT_EQ(Colour(window_->Label_status), kAqua);
  EXPECT_EQ(SeekStrokes(), 33);
  EXPECT_FALSE(window_->BitBtn_play->isEnabled());
}

TEST_F(TransportTest, PausedPollTellsUserPauseFromSeeking) {
  StartPlaying();
  window_->BitBtn_pauseClick();
  Poll();
  EXPECT_EQ(Text(window_->Label_status), "Pause ");
  EXPECT_EQ(Colour(window_->Label_status), kYellow);
  EXPECT_TRUE(window_->BitBtn_play->isEnabled());

  // Paused by the seek bar, not by the user.
  fake::SetDecoderState(VBMP3_PLAYING);
  window_->BitBtn_playClick();
  fake::SetDecoderState(VBMP3_PAUSED);
  Poll();
  EXPECT_EQ(Text(window_->Label_status), "Seek ");
  EXPECT_EQ(Colour(window_->Label_status), kLime);
}

TEST_F(TransportTest, EndOfTrackShowsTheNextTrackAndKeepsTheStartButtonsOff) {
  StartPlaying();
  window_->BitBtn_play->setEnabled(true);
  EndTrack();
  Poll();
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(Text(window_->Label_song), "2-(2/3) ");
  EXPECT_TRUE(StartButtonsDisabled());
  EXPECT_EQ(SeekStrokes(), 0);
}

TEST_F(TransportTest, StopShowsIdleWithinOnePollAndKeepsTheTitles) {
  StartPlaying();
  fake::SetDecoderPosition(42);
  Poll();
  ASSERT_TRUE(StartButtonsDisabled());
  const std::string song = Text(window_->Label_song);
  window_->BitBtn_stopClick();
  for (int poll = 0; poll < 2; ++poll) {  // idle shows the same at every poll
    Poll();
    EXPECT_EQ(Text(window_->Label_status), "Stop ");
    EXPECT_EQ(Colour(window_->Label_status), kRed);
    EXPECT_EQ(Text(window_->Label_time), "0:00:00 ");
    EXPECT_EQ(SeekStrokes(), 0);
    EXPECT_TRUE(StartButtonsEnabled());
    EXPECT_EQ(Text(window_->Label_song), song);
  }
}

// A box the user clicks hands its mode to the controller; a mode the controller changes (as a
// remote control does) shows in its box, and the album lock renames the album buttons.
TEST_F(TransportTest, ModeBoxesAndAlbumButtonsShowTheControllersModes) {
  window_->CheckBox_album_lock->click();
  window_->CheckBox_repeat->click();
  EXPECT_TRUE(window_->Controller().AlbumLock());
  EXPECT_TRUE(window_->Controller().Repeat());
  EXPECT_EQ(window_->BitBtn_next_album->text(), "LastFile ");
  EXPECT_EQ(window_->BitBtn_pre_album->text(), "TopFile ");

  window_->Controller().SetAlbumLock(false);
  window_->Controller().SetRandom(true);
  EXPECT_FALSE(window_->CheckBox_album_lock->isChecked());
  EXPECT_TRUE(window_->CheckBox_random->isChecked());
  EXPECT_TRUE(window_->CheckBox_repeat->isChecked());
  EXPECT_EQ(window_->BitBtn_next_album->text(), "NextAlbum ");
  EXPECT_EQ(window_->BitBtn_pre_album->text(), "PreAlbum ");
}

// The poll's early step runs from the window's event loop, after the handler that asked for it.
// The poll's own tick is an hour away here, so whatever opens does so without it.
class EarlyStepTest : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    window_->Timer1->start(3600 * 1000);
  }
};

TEST_F(EarlyStepTest, TrackChangeIsOpenedOnceTheHandlerHasReturned) {
  g_state.catalogue.current = 1;
  StartPlaying();
  fake::ClearCallLog();
  window_->BitBtn_next_file->click();
  // Not inside the handler: it has not finished with the window yet.
  EXPECT_EQ(OpenCount(), 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(Current(), 2);
  EXPECT_EQ(fake::CallLog(),
            (std::vector<std::string>{"stop", "close", "open " + Entry(2), "play"}));
  EXPECT_TRUE(StartButtonsDisabled());
}

// A full catalogue of files that do not open is tried once round in a burst of event-loop
// turns, with the window's other events served between them, and play ends.
TEST_F(EarlyStepTest, FullCatalogueOfFailuresEndsAtOnceAndKeepsTheWindowServed) {
  dir_ = std::make_unique<QTemporaryDir>();
  for (int i = 0; i < kCatalogueCapacity; ++i) {
    CreateFile(dir_->path(), ("Many/" + std::to_string(1000 + i) + ".mp3").c_str());
  }
  ASSERT_TRUE(HostPathToProgram(dir_->path().toStdString(), g_state.starting_folder, kTextSize));
  BuildCatalogue(g_state.starting_folder);
  window_->Timer1->start(3600 * 1000);
  ASSERT_EQ(g_state.catalogue.count, kCatalogueCapacity);
  fake::SetOpenResult(0);
  fake::ClearCallLog();

  window_->BitBtn_play->click();
  int opens_when_served = -1;
  QTimer::singleShot(0, window_.get(), [&] { opens_when_served = OpenCount(); });
  QElapsedTimer bound;
  bound.start();
  while (g_state.continuous_play && bound.elapsed() < 20000) QCoreApplication::processEvents();
  EXPECT_FALSE(g_state.continuous_play);
  EXPECT_EQ(OpenCount(), kCatalogueCapacity);
  EXPECT_GT(opens_when_served, 0);
  EXPECT_LT(opens_when_served, kCatalogueCapacity);
  // Once given up, nothing more is tried.
  for (int turn = 0; turn < 10; ++turn) QCoreApplication::processEvents();
  EXPECT_EQ(OpenCount(), kCatalogueCapacity);
}

}  // namespace
}  // namespace veldan::testing
