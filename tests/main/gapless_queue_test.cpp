// The main window's side of gapless play, against the fake decoder: what the poll queues, the
// bookkeeping when the queued track starts, and every action that drops the queued track.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <cstring>
#include <functional>

#include "catalogue/catalogue.h"
#include "catalogue/navigation.h"
#include "main/main_window_fixture.h"
#include "platform/drives.h"

namespace veldan::testing {
namespace {

// Albums A (entries 0-2) and B (entries 3-4); entries 1 and 3 carry tags and another format.
class GaplessQueueTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "A/3.mp3", "B/4.mp3", "B/5.mp3"});
    fake::SetTrackInfoFor(Entry(1), fake::MakeTrackInfo("Two", "Band", 2, 192, 48000, 61));
    fake::SetTrackInfoFor(Entry(3), fake::MakeTrackInfo("Four", "", 1, 64, 22050, 3725));
  }

  void SetModes(bool lock, bool repeat, bool random) {
    window_->CheckBox_album_lock->setChecked(lock);
    window_->CheckBox_repeat->setChecked(repeat);
    window_->CheckBox_random->setChecked(random);
  }

  // What the window shows about the track that plays.
  std::vector<std::string> Shown() const {
    return {std::to_string(Current()),         Text(window_->Label_song),
            Text(window_->Label_album),        Text(window_->Label_total_time),
            Text(window_->Label_stereo),       Text(window_->Label_status),
            std::to_string(SeekStrokes()),     StartButtonsDisabled() ? "disabled" : "enabled"};
  }

  int CallsNamed(const std::string& prefix) const {
    const auto log = fake::CallLog(false, true);
    return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const std::string& call) {
      return call.rfind(prefix, 0) == 0;
    }));
  }
};

// For every mode the join shows exactly what the end-of-track step shows after opening the
// track itself; the join opens nothing.
TEST_F(GaplessQueueTest, JoinBookkeepingMatchesTheEndOfTrackStep) {
  struct Case {
    bool lock, repeat, random;
    int32_t start;
  };
  const Case cases[] = {
      {false, false, false, 0}, {false, false, false, 2}, {false, false, false, 4},
      {true, false, false, 2},  {true, false, false, 0},  {false, true, false, 3},
      {false, false, true, 0},  {true, false, true, 1},   {true, true, true, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("lock " + std::to_string(c.lock) + " repeat " + std::to_string(c.repeat) +
                 " random " + std::to_string(c.random) + " from " + std::to_string(c.start));
    SetModes(c.lock, c.repeat, c.random);

    // The end of the track, as before gapless play.
    window_->BitBtn_stopClick();
    Poll();
    g_state.catalogue.current = c.start;
    window_->Controller().StartPlayback();
    SeedRandom(99);
    fake::SetDecoderState(VBMP3_STOPPED);
    Poll();
    const auto ended = Shown();
    const std::string opened = LastOpened();

    // The same track joined on.
    window_->BitBtn_stopClick();
    Poll();
    g_state.catalogue.current = c.start;
    window_->Controller().StartPlayback();
    SeedRandom(99);
    Poll();
    EXPECT_EQ(fake::QueuedPath(), opened);
    fake::ClearCallLog();
    ASSERT_TRUE(fake::StartQueuedTrack());
    Poll();
    EXPECT_EQ(Shown(), ended);
    EXPECT_EQ(CallsNamed("open") + CallsNamed("play") + CallsNamed("close"), 0);
    // What follows is queued at once.
    if (c.repeat) {
      EXPECT_EQ(fake::QueuedPath(), Entry(Current()));
    } else if (!c.random) {
      EXPECT_EQ(fake::QueuedPath(), Entry(NextFileIndex(Current(), c.lock, false)));
    } else {
      EXPECT_NE(fake::QueuedPath(), "");
    }
  }
}

// Every action that changes what comes next drops the queued track, in the decoder and in
// the window; the next playing poll queues again under the rules as they are then.
TEST_F(GaplessQueueTest, EveryChangeOfWhatComesNextDropsTheQueuedTrack) {
  struct Action {
    const char* name;
    std::function<void()> run;
  };
  const Action actions[] = {
      {"Stop", [this] { window_->BitBtn_stopClick(); }},
      {"NextFile", [this] { window_->BitBtn_next_fileClick(); }},
      {"PreFile", [this] { window_->BitBtn_pre_fileClick(); }},
      {"NextAlbum", [this] { window_->BitBtn_next_albumClick(); }},
      {"PreAlbum", [this] { window_->BitBtn_pre_albumClick(); }},
      {"AlbumLock", [this] { window_->CheckBox_album_lock->click(); }},
      {"Repeat", [this] { window_->CheckBox_repeat->click(); }},
      {"Random", [this] { window_->CheckBox_random->click(); }},
      {"Pause, then NextFile",
       [this] {
         window_->BitBtn_pauseClick();
         window_->BitBtn_next_fileClick();
       }},
  };
  for (const Action& action : actions) {
    SCOPED_TRACE(action.name);
    SetModes(false, false, false);
    window_->BitBtn_stopClick();
    Poll();
    g_state.catalogue.current = 0;
    StartPlaying();
    ASSERT_EQ(fake::QueuedPath(), Entry(1));
    ASSERT_EQ(window_->Controller().QueuedIndex(), 1);
    action.run();
    EXPECT_EQ(fake::QueuedPath(), "");
    EXPECT_EQ(window_->Controller().QueuedIndex(), -1);
  }
}

TEST_F(GaplessQueueTest, SeekDropsAndThePollQueuesAgain) {
  StartPlaying();
  ASSERT_EQ(fake::QueuedPath(), Entry(1));
  fake::ClearCallLog();
  window_->Image_time_locateMouseDown(Qt::LeftButton, {}, 102, 7);
  window_->Image_time_locateMouseUp(Qt::LeftButton, {}, 102, 7);
  Poll();
  const auto log = fake::CallLog(false, true);
  const auto drop = std::find(log.begin(), log.end(), "queue ");
  const auto seek = std::find_if(log.begin(), log.end(),
                                 [](const std::string& call) { return call.rfind("seek", 0) == 0; });
  ASSERT_NE(drop, log.end());
  ASSERT_NE(seek, log.end());
  EXPECT_LT(drop, seek);
  EXPECT_EQ(fake::QueuedPath(), Entry(1));
}

// Repeat queues the track itself: a seamless loop that stays on the same entry.
TEST_F(GaplessQueueTest, RepeatLoopsTheSameTrackWithoutOpeningIt) {
  g_state.catalogue.current = 3;
  StartPlaying();
  window_->CheckBox_repeat->click();
  Poll();
  ASSERT_EQ(fake::QueuedPath(), Entry(3));
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(fake::StartQueuedTrack());
    Poll();
    EXPECT_EQ(Current(), 3);
    EXPECT_EQ(Text(window_->Label_song), "Four-(1/2) ");
    EXPECT_EQ(fake::QueuedPath(), Entry(3));
  }
  EXPECT_EQ(OpenCount(), 1);
}

