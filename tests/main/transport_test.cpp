#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "catalogue/catalogue.h"
#include "catalogue/navigation.h"
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
  EXPECT_EQ(window_->Controller().SeekTarget(), 150);
  EXPECT_FALSE(window_->BitBtn_play->isEnabled());
  EXPECT_EQ(window_->Controller().LastPolledState(), VBMP3_PLAYING);
}

TEST_F(TransportTest, PausedPollTellsUserPauseFromSeeking) {
  StartPlaying();
  window_->BitBtn_pauseClick();
  EXPECT_TRUE(window_->Controller().UserPaused());
  EXPECT_EQ(fake::DecoderState(), VBMP3_PAUSED);
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

TEST_F(TransportTest, UnknownDecoderStateChangesNothingOnScreen) {
  StartPlaying();
  fake::SetDecoderPosition(10);
  Poll();
  fake::SetDecoderState(7);
  fake::SetDecoderPosition(99);
  Poll();
  EXPECT_EQ(window_->Controller().LastPolledState(), 7);
  EXPECT_EQ(Text(window_->Label_time), "0:00:10 ");
  EXPECT_EQ(Text(window_->Label_status), "Play 128k");
}

TEST_F(TransportTest, EndOfTrackOpensTheNextInTheSamePoll) {
  StartPlaying();
  window_->BitBtn_play->setEnabled(true);
  fake::ClearCallLog();
  EndTrack();
  Poll();
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"close", "open " + Entry(1), "play"}));
  EXPECT_EQ(Text(window_->Label_song), "2-(2/3) ");
  EXPECT_TRUE(StartButtonsDisabled());
  EXPECT_EQ(SeekStrokes(), 0);
}

TEST_F(TransportTest, PlayStartsFromIdleAndResumesFromPause) {
  window_->BitBtn_playClick();
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"close", "open " + Entry(0), "play"}));
  EXPECT_TRUE(g_state.continuous_play);
  EXPECT_TRUE(StartButtonsDisabled());

  window_->BitBtn_pauseClick();
  Poll();
  g_state.continuous_play = false;
  window_->Label_status->setText("x");
  fake::ClearCallLog();
  window_->BitBtn_playClick();
  EXPECT_FALSE(window_->Controller().UserPaused());
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"restart"}));
  EXPECT_EQ(Text(window_->Label_status), "Play 128k");
  EXPECT_EQ(Colour(window_->Label_status), kAqua);
  EXPECT_FALSE(window_->BitBtn_play->isEnabled());
  EXPECT_TRUE(g_state.continuous_play);

  // Playing already: nothing.
  fake::ClearCallLog();
  window_->BitBtn_playClick();
  EXPECT_TRUE(fake::CallLog().empty());
}

TEST_F(TransportTest, StopShowsIdleWithinOnePollAndKeepsTheTitles) {
  StartPlaying();
  fake::SetDecoderPosition(42);
  Poll();
  ASSERT_TRUE(StartButtonsDisabled());
  const std::string song = Text(window_->Label_song);
  fake::ClearCallLog();
  window_->BitBtn_stopClick();
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"stop", "close"}));
  EXPECT_FALSE(g_state.continuous_play);
  for (int poll = 0; poll < 2; ++poll) {  // idle shows the same at every poll
    Poll();
    EXPECT_EQ(Text(window_->Label_status), "Stop ");
    EXPECT_EQ(Colour(window_->Label_status), kRed);
    EXPECT_EQ(Text(window_->Label_time), "0:00:00 ");
    EXPECT_EQ(SeekStrokes(), 0);
    EXPECT_TRUE(StartButtonsEnabled());
    EXPECT_EQ(Text(window_->Label_song), song);
  }
  EXPECT_EQ(OpenCount(), 0);

  // Stop while idle still asks the decoder to stop and close.
  fake::ClearCallLog();
  window_->BitBtn_stopClick();
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"stop", "close"}));
}

enum class Button { kNextFile, kPreFile, kNextAlbum, kPreAlbum };

void Press(TForm_main* window, Button button) {
  switch (button) {
    case Button::kNextFile:
      window->BitBtn_next_fileClick();
      break;
    case Button::kPreFile:
      window->BitBtn_pre_fileClick();
      break;
    case Button::kNextAlbum:
      window->BitBtn_next_albumClick();
      break;
    case Button::kPreAlbum:
      window->BitBtn_pre_albumClick();
      break;
  }
}

