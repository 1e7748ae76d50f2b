// The gain mode the controller opens and queues each track with, and the resume point: taken
// up at start-up, saved at track changes, at intervals of play and at shut-down.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "platform/name_codec.h"
#include "playback/playback_fixture.h"

namespace veldan::testing {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Albums A (entries 0-2) and B (entries 3-4).
class ReplayGainTest : public PlaybackTest {
 protected:
  void SetUp() override {
    PlaybackTest::SetUp();
    BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "A/3.mp3", "B/4.mp3", "B/5.mp3"});
  }
};

TEST_F(ReplayGainTest, AutomaticModeFollowsThePlayModes) {
  struct Case {
    bool lock, random;
    int32_t mode;
  };
  // Under Random the tracks heard in a row are not an album's run, even under the lock.
  const Case cases[] = {{false, false, VBMP3_GAIN_ALBUM},
                        {true, false, VBMP3_GAIN_ALBUM},
                        {false, true, VBMP3_GAIN_TRACK},
                        {true, true, VBMP3_GAIN_TRACK}};
  EXPECT_EQ(controller_->GainSetting(), ReplayGainSetting::kAuto);
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "lock " << c.lock << " random " << c.random);
    controller_->Stop();
    fake::ResetDecoder();
    SetModes(c.lock, false, c.random);
    g_state.catalogue.current = 1;
    StartPlaying();
    EXPECT_EQ(fake::OpenedGainMode(), c.mode);
    // The poll queued what follows with the same mode.
    ASSERT_FALSE(fake::QueuedPath().empty());
    EXPECT_EQ(fake::QueuedGainMode(), c.mode);
    // The end-of-track step's opening sets it too.
    EndTrack();
    Poll();
    EXPECT_EQ(fake::OpenedGainMode(), c.mode);
  }
}

TEST_F(ReplayGainTest, ASettingForcesItsModeWhateverThePlayModes) {
  struct Case {
    ReplayGainSetting setting;
    int32_t mode;
  };
  const Case cases[] = {{ReplayGainSetting::kAlbum, VBMP3_GAIN_ALBUM},
                        {ReplayGainSetting::kTrack, VBMP3_GAIN_TRACK},
                        {ReplayGainSetting::kOff, VBMP3_GAIN_OFF}};
  for (const Case& c : cases) {
    for (const bool random : {false, true}) {
      SCOPED_TRACE(::testing::Message()
                   << "setting " << static_cast<int>(c.setting) << " random " << random);
      controller_->Stop();
      fake::ResetDecoder();
      // The library's mode from before must not simply be left standing.
      vbmp3_setGainMode(c.mode == VBMP3_GAIN_ALBUM ? VBMP3_GAIN_TRACK : VBMP3_GAIN_ALBUM);
      controller_->SetReplayGainSetting(c.setting);
      SetModes(false, false, random);
      StartPlaying();
      EXPECT_EQ(fake::OpenedGainMode(), c.mode);
      ASSERT_FALSE(fake::QueuedPath().empty());
      EXPECT_EQ(fake::QueuedGainMode(), c.mode);
    }
  }
}

// Random turned on while a track is queued: the queued track goes, and the one queued instead
// gets the track's gain; the track playing keeps the gain it was opened with.
TEST_F(ReplayGainTest, ARandomToggleCountsFromTheNextTrackOn) {
  StartPlaying();
  ASSERT_EQ(fake::QueuedPath(), Entry(1));
  ASSERT_EQ(fake::QueuedGainMode(), VBMP3_GAIN_ALBUM);
  controller_->SetRandom(true);
  Poll();
  ASSERT_FALSE(fake::QueuedPath().empty());
  EXPECT_EQ(fake::QueuedGainMode(), VBMP3_GAIN_TRACK);
  EXPECT_EQ(fake::OpenedGainMode(), VBMP3_GAIN_ALBUM);
  // The mode is set before the queue call, not after it.
  const auto log = fake::CallLog(false, true, true);
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "setGainMode 1");
  EXPECT_EQ(log.back().rfind("queue ", 0), 0u);
  // Once joined it plays with the gain it was queued with.
  ASSERT_TRUE(fake::StartQueuedTrack());
  Poll();
  EXPECT_EQ(fake::OpenedGainMode(), VBMP3_GAIN_TRACK);
}