// A track that does not open ahead is asked for once; the end of the current track then goes
// the way it always went.
TEST_F(GaplessQueueTest, TrackThatCannotBeQueuedIsLeftToTheEndOfTrackStep) {
  fake::FailOpenOf(Entry(1));
  StartPlaying();
  Poll();
  Poll();
  EXPECT_EQ(CallsNamed("queue " + Entry(1)), 1);
  EXPECT_EQ(window_->Controller().QueuedIndex(), -1);
  fake::SetDecoderState(VBMP3_STOPPED);
  Poll();
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(LastOpened(), Entry(1));
  Poll();
  EXPECT_EQ(fake::OpenPath(), Entry(2));
}

// A join heard just before a button press: the window catches up first, so NextFile moves on
// from the track that is heard.
TEST_F(GaplessQueueTest, ButtonPressedJustAfterAJoinActsOnTheJoinedTrack) {
  StartPlaying();
  ASSERT_TRUE(fake::StartQueuedTrack());
  window_->BitBtn_next_fileClick();
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(Text(window_->Label_song), "Two-(2/3) ");
  Poll();
  EXPECT_EQ(Current(), 2);
  EXPECT_EQ(LastOpened(), Entry(2));
}

// The catalogue was replaced while a join came: the joined track stops and the end-of-track
// step goes on from the current entry of the new catalogue.
TEST_F(GaplessQueueTest, JoinIntoAReplacedCatalogueFallsBackToTheEndOfTrackStep) {
  StartPlaying();
  ASSERT_EQ(window_->Controller().QueuedIndex(), 1);
  FreshCatalogueOf({"X/a.mp3", "X/b.mp3", "X/c.mp3"});
  g_state.catalogue.current = 0;
  ASSERT_TRUE(fake::StartQueuedTrack());
  fake::ClearCallLog();
  Poll();
  EXPECT_EQ(fake::CallLog().front(), "stop");
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(LastOpened(), Entry(1));
}

// Replaces a file by another (a tagger's save, a download finished): a new file is written
// beside it and renamed over it, so the path names another inode.
void ReplaceFile(const QString& path) {
  QFile other(path + ".new");
  ASSERT_TRUE(other.open(QIODevice::WriteOnly));
  other.write("another file");
  other.close();
  ASSERT_EQ(std::rename((path + ".new").toUtf8().constData(), path.toUtf8().constData()), 0);
}