TEST_F(TransportTest, NavigationWhileIdleMovesTheIndexAndShowsTheTrack) {
  const struct {
    Button button;
    bool lock;
    int32_t from;
    int32_t to;
  } cases[] = {
      {Button::kNextFile, false, 1, 2},  {Button::kNextFile, false, 4, 0},
      {Button::kNextFile, true, 2, 0},   {Button::kNextFile, true, 4, 3},
      {Button::kPreFile, false, 0, 4},   {Button::kPreFile, false, 3, 2},
      {Button::kPreFile, true, 0, 2},    {Button::kPreFile, true, 3, 4},
      {Button::kNextAlbum, false, 1, 3}, {Button::kNextAlbum, false, 4, 0},
      {Button::kNextAlbum, true, 0, 2},  {Button::kNextAlbum, true, 3, 4},
      {Button::kPreAlbum, false, 4, 0},  {Button::kPreAlbum, false, 1, 3},
      {Button::kPreAlbum, true, 4, 3},   {Button::kPreAlbum, true, 2, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "button " << static_cast<int>(c.button) << " lock "
                                      << c.lock << " from " << c.from);
    window_->CheckBox_album_lock->setChecked(c.lock);
    g_state.catalogue.current = c.from;
    window_->Label_song->clear();
    fake::ClearCallLog();
    Press(window_.get(), c.button);
    EXPECT_EQ(Current(), c.to);
    EXPECT_FALSE(window_->Label_song->text().isEmpty());
    EXPECT_TRUE(fake::CallLog().empty());  // idle: nothing is played
    EXPECT_FALSE(g_state.continuous_play);
  }
}

TEST_F(TransportTest, NavigationWhilePlayingStopsAndThePollLandsOnTheTarget) {
  const struct {
    Button button;
    bool lock;
    int32_t from;
    int32_t after_press;
    int32_t played;
  } cases[] = {
      {Button::kNextFile, false, 1, 1, 2},  {Button::kNextFile, true, 2, 2, 0},
      {Button::kPreFile, false, 3, 1, 2},   {Button::kPreFile, true, 3, 3, 4},
      {Button::kNextAlbum, false, 1, 2, 3}, {Button::kNextAlbum, true, 0, 1, 2},
      {Button::kPreAlbum, false, 4, 4, 0},  {Button::kPreAlbum, false, 1, 2, 3},
      {Button::kPreAlbum, true, 4, 4, 3},   {Button::kPreAlbum, true, 1, 2, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "button " << static_cast<int>(c.button) << " lock "
                                      << c.lock << " from " << c.from);
    window_->CheckBox_album_lock->setChecked(c.lock);
    g_state.catalogue.current = c.from;
    StartPlaying();
    fake::ClearCallLog();
    Press(window_.get(), c.button);
    EXPECT_EQ(Current(), c.after_press);
    EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"stop"});
    Poll();
    EXPECT_EQ(Current(), c.played);
    EXPECT_EQ(LastOpened(), Entry(c.played));
    EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  }
}

TEST_F(TransportTest, NavigationNeedsTwoEntries) {
  const Button buttons[] = {Button::kNextFile, Button::kPreFile, Button::kNextAlbum,
                            Button::kPreAlbum};
  for (bool playing : {false, true}) {
    ResetProgramState();
    FreshCatalogueOf({"only/x.mp3"});
    if (playing) StartPlaying();
    window_->Label_song->setText("unchanged");
    fake::ClearCallLog();
    for (Button button : buttons) Press(window_.get(), button);
    EXPECT_EQ(Current(), 0);
    EXPECT_TRUE(fake::CallLog().empty());
    EXPECT_EQ(Text(window_->Label_song), "unchanged");
  }
}

TEST_F(TransportTest, NextAlbumInOneAlbumGoesToTheLastEntry) {
  FreshCatalogueOf({"a.mp3", "b.mp3", "c.mp3"});
  window_->BitBtn_next_albumClick();
  EXPECT_EQ(Current(), 2);
}

TEST_F(TransportTest, SingleTrackPlaysOverAndOver) {
  FreshCatalogueOf({"a.mp3"});
  StartPlaying();
  for (int round = 0; round < 3; ++round) {
    EndTrack();
    Poll();
    EXPECT_EQ(Current(), 0);
    EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  }
  EXPECT_EQ(OpenCount(), 4);
}

TEST_F(TransportTest, RepeatReopensTheSameTrack) {
  window_->CheckBox_repeat->setChecked(true);
  g_state.catalogue.current = 3;
  StartPlaying();
  EndTrack();
  Poll();
  EXPECT_EQ(Current(), 3);
  EXPECT_EQ(LastOpened(), Entry(3));

  // NextFile while playing restarts the current track; PreFile lands two back.
  window_->BitBtn_next_fileClick();
  Poll();
  EXPECT_EQ(LastOpened(), Entry(3));
  window_->BitBtn_pre_fileClick();
  Poll();
  EXPECT_EQ(LastOpened(), Entry(1));
}

TEST_F(TransportTest, RandomPicksAnotherEntry) {
  window_->CheckBox_random->setChecked(true);
  SeedRandom(12345);
  for (int step = 0; step < 20; ++step) {
    const int32_t before = Current();
    window_->BitBtn_next_fileClick();  // idle
    EXPECT_NE(Current(), before);
    EXPECT_GE(Current(), 0);
    EXPECT_LT(Current(), 5);
  }
  StartPlaying();
  for (int step = 0; step < 20; ++step) {
    const int32_t before = Current();
    EndTrack();
    Poll();
    EXPECT_NE(Current(), before);
    EXPECT_EQ(LastOpened(), Entry(Current()));
  }
}