// A stand-in for the config folder's resume file.
class StandInStore : public ResumeStore {
 public:
  void Save(const ResumePoint& point) override {
    saved.push_back(point);
    open_when_saved.push_back(fake::TrackOpen());
  }
  bool Load(ResumePoint* point) override {
    ++loads;
    *point = stored;
    return has_point;
  }
  void Store(const char* folder, const std::string& track, int64_t position_ms) {
    CopyText(stored.starting_folder, sizeof stored.starting_folder, folder);
    CopyText(stored.track, sizeof stored.track, track);
    stored.position_ms = position_ms;
    has_point = true;
  }

  ResumePoint stored;
  bool has_point = false;
  int loads = 0;
  std::vector<ResumePoint> saved;
  std::vector<bool> open_when_saved;
};

class ResumeTest : public PlaybackTest {
 protected:
  void SetUp() override {
    PlaybackTest::SetUp();
    BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "A/3.mp3", "B/4.mp3", "B/5.mp3"});
    controller_->SetClock([this] { return now_; });
    // The window's start-up search: the folder searched again, from its first entry.
    host_.on_load = [](const char*) {
      BuildCatalogue(g_state.starting_folder);
      g_state.catalogue.current = 0;
    };
  }

  void Advance(milliseconds step) { now_ += step; }
  std::string SavedTrack(size_t i) const { return store_.saved.at(i).track; }
  int64_t SavedPosition(size_t i) const { return store_.saved.at(i).position_ms; }

  steady_clock::time_point now_{};
  StandInStore store_;
};

TEST_F(ResumeTest, SavedAtEachTrackChangeOpenedOrJoined) {
  controller_->SetResumeStore(&store_);
  StartPlaying();
  ASSERT_EQ(store_.saved.size(), 1u);
  EXPECT_STREQ(store_.saved[0].starting_folder, "T:");
  EXPECT_EQ(SavedTrack(0), Entry(0));
  EXPECT_EQ(SavedPosition(0), 0);
  // The end-of-track step's opening.
  EndTrack();
  Poll();
  ASSERT_EQ(store_.saved.size(), 2u);
  EXPECT_EQ(SavedTrack(1), Entry(1));
  // A gapless join.
  Poll();
  ASSERT_TRUE(fake::StartQueuedTrack());
  Poll();
  ASSERT_EQ(store_.saved.size(), 3u);
  EXPECT_EQ(SavedTrack(2), Entry(2));
}

TEST_F(ResumeTest, SavedEveryTenSecondsWhilePlayingOnly) {
  controller_->SetResumeStore(&store_);
  StartPlaying();
  ASSERT_EQ(store_.saved.size(), 1u);
  for (int i = 1; i <= 99; ++i) {
    Advance(milliseconds(100));
    fake::SetDecoderPosition(i / 10);
    Poll();
  }
  EXPECT_EQ(store_.saved.size(), 1u);
  Advance(milliseconds(100));
  fake::SetDecoderPosition(10);
  Poll();
  ASSERT_EQ(store_.saved.size(), 2u);
  EXPECT_EQ(SavedPosition(1), 10000);
  EXPECT_EQ(SavedTrack(1), Entry(0));
  // Counted from that save: not again until ten more seconds have passed.
  Advance(milliseconds(9900));
  Poll();
  EXPECT_EQ(store_.saved.size(), 2u);
  // Paused, nothing moves and nothing is saved.
  controller_->Pause();
  Advance(std::chrono::seconds(30));
  Poll();
  EXPECT_EQ(store_.saved.size(), 2u);
  // Playing again, the time overdue saves at the first poll.
  controller_->Play();
  Poll();
  EXPECT_EQ(store_.saved.size(), 3u);
}

