// The controller's gapless queue: what the poll queues, the bookkeeping when the queued track
// starts, and everything that drops it: the controller's own operations and mode changes, and a
// catalogue changed behind its back, with no call of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "catalogue/catalogue.h"
#include "catalogue/navigation.h"
#include "platform/drives.h"
#include "platform/name_codec.h"
#include "playback/playback_fixture.h"

namespace veldan::testing {
namespace {

// Albums A (entries 0-2) and B (entries 3-4); entries 1 and 3 carry tags and another format.
class GaplessQueueTest : public PlaybackTest {
 protected:
  void SetUp() override {
    PlaybackTest::SetUp();
    BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "A/3.mp3", "B/4.mp3", "B/5.mp3"});
    fake::SetTrackInfoFor(Entry(1), fake::MakeTrackInfo("Two", "Band", 2, 192, 48000, 61));
    fake::SetTrackInfoFor(Entry(3), fake::MakeTrackInfo("Four", "", 1, 64, 22050, 3725));
  }

  // What the listeners have been told about the track that plays.
  std::vector<std::string> Shown() const {
    const vbmp3_info& info = controller_->TrackInfo();
    const auto& events = listener_.events;
    const auto start = std::find_if(events.rbegin(), events.rend(),
                                    [](const std::string& e) { return e.rfind("start ", 0) == 0; });
    return {std::to_string(Current()),
            info.title,
            info.artist,
            std::to_string(info.length),
            std::to_string(info.channels),
            std::to_string(info.sample_rate),
            listener_.status,
            start != events.rend() ? *start : "",
            std::count(events.begin(), events.end(), "opened") > 0 ? "opened" : ""};
  }

  int CallsNamed(const std::string& prefix) const {
    const auto log = fake::CallLog(false, true);
    return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const std::string& call) {
      return call.rfind(prefix, 0) == 0;
    }));
  }

  void PlayFrom(int32_t index) {
    controller_->Stop();
    Poll();
    g_state.catalogue.current = index;
    StartPlaying();
  }
};

// For every mode the join tells exactly what the end-of-track step tells after opening the
// track itself; the join opens nothing, and what follows is queued at once.
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
    SCOPED_TRACE(::testing::Message() << "lock " << c.lock << " repeat " << c.repeat << " random "
                                      << c.random << " from " << c.start);
    SetModes(c.lock, c.repeat, c.random);

    PlayFrom(c.start);
    SeedRandom(99);
    EndTrack();
    listener_.events.clear();
    Poll();
    const auto ended = Shown();
    const std::string opened = LastOpened();

    controller_->Stop();
    Poll();
    g_state.catalogue.current = c.start;
    controller_->StartPlayback();
    SeedRandom(99);
    Poll();
    EXPECT_EQ(fake::QueuedPath(), opened);
    fake::ClearCallLog();
    ASSERT_TRUE(fake::StartQueuedTrack());
    listener_.events.clear();
    Poll();
    EXPECT_EQ(Shown(), ended);
    EXPECT_EQ(CallsNamed("open") + CallsNamed("play") + CallsNamed("close"), 0);
    if (c.repeat) {
      EXPECT_EQ(fake::QueuedPath(), Entry(Current()));
    } else if (!c.random) {
      EXPECT_EQ(fake::QueuedPath(), Entry(NextFileIndex(Current(), c.lock, false)));
    } else {
      EXPECT_NE(fake::QueuedPath(), "");
    }
  }
}

// Every operation and every mode change that changes what comes next drops the queued track in
// the decoder and in the controller.
TEST_F(GaplessQueueTest, EveryChangeOfWhatComesNextDropsTheQueuedTrack) {
  struct Action {
    const char* name;
    std::function<void()> run;
  };
  const Action actions[] = {
      {"Stop", [this] { controller_->Stop(); }},
      {"NextFile", [this] { controller_->NextFile(); }},
      {"PreviousFile", [this] { controller_->PreviousFile(); }},
      {"NextAlbum", [this] { controller_->NextAlbum(); }},
      {"PreviousAlbum", [this] { controller_->PreviousAlbum(); }},
      {"AlbumLock", [this] { controller_->SetAlbumLock(true); }},
      {"Repeat", [this] { controller_->SetRepeat(true); }},
      {"Random", [this] { controller_->SetRandom(true); }},
      {"SeekTo", [this] { controller_->SeekTo(30); }},
      {"Selection", [this] { controller_->PlaySelection(true, 3); }},
      {"Decoder lent out", [this] { controller_->DecoderLentOut(); }},
      {"Pause, then NextFile",
       [this] {
         controller_->Pause();
         controller_->NextFile();
       }},
  };
  for (const Action& action : actions) {
    SCOPED_TRACE(action.name);
    SetModes(false, false, false);
    PlayFrom(0);
    ASSERT_EQ(fake::QueuedPath(), Entry(1));
    ASSERT_EQ(controller_->QueuedIndex(), 1);
    action.run();
    EXPECT_EQ(fake::QueuedPath(), "");
    EXPECT_EQ(controller_->QueuedIndex(), -1);
  }
}