// The queued entry's path names another file, or none, before the join: the queued track is
// dropped and not queued again, and the end of the playing track opens the entry as it would
// without a queue.
TEST_F(GaplessQueueTest, QueuedFileReplacedOrGoneIsLeftToTheEndOfTrackStep) {
  for (const bool replaced : {true, false}) {
    SCOPED_TRACE(replaced ? "replaced" : "gone");
    FreshCatalogueOf({"A/1.mp3", "A/2.mp3", "A/3.mp3"});
    StartPlaying();
    ASSERT_EQ(fake::QueuedPath(), Entry(1));
    const QString second = dir_->path() + "/A/2.mp3";
    if (replaced) {
      ReplaceFile(second);
    } else {
      ASSERT_TRUE(QFile::remove(second));
    }
    Poll();
    EXPECT_EQ(fake::QueuedPath(), "");
    EXPECT_EQ(window_->Controller().QueuedIndex(), -1);
    Poll();
    EXPECT_EQ(fake::QueuedPath(), "");

    fake::SetDecoderState(VBMP3_STOPPED);
    fake::ClearCallLog();
    Poll();
    EXPECT_EQ(Current(), 1);
    if (replaced) {
      EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"close", "open " + Entry(1), "play"}));
    } else {
      EXPECT_EQ(OpenCount(), 0);  // skipped as a missing file is
    }
    window_->BitBtn_stopClick();
    Poll();
  }
}

// Replaced after the last poll's check and joined before the next poll: the joined track
// stops at once and the end-of-track step opens the entry's new file.
TEST_F(GaplessQueueTest, FileReplacedJustBeforeTheJoinStopsTheJoinedTrack) {
  StartPlaying();
  ReplaceFile(dir_->path() + "/A/2.mp3");
  ASSERT_TRUE(fake::StartQueuedTrack());
  fake::ClearCallLog();
  Poll();
  EXPECT_EQ(fake::CallLog(),
            (std::vector<std::string>{"stop", "close", "open " + Entry(1), "play"}));
  EXPECT_EQ(Current(), 1);
}

// A pipe where the next track was is never handed to the decoder to open ahead.
TEST_F(GaplessQueueTest, PipeIsNotQueued) {
  ASSERT_TRUE(QFile::remove(dir_->path() + "/A/2.mp3"));
  ASSERT_EQ(mkfifo((dir_->path() + "/A/2.mp3").toUtf8().constData(), 0600), 0);
  StartPlaying();
  Poll();
  EXPECT_EQ(CallsNamed("queue " + Entry(1)), 0);
  EXPECT_EQ(window_->Controller().QueuedIndex(), -1);
}

// A file written to in place is still the file that was queued.
TEST_F(GaplessQueueTest, FileWrittenInPlaceKeepsItsQueuedTrack) {
  StartPlaying();
  fake::ClearCallLog();
  QFile second(dir_->path() + "/A/2.mp3");
  ASSERT_TRUE(second.open(QIODevice::Append));
  second.write("more bytes");
  second.close();
  Poll();
  EXPECT_EQ(fake::QueuedPath(), Entry(1));
  ASSERT_TRUE(fake::StartQueuedTrack());
  Poll();
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(OpenCount(), 0);
}

// A disc in CD-ROM drive D: (a temporary folder) swapped for another while its first track
// plays, the second queued: the new disc is searched from its root and its first track plays,
// whether the swap is seen before the join or only when the join is reported.
TEST_F(GaplessQueueTest, DiscSwappedWhileTheNextTrackIsQueuedPlaysTheNewDisc) {
  const QString disc = dir_->path() + "/cd";
  qputenv("VELDAN_DRIVES", ("D=cdrom:" + disc).toUtf8());
  ReloadDriveTable();
  for (const bool joined_first : {false, true}) {
    SCOPED_TRACE(joined_first ? "joined before the poll" : "seen before the join");
    ASSERT_TRUE(QDir(disc).removeRecursively());
    CreateFile(disc, "Music/a.mp3");
    CreateFile(disc, "Music/b.mp3");
    std::strcpy(g_state.starting_folder, "D:\\Music");
    BuildCatalogue(g_state.starting_folder);
    window_->Timer1->stop();
    StartPlaying();
    ASSERT_EQ(fake::QueuedPath(), "D:\\Music\\b.mp3");

    ASSERT_TRUE(QDir().rename(disc, disc + ".old"));
    CreateFile(disc, "x.mp3");
    CreateFile(disc, "Other/y.mp3");
    if (joined_first) {
      ASSERT_TRUE(fake::StartQueuedTrack());
    } else {
      Poll();
      EXPECT_EQ(fake::QueuedPath(), "");
      fake::SetDecoderState(VBMP3_STOPPED);
    }
    fake::ClearCallLog();
    Poll();
    window_->Timer1->stop();
    EXPECT_EQ(window_->windowTitle(), "VELDAN [D:]");
    EXPECT_EQ(LastOpened(), "D:\\x.mp3");
    EXPECT_EQ(Current(), 0);
    EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
    ASSERT_TRUE(QDir(disc + ".old").removeRecursively());
    window_->BitBtn_stopClick();
    Poll();
  }
  qunsetenv("VELDAN_DRIVES");
  ReloadDriveTable();
}

}  // namespace
}  // namespace veldan::testing