TEST_F(ResumeTest, ShutDownSavesWhileTheTrackIsStillOpen) {
  controller_->SetResumeStore(&store_);
  StartPlaying();
  fake::SetDecoderPosition(42);
  controller_->ShutDown();
  ASSERT_EQ(store_.saved.size(), 2u);
  EXPECT_EQ(SavedTrack(1), Entry(0));
  EXPECT_EQ(SavedPosition(1), 42000);
  EXPECT_TRUE(store_.open_when_saved[1]);
}

// Closed before anything played (during the first search, or with nothing to play), the point
// saved before is kept.
TEST_F(ResumeTest, ShutDownBeforeAnyTrackPlayedKeepsTheSavedPoint) {
  controller_->SetResumeStore(&store_);
  controller_->ShutDown();
  EXPECT_TRUE(store_.saved.empty());
}

TEST_F(ResumeTest, StartUpResumesAtTheSavedTrackAndPosition) {
  store_.Store("T:", Entry(3), 30500);
  controller_->SetResumeStore(&store_);
  fake::ClearCallLog();
  controller_->StartUp(nullptr);
  EXPECT_EQ(Current(), 3);
  // Opened, started and moved at once: no sound of the start in between.
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"init", "close", "open " + Entry(3), "play",
                                                       "seek_ms 30500"}));
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  EXPECT_EQ(fake::DecoderPosition(), 30);
  // Told as a seek, after the opening, so that remote controls learn of the place.
  const auto opened = std::find(listener_.events.begin(), listener_.events.end(), "opened");
  EXPECT_NE(std::find(opened, listener_.events.end(), "seeked 30500000"), listener_.events.end());
  // Saved at the opening with the place resumed, not from the start.
  ASSERT_FALSE(store_.saved.empty());
  EXPECT_EQ(SavedPosition(0), 30500);
  // Only the first opening seeks.
  EndTrack();
  Poll();
  EXPECT_EQ(LastOpened(), Entry(4));
  EXPECT_EQ(fake::CallLog().back(), "play");
}

TEST_F(ResumeTest, ResumedTrackFromItsStartWhenThePlaceIsPastItsEnd) {
  const std::string track = Entry(2);
  // A damaged point's place as well: bounded, never overflowing.
  for (const int64_t position_ms : {int64_t{45000}, std::numeric_limits<int64_t>::max()}) {
    SCOPED_TRACE(position_ms);
    ResetProgramState();
    CopyText(g_state.starting_folder, kTextSize, "T:");
    fake::ResetDecoder();
    fake::SetTrackInfoFor(track, fake::MakeTrackInfo("", "", 2, 128, 44100, 45));
    store_.Store("T:", track, position_ms);
    controller_ = std::make_unique<PlaybackController>(&host_);
    controller_->SetResumeStore(&store_);
    controller_->StartUp(nullptr);
    EXPECT_EQ(LastOpened(), track);
    EXPECT_EQ(fake::CallLog().back(), "play");
    EXPECT_EQ(fake::DecoderPosition(), 0);
  }
}

// Every other start plays the folder from its first entry, as without a resume point.
TEST_F(ResumeTest, NoResumeUnlessTheSavedTrackIsInTheSameStartingFolderWithoutArgument) {
  struct Case {
    const char* name;
    const char* folder;
    std::string track;
    const char* argument;
    bool store;
  };
  const std::string gone = Entry(4);
  std::filesystem::remove(HostPath("B/5.mp3"));
  const Case cases[] = {
      {"track gone", "T:", gone, nullptr, true},
      {"another starting folder", "T:\\A", Entry(2), nullptr, true},
      {"with an argument", "T:", Entry(2), "T:\\A\\3.mp3", true},
      {"portable copy (no store)", "T:", Entry(2), nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetProgramState();
    CopyText(g_state.starting_folder, kTextSize, "T:");
    fake::ResetDecoder();
    store_ = StandInStore();
    store_.Store(c.folder, c.track, 30000);
    controller_ = std::make_unique<PlaybackController>(&host_);
    controller_->SetResumeStore(c.store ? &store_ : nullptr);
    controller_->StartUp(c.argument);
    EXPECT_EQ(Current(), 0);
    EXPECT_EQ(LastOpened(), Entry(0));
    EXPECT_EQ(fake::CallLog().back(), "play");
  }
}

}  // namespace
}  // namespace veldan::testing