// Changes made past the controller (a dialog loading a list or rebuilding the catalogue, a
// pick that moves the current index) drop the queued track at the next operation or poll,
// before a join can be taken for the old catalogue; the poll then queues for the new one.
TEST_F(GaplessQueueTest, ACatalogueChangedBehindTheControllerDropsTheQueuedTrack) {
  const struct {
    const char* name;
    std::function<void()> change;
  } changes[] = {
      {"another entry at the queued index",
       [this] { std::snprintf(g_state.catalogue.entries[1], kTextSize, "%s", "T:\\A\\3.mp3"); }},
      {"an entry removed", [] { --g_state.catalogue.count; }},
      {"another current entry", [] { g_state.catalogue.current = 3; }},
      {"an entry past the queued one changed",
       [] { std::snprintf(g_state.catalogue.entries[4], kTextSize, "%s", "T:\\A\\1.mp3"); }},
  };
  for (const auto& c : changes) {
    SCOPED_TRACE(c.name);
    BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "A/3.mp3", "B/4.mp3", "B/5.mp3"});
    PlayFrom(0);
    ASSERT_EQ(controller_->QueuedIndex(), 1);
    c.change();
    fake::ClearCallLog();
    Poll();
    const auto log = fake::CallLog(false, true);
    const std::string next = Entry(NextFileIndex(Current(), false, false));
    const auto drop = std::find(log.begin(), log.end(), "queue ");
    ASSERT_NE(drop, log.end());
    EXPECT_NE(std::find(drop, log.end(), "queue " + next), log.end()) << "queued again at once";
    EXPECT_EQ(fake::QueuedPath(), next);
  }
  // Joined before the poll that notices: the joined track was queued for the old catalogue and
  // no longer fits; it stops and the end-of-track step goes on from the current entry.
  BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "A/3.mp3"});
  PlayFrom(0);
  BuildCatalogueOf({"X/a.mp3", "X/b.mp3", "X/c.mp3"});
  g_state.catalogue.current = 0;
  ASSERT_TRUE(fake::StartQueuedTrack());
  fake::ClearCallLog();
  Poll();
  EXPECT_EQ(fake::CallLog().front(), "stop");
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(LastOpened(), Entry(1));
}

// A join heard just before an operation: the controller catches up first, so NextFile moves on
// from the track that is heard.
TEST_F(GaplessQueueTest, AStepJustAfterAJoinActsOnTheJoinedTrack) {
  StartPlaying();
  ASSERT_TRUE(fake::StartQueuedTrack());
  listener_.events.clear();
  controller_->NextFile();
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(std::string(controller_->TrackInfo().title), "Two");
  EXPECT_NE(std::find(listener_.events.begin(), listener_.events.end(), "opened"),
            listener_.events.end());
  RunSteps();
  EXPECT_EQ(Current(), 2);
  EXPECT_EQ(LastOpened(), Entry(2));
}

TEST_F(GaplessQueueTest, ASeekDropsBeforeItSeeksAndThePollQueuesAgain) {
  StartPlaying();
  ASSERT_EQ(fake::QueuedPath(), Entry(1));
  fake::ClearCallLog();
  controller_->PressSeekBar(150);
  controller_->ReleaseSeekBar();
  Poll();
  const auto log = fake::CallLog(false, true);
  const auto drop = std::find(log.begin(), log.end(), "queue ");
  const auto seek = std::find(log.begin(), log.end(), "seek 150");
  ASSERT_NE(drop, log.end());
  ASSERT_NE(seek, log.end());
  EXPECT_LT(drop, seek);
  EXPECT_EQ(fake::QueuedPath(), Entry(1));
}

// Repeat queues the track itself: a seamless loop that stays on the same entry.
TEST_F(GaplessQueueTest, RepeatLoopsTheSameTrackWithoutOpeningIt) {
  g_state.catalogue.current = 3;
  StartPlaying();
  controller_->SetRepeat(true);
  Poll();
  ASSERT_EQ(fake::QueuedPath(), Entry(3));
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(fake::StartQueuedTrack());
    Poll();
    EXPECT_EQ(Current(), 3);
    EXPECT_EQ(fake::QueuedPath(), Entry(3));
  }
  EXPECT_EQ(OpenCount(), 1);
}

// A track that does not open ahead is asked for once; the end of the current track then goes
// the way it always went.
TEST_F(GaplessQueueTest, ATrackThatCannotBeQueuedIsLeftToTheEndOfTrackStep) {
  fake::FailOpenOf(Entry(1));
  StartPlaying();
  Poll();
  Poll();
  EXPECT_EQ(CallsNamed("queue " + Entry(1)), 1);
  EXPECT_EQ(controller_->QueuedIndex(), -1);
  EndTrack();
  Poll();
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(LastOpened(), Entry(1));
  RunSteps();
  EXPECT_EQ(fake::OpenPath(), Entry(2));
}