TEST_F(TransportTest, UnplayableTrackIsSkippedAtTheNextPoll) {
  StartPlaying();
  fake::FailOpenOf(Entry(1));
  EndTrack();
  Poll();
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(fake::DecoderState(), VBMP3_STOPPED);
  EXPECT_TRUE(g_state.continuous_play);
  Poll();
  EXPECT_EQ(Current(), 2);
  EXPECT_EQ(fake::OpenPath(), Entry(2));
}

TEST_F(TransportTest, PauseThenNextFileKeepsTheUserPauseUntilPlay) {
  StartPlaying();
  window_->BitBtn_pauseClick();
  Poll();
  window_->BitBtn_next_fileClick();
  Poll();
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  EXPECT_TRUE(window_->Controller().UserPaused());
  Poll();

  // A seek on the new track shows "Pause " and leaves it paused.
  window_->Image_time_locateMouseDown(Qt::LeftButton, {}, 102, 5);
  window_->Image_time_locateMouseUp(Qt::LeftButton, {}, 102, 5);
  fake::ClearCallLog();
  Poll();
  EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"seek 149"});
  EXPECT_EQ(fake::DecoderState(), VBMP3_PAUSED);
  EXPECT_EQ(Text(window_->Label_status), "Pause ");

  window_->BitBtn_playClick();
  EXPECT_FALSE(window_->Controller().UserPaused());
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
}

TEST_F(TransportTest, AlbumLockWhilePlayingChangesOnlyCaptionsUntilTheNextPress) {
  g_state.catalogue.current = 0;
  StartPlaying();
  fake::ClearCallLog();
  window_->CheckBox_album_lock->setChecked(true);
  EXPECT_EQ(window_->BitBtn_next_album->text(), "LastFile ");
  EXPECT_TRUE(fake::CallLog().empty());
  EXPECT_EQ(Current(), 0);
  window_->BitBtn_next_albumClick();
  Poll();
  EXPECT_EQ(Current(), 2);  // the last file of album A
}

// The poll runs early after a track change or an entry that did not open. Its own tick is an
// hour away here, so whatever opens does so without it.
class EarlyStepTest : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    window_->Timer1->start(3600 * 1000);
  }
  // Lets the event loop turn until the decoder plays or play has ended, a bounded number of
  // times; the turns it took.
  int TurnUntilSettled() {
    int turns = 0;
    while (fake::DecoderState() != VBMP3_PLAYING && g_state.continuous_play && turns < 1000) {
      QCoreApplication::processEvents();
      ++turns;
    }
    return turns;
  }
};

TEST_F(EarlyStepTest, TrackChangeIsOpenedOnceTheHandlerHasReturned) {
  const struct {
    Button button;
    int32_t from;
    int32_t played;
  } cases[] = {
      {Button::kNextFile, 1, 2},
      {Button::kPreFile, 3, 2},
      {Button::kNextAlbum, 1, 3},
      {Button::kPreAlbum, 4, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "button " << static_cast<int>(c.button));
    g_state.catalogue.current = c.from;
    StartPlaying();
    fake::ClearCallLog();
    Press(window_.get(), c.button);
    // Not inside the handler: it has not finished with the window yet.
    EXPECT_EQ(OpenCount(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(Current(), c.played);
    EXPECT_EQ(fake::CallLog(),
              (std::vector<std::string>{"stop", "close", "open " + Entry(c.played), "play"}));
    EXPECT_TRUE(StartButtonsDisabled());
  }
}

// A click handled while a poll lets messages run is not stepped inside that poll, which goes on
// with what it read before the click; the step follows it.
TEST_F(EarlyStepTest, ClickDuringAPollIsSteppedAfterThatPoll) {
  StartPlaying();
  fake::ClearCallLog();
  QTimer::singleShot(0, window_.get(), [this] { window_->BitBtn_next_file->click(); });
  Poll();
  EXPECT_EQ(OpenCount(), 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(OpenCount(), 1);
  EXPECT_EQ(LastOpened(), Entry(1));
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
}

// An undecodable file, a missing one and a pipe in a row: each is passed over at the next turn
// of the event loop, not at a tick of its own, and the first playable entry plays.
TEST_F(EarlyStepTest, UnplayableEntriesInARowArePassedWithoutATickEach) {
  StartPlaying();
  fake::FailOpenOf(Entry(1));
  ASSERT_TRUE(QFile::remove(dir_->path() + "/A/3.mp3"));
  ASSERT_TRUE(QFile::remove(dir_->path() + "/B/4.mp3"));
  ASSERT_EQ(mkfifo((dir_->path() + "/B/4.mp3").toUtf8().constData(), 0600), 0);
  EndTrack();
  fake::ClearCallLog();
  Poll();
  EXPECT_EQ(Current(), 1);
  EXPECT_LE(TurnUntilSettled(), 10);
  EXPECT_EQ(Current(), 4);
  EXPECT_EQ(fake::OpenPath(), Entry(4));
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  EXPECT_TRUE(g_state.continuous_play);
  // The pipe and the missing file never reach the decoder.
  EXPECT_EQ(OpenCount(), 2);
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