// Replaces a file by another (a tagger's save, a download finished): a new file is written
// beside it and renamed over it, so the path names another inode.
void ReplaceFile(const std::string& path) {
  std::ofstream(path + ".new") << "another file";
  ASSERT_EQ(std::rename((path + ".new").c_str(), path.c_str()), 0);
}

// The queued entry's path names another file, or none, before the join: the queued track is
// dropped and not queued again, and the end of the playing track opens the entry as it would
// without a queue.
TEST_F(GaplessQueueTest, AQueuedFileReplacedOrGoneIsLeftToTheEndOfTrackStep) {
  for (const bool replaced : {true, false}) {
    SCOPED_TRACE(replaced ? "replaced" : "gone");
    BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "A/3.mp3"});
    PlayFrom(0);
    ASSERT_EQ(fake::QueuedPath(), Entry(1));
    if (replaced) {
      ReplaceFile(HostPath("A/2.mp3"));
    } else {
      std::filesystem::remove(HostPath("A/2.mp3"));
    }
    Poll();
    EXPECT_EQ(fake::QueuedPath(), "");
    EXPECT_EQ(controller_->QueuedIndex(), -1);
    Poll();
    EXPECT_EQ(fake::QueuedPath(), "");

    EndTrack();
    fake::ClearCallLog();
    Poll();
    EXPECT_EQ(Current(), 1);
    if (replaced) {
      EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"close", "open " + Entry(1), "play"}));
    } else {
      EXPECT_EQ(OpenCount(), 0);  // skipped as a missing file is
    }
  }
  // Replaced after the last poll's check and joined before the next poll: the joined track
  // stops at once and the end-of-track step opens the entry's new file.
  BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "A/3.mp3"});
  PlayFrom(0);
  ReplaceFile(HostPath("A/2.mp3"));
  ASSERT_TRUE(fake::StartQueuedTrack());
  fake::ClearCallLog();
  Poll();
  EXPECT_EQ(fake::CallLog(),
            (std::vector<std::string>{"stop", "close", "open " + Entry(1), "play"}));
}

// A pipe where the next track was is never handed to the decoder to open ahead; a file written
// to in place is still the file that was queued.
TEST_F(GaplessQueueTest, OnlyTheSameRegularFileIsQueuedAndJoined) {
  std::filesystem::remove(HostPath("A/2.mp3"));
  ASSERT_EQ(mkfifo(HostPath("A/2.mp3").c_str(), 0600), 0);
  StartPlaying();
  Poll();
  EXPECT_EQ(CallsNamed("queue " + Entry(1)), 0);
  EXPECT_EQ(controller_->QueuedIndex(), -1);

  g_state.catalogue.current = 2;
  PlayFrom(2);
  ASSERT_EQ(fake::QueuedPath(), Entry(3));
  std::ofstream(HostPath("B/4.mp3"), std::ios::app) << "more bytes";
  Poll();
  EXPECT_EQ(fake::QueuedPath(), Entry(3));
  fake::ClearCallLog();
  ASSERT_TRUE(fake::StartQueuedTrack());
  Poll();
  EXPECT_EQ(Current(), 3);
  EXPECT_EQ(OpenCount(), 0);
}

// A disc in CD-ROM drive D: swapped for another while its first track plays, the second
// queued: the new disc is searched from its root and its first track plays, whether the swap
// is seen before the join or only when the join is reported.
TEST_F(GaplessQueueTest, ADiscSwappedWhileTheNextTrackIsQueuedPlaysTheNewDisc) {
  for (const bool joined_first : {false, true}) {
    SCOPED_TRACE(joined_first ? "joined before the poll" : "seen before the join");
    tree_.reset();
    tree_ = std::make_unique<test::TempDrive>('T');
    const std::string disc = tree_->root() + "/cd";
    setenv("VELDAN_DRIVES", ("T=fixed:" + tree_->root() + ";D=cdrom:" + disc).c_str(), 1);
    ReloadDriveTable();
    tree_->WriteFile("cd/Music/a.mp3");
    tree_->WriteFile("cd/Music/b.mp3");
    CopyText(g_state.starting_folder, kTextSize, "D:\\Music");
    BuildCatalogue(g_state.starting_folder);
    StartPlaying();
    ASSERT_EQ(fake::QueuedPath(), "D:\\Music\\b.mp3");

    std::filesystem::rename(disc, disc + ".old");
    tree_->WriteFile("cd/x.mp3");
    tree_->WriteFile("cd/Other/y.mp3");
    if (joined_first) {
      ASSERT_TRUE(fake::StartQueuedTrack());
    } else {
      Poll();
      EXPECT_EQ(fake::QueuedPath(), "");
      EndTrack();
    }
    listener_.events.clear();
    Poll();
    EXPECT_STREQ(g_state.starting_folder, "D:");
    EXPECT_NE(std::find(listener_.events.begin(), listener_.events.end(), "folder"),
              listener_.events.end());
    EXPECT_EQ(LastOpened(), "D:\\x.mp3");
    EXPECT_EQ(Current(), 0);
    EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
    controller_->Stop();
    Poll();
  }
}

}  // namespace
}  // namespace veldan::testing
