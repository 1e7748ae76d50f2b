// The controller's transport: play, pause and stop, the four steps under every mode, the poll's
// end-of-track step, the early step, and the rules the controls show.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "catalogue/catalogue.h"
#include "catalogue/navigation.h"
#include "playback/playback_fixture.h"

namespace veldan::testing {
namespace {

// Albums A (entries 0-2) and B (entries 3-4).
class TransportTest : public PlaybackTest {
 protected:
  void SetUp() override {
    PlaybackTest::SetUp();
    BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "A/3.mp3", "B/4.mp3", "B/5.mp3"});
  }
};

using Step = void (PlaybackController::*)();
const struct {
  const char* name;
  Step step;
} kSteps[] = {{"NextFile", &PlaybackController::NextFile},
              {"PreviousFile", &PlaybackController::PreviousFile},
              {"NextAlbum", &PlaybackController::NextAlbum},
              {"PreviousAlbum", &PlaybackController::PreviousAlbum}};
enum StepIndex { kNextFile, kPreviousFile, kNextAlbum, kPreviousAlbum };

TEST_F(TransportTest, PollShowsWhatThePlayingPausedAndStoppedDecoderReports) {
  fake::SetTrackInfo(fake::MakeTrackInfo("", "", 2, 160, 44100, 300));
  StartPlaying();
  fake::SetDecoderPosition(150);
  listener_.events.clear();
  Poll();
  EXPECT_EQ(listener_.events,
            (std::vector<std::string>{"elapsed 150", "status Play 160k", "bar 150", "play off"}));
  EXPECT_EQ(controller_->LastPolledState(), VBMP3_PLAYING);

  // Paused by the user, then by the seek bar.
  controller_->Pause();
  EXPECT_TRUE(controller_->UserPaused());
  listener_.events.clear();
  Poll();
  EXPECT_EQ(listener_.events, (std::vector<std::string>{"status Pause ", "play on"}));
  EXPECT_TRUE(controller_->Allowed(PlaybackAction::kPlay));
  controller_->Play();
  fake::SetDecoderState(VBMP3_PAUSED);
  listener_.events.clear();
  Poll();
  EXPECT_EQ(listener_.events, std::vector<std::string>{"status Seek "});

  // A state the decoder has no name for changes nothing shown.
  fake::SetDecoderState(7);
  listener_.events.clear();
  Poll();
  EXPECT_TRUE(listener_.events.empty());
  EXPECT_EQ(controller_->LastPolledState(), 7);

  controller_->Stop();
  listener_.events.clear();
  Poll();
  EXPECT_EQ(listener_.events,
            (std::vector<std::string>{"status Stop ", "start on", "elapsed 0", "bar 0"}));
}

TEST_F(TransportTest, PlayStartsFromIdleResumesFromPauseAndIsRefusedWhilePlayRunsOn) {
  EXPECT_TRUE(controller_->Allowed(PlaybackAction::kPlay));
  controller_->Play();
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"close", "open " + Entry(0), "play"}));
  EXPECT_TRUE(g_state.continuous_play);
  EXPECT_FALSE(controller_->Allowed(PlaybackAction::kPlay));

  controller_->Pause();
  Poll();
  g_state.continuous_play = false;
  fake::ClearCallLog();
  controller_->Play();
  EXPECT_FALSE(controller_->UserPaused());
  EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"restart"});
  EXPECT_EQ(listener_.status, "Play 128k");
  EXPECT_TRUE(g_state.continuous_play);

  // Playing already: nothing; PlayOrPause pauses.
  fake::ClearCallLog();
  controller_->Play();
  EXPECT_TRUE(fake::CallLog().empty());
  controller_->PlayOrPause();
  EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"pause"});

  // While play moves between tracks PlayOrPause would open the track before the poll's.
  EndTrack();
  fake::ClearCallLog();
  controller_->PlayOrPause();
  EXPECT_TRUE(fake::CallLog().empty());

  // An empty catalogue: Play opens nothing.
  ResetProgramState();
  fake::ResetDecoder();
  controller_->Play();
  EXPECT_EQ(OpenCount(), 0);
  EXPECT_FALSE(controller_->CanPlay());
}

TEST_F(TransportTest, StopClosesTheTrackAndEndsPlayEvenWhileIdle) {
  StartPlaying();
  for (int round = 0; round < 2; ++round) {
    fake::ClearCallLog();
    controller_->Stop();
    EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"stop", "close"}));
    EXPECT_FALSE(g_state.continuous_play);
    Poll();
    EXPECT_EQ(OpenCount(), 0);
  }
}

TEST_F(TransportTest, StepsWhileIdleMoveTheCurrentEntryUnderTheAlbumLock) {
  const struct {
    StepIndex step;
    bool lock;
    int32_t from;
    int32_t to;
  } cases[] = {
      {kNextFile, false, 1, 2},      {kNextFile, false, 4, 0},      {kNextFile, true, 2, 0},
      {kNextFile, true, 4, 3},       {kPreviousFile, false, 0, 4},  {kPreviousFile, false, 3, 2},
      {kPreviousFile, true, 0, 2},   {kPreviousFile, true, 3, 4},   {kNextAlbum, false, 1, 3},
      {kNextAlbum, false, 4, 0},     {kNextAlbum, true, 0, 2},      {kNextAlbum, true, 3, 4},
      {kPreviousAlbum, false, 4, 0}, {kPreviousAlbum, false, 1, 3}, {kPreviousAlbum, true, 4, 3},
      {kPreviousAlbum, true, 2, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << kSteps[c.step].name << " lock " << c.lock << " from " << c.from);
    controller_->SetAlbumLock(c.lock);
    g_state.catalogue.current = c.from;
    fake::ClearCallLog();
    listener_.events.clear();
    (controller_.get()->*kSteps[c.step].step)();
    EXPECT_EQ(Current(), c.to);
    EXPECT_EQ(listener_.events, std::vector<std::string>{"entry " + std::to_string(c.to)});
    EXPECT_TRUE(fake::CallLog().empty());  // idle: nothing is played
    EXPECT_FALSE(g_state.continuous_play);
  }
}

TEST_F(TransportTest, StepsWhilePlayingStopAndThePollLandsOnTheTarget) {
  const struct {
    StepIndex step;
    bool lock;
    int32_t from;
    int32_t after_step;
    int32_t played;
  } cases[] = {
      {kNextFile, false, 1, 1, 2},      {kNextFile, true, 2, 2, 0},
      {kPreviousFile, false, 3, 1, 2},  {kPreviousFile, true, 3, 3, 4},
      {kNextAlbum, false, 1, 2, 3},     {kNextAlbum, true, 0, 1, 2},
      {kPreviousAlbum, false, 4, 4, 0}, {kPreviousAlbum, false, 1, 2, 3},
      {kPreviousAlbum, true, 4, 4, 3},  {kPreviousAlbum, true, 1, 2, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << kSteps[c.step].name << " lock " << c.lock << " from " << c.from);
    controller_->SetAlbumLock(c.lock);
    g_state.catalogue.current = c.from;
    StartPlaying();
    fake::ClearCallLog();
    host_.step_scheduled = false;
    (controller_.get()->*kSteps[c.step].step)();
    EXPECT_EQ(Current(), c.after_step);
    EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"stop"});
    // Not inside the operation: the step follows from the event loop.
    EXPECT_TRUE(host_.step_scheduled);
    EXPECT_EQ(RunSteps(), 1);
    EXPECT_EQ(Current(), c.played);
    EXPECT_EQ(fake::CallLog(),
              (std::vector<std::string>{"stop", "close", "open " + Entry(c.played), "play"}));
  }
}

TEST_F(TransportTest, StepsNeedTwoEntries) {
  for (bool playing : {false, true}) {
    ResetProgramState();
    BuildCatalogueOf({"only/x.mp3"});
    if (playing) StartPlaying();
    EXPECT_FALSE(controller_->CanStep());
    fake::ClearCallLog();
    listener_.events.clear();
    for (const auto& step : kSteps) (controller_.get()->*step.step)();
    EXPECT_EQ(Current(), 0);
    EXPECT_TRUE(fake::CallLog().empty());
    EXPECT_TRUE(listener_.events.empty());
  }
  BuildCatalogueOf({"a.mp3", "b.mp3", "c.mp3"});
  EXPECT_TRUE(controller_->CanStep());
  controller_->NextAlbum();  // one album: its last entry
  EXPECT_EQ(Current(), 2);
}

TEST_F(TransportTest, EndOfTrackMovesOnUnderEveryMode) {
  // No mode: the next entry, in the same poll, and the start controls stay off.
  StartPlaying();
  fake::ClearCallLog();
  listener_.events.clear();
  EndTrack();
  Poll();
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"close", "open " + Entry(1), "play"}));
  EXPECT_EQ(listener_.events,
            (std::vector<std::string>{"bar 0", "entry 1", "entry 1", "status Play 128k", "opened",
                                      "start off"}));

  // Repeat: the same entry; NextFile restarts it, PreviousFile lands one back.
  controller_->Stop();
  g_state.catalogue.current = 3;
  controller_->SetRepeat(true);
  StartPlaying();
  EndTrack();
  Poll();
  EXPECT_EQ(Current(), 3);
  EXPECT_EQ(LastOpened(), Entry(3));
  controller_->NextFile();
  Poll();
  EXPECT_EQ(LastOpened(), Entry(3));
  controller_->PreviousFile();
  Poll();
  EXPECT_EQ(LastOpened(), Entry(1));
  controller_->SetRepeat(false);

  // Random: another entry every time, idle or playing.
  controller_->Stop();
  controller_->SetRandom(true);
  SeedRandom(12345);
  for (int step = 0; step < 20; ++step) {
    const int32_t before = Current();
    controller_->NextFile();
    EXPECT_NE(Current(), before);
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

TEST_F(TransportTest, ASingleTrackPlaysOverAndOver) {
  BuildCatalogueOf({"a.mp3"});
  StartPlaying();
  for (int round = 0; round < 3; ++round) {
    EndTrack();
    Poll();
    EXPECT_EQ(Current(), 0);
    EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  }
  EXPECT_EQ(OpenCount(), 4);
}

TEST_F(TransportTest, PauseThenAStepKeepsTheUserPauseUntilPlay) {
  StartPlaying();
  controller_->Pause();
  Poll();
  controller_->NextFile();
  Poll();
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  EXPECT_TRUE(controller_->UserPaused());
  Poll();
  // A seek on the new track leaves it paused.
  controller_->PressSeekBar(149);
  controller_->ReleaseSeekBar();
  fake::ClearCallLog();
  Poll();
  EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"seek 149"});
  EXPECT_EQ(listener_.status, "Pause ");
  controller_->Play();
  EXPECT_FALSE(controller_->UserPaused());
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
}

TEST_F(TransportTest, AModeChangeWhilePlayingActsOnlyAtTheNextStep) {
  StartPlaying();
  fake::ClearCallLog();
  listener_.events.clear();
  controller_->SetAlbumLock(true);
  controller_->SetAlbumLock(true);  // no change: no news
  EXPECT_EQ(listener_.events, std::vector<std::string>{"modes"});
  EXPECT_EQ(Current(), 0);
  controller_->NextAlbum();
  Poll();
  EXPECT_EQ(Current(), 2);  // the last file of album A
}

// A selection's pick while play runs on is the next track, heard at once; otherwise only the
// current entry is shown again.
TEST_F(TransportTest, ASelectionPlaysItsPickNextOnlyWhilePlayRunsOn) {
  for (const bool lock : {false, true}) {
    SCOPED_TRACE(lock ? "album lock" : "no lock");
    controller_->SetAlbumLock(lock);
    g_state.catalogue.current = 1;
    StartPlaying();
    EXPECT_TRUE(controller_->PlaySelection(true, 3));
    EXPECT_EQ(Current(), lock ? 4 : 2);
    EXPECT_EQ(fake::DecoderState(), VBMP3_STOPPED);
    RunSteps();
    EXPECT_EQ(Current(), 3);
    EXPECT_EQ(LastOpened(), Entry(3));
    controller_->Stop();
  }
  g_state.catalogue.current = 1;
  for (const auto& [picked, chosen] : {std::pair{true, 3}, std::pair{false, 3}}) {
    listener_.events.clear();
    EXPECT_FALSE(controller_->PlaySelection(picked, chosen));
    EXPECT_EQ(Current(), 1);
    EXPECT_EQ(listener_.events, std::vector<std::string>{"entry 1"});
  }
  StartPlaying();
  EXPECT_FALSE(controller_->PlaySelection(true, 5));  // outside the catalogue
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
}

TEST_F(TransportTest, PlayArgumentIsRefusedWhileBusyAndOtherwiseStopsLoadsAndPlays) {
  StartPlaying();
  struct Busy {
    const char* name;
    bool* flag;
  };
  for (const Busy& busy : {Busy{"dialog", &host_.dialog_open}, Busy{"poll stopped", nullptr},
                           Busy{"closing", &g_state.closing}}) {
    SCOPED_TRACE(busy.name);
    if (busy.flag != nullptr) *busy.flag = true;
    if (busy.flag == nullptr) host_.poll_running = false;
    EXPECT_TRUE(controller_->Busy());
    EXPECT_FALSE(controller_->PlayArgument("/music"));
    if (busy.flag != nullptr) *busy.flag = false;
    host_.poll_running = true;
  }
  host_.playable = false;
  EXPECT_FALSE(controller_->PlayArgument("/nothing"));
  EXPECT_FALSE(controller_->PlayArgument(nullptr));
  EXPECT_TRUE(host_.loaded.empty());

  // Loading lets remote calls run; a second argument then is refused.
  host_.playable = true;
  bool refused_inside = false;
  host_.on_load = [&](const char*) {
    refused_inside = !controller_->PlayArgument("/second");
    g_state.catalogue.current = 4;
  };
  fake::ClearCallLog();
  EXPECT_TRUE(controller_->PlayArgument("/music"));
  EXPECT_TRUE(refused_inside);
  EXPECT_EQ(host_.loaded, std::vector<std::string>{"/music"});
  EXPECT_EQ(fake::CallLog(),
            (std::vector<std::string>{"stop", "close", "close", "open " + Entry(4), "play"}));
  EXPECT_TRUE(g_state.continuous_play);
}

TEST_F(TransportTest, StartUpLoadsTheArgumentAppliesTheSettingsAndPlays) {
  bool starting_inside = false;
  host_.on_load = [&](const char*) { starting_inside = controller_->StartingUp(); };
  controller_->StartUp("/music");
  EXPECT_TRUE(starting_inside);
  EXPECT_FALSE(controller_->StartingUp());
  EXPECT_EQ(host_.loaded, std::vector<std::string>{"/music"});
  EXPECT_EQ(host_.settings_applied, 1);
  EXPECT_EQ(LastOpened(), Entry(0));
  EXPECT_TRUE(g_state.continuous_play);

  controller_->ShutDown();
  EXPECT_TRUE(g_state.closing);
  EXPECT_TRUE(g_state.wait_abort);
  EXPECT_FALSE(g_state.continuous_play);
}

// A start held by a disc discovery makes Play not allowed, whatever the poll last showed.
TEST_F(TransportTest, AHeldStartRefusesPlay) {
  controller_->HoldStarts(true);
  EXPECT_FALSE(controller_->Allowed(PlaybackAction::kPlay));
  controller_->PlayOrPause();
  EXPECT_EQ(OpenCount(), 0);
  controller_->HoldStarts(false);
  EXPECT_TRUE(controller_->Allowed(PlaybackAction::kPlay));
}

// --- The early step ---

// A step asked for during a poll or an operation that lets messages run follows it, never
// inside it.
TEST_F(TransportTest, AStepAskedForDuringAPollFollowsThatPoll) {
  StartPlaying();
  fake::ClearCallLog();
  host_.on_next_pump = [this] {
    controller_->NextFile();
    // The click's step is asked for, and held off while the poll runs.
    EXPECT_EQ(RunSteps(), 1);
    EXPECT_EQ(OpenCount(), 0);
  };
  Poll();
  EXPECT_EQ(OpenCount(), 0);
  EXPECT_EQ(RunSteps(), 1);
  EXPECT_EQ(LastOpened(), Entry(1));
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
}

TEST_F(TransportTest, AStepWaitsForAStoppedPollAndForClosing) {
  StartPlaying();
  host_.poll_running = false;
  controller_->NextFile();
  EXPECT_EQ(RunSteps(), 1);
  EXPECT_EQ(OpenCount(), 1);  // held off
  host_.poll_running = true;
  controller_->PollResumed();
  EXPECT_EQ(RunSteps(), 1);
  EXPECT_EQ(OpenCount(), 2);

  controller_->NextFile();
  g_state.closing = true;
  RunSteps();
  EXPECT_EQ(OpenCount(), 2);
}

// An undecodable file, a missing one and a pipe in a row: each is passed over at the next turn
// of the event loop, and the first playable entry plays.
TEST_F(TransportTest, UnplayableEntriesInARowArePassedAStepEach) {
  StartPlaying();
  fake::FailOpenOf(Entry(1));
  std::filesystem::remove(HostPath("A/3.mp3"));
  std::filesystem::remove(HostPath("B/4.mp3"));
  ASSERT_EQ(mkfifo(HostPath("B/4.mp3").c_str(), 0600), 0);
  EndTrack();
  Poll();
  EXPECT_EQ(Current(), 1);
  EXPECT_TRUE(g_state.continuous_play);
  EXPECT_EQ(RunSteps(), 3);
  EXPECT_EQ(Current(), 4);
  EXPECT_EQ(fake::OpenPath(), Entry(4));
  EXPECT_EQ(OpenCount(), 3);  // the pipe and the missing file never reach the decoder
}

// A full catalogue of files that do not open is tried once round, a step each, and play ends.
TEST_F(TransportTest, AFullCatalogueOfFailuresIsTriedOnceRound) {
  tree_.reset();  // its end unmaps the drive
  tree_ = std::make_unique<test::TempDrive>('T');
  for (int i = 0; i < kCatalogueCapacity; ++i) {
    tree_->WriteFile("Many/" + std::to_string(1000 + i) + ".mp3");
  }
  BuildCatalogue(g_state.starting_folder);
  ASSERT_EQ(g_state.catalogue.count, kCatalogueCapacity);
  fake::SetOpenResult(0);
  controller_->Play();
  EXPECT_EQ(OpenCount(), 1);
  EXPECT_EQ(RunSteps(2 * kCatalogueCapacity), kCatalogueCapacity - 1);
  EXPECT_FALSE(g_state.continuous_play);
  EXPECT_EQ(OpenCount(), kCatalogueCapacity);
  Poll();
  EXPECT_EQ(OpenCount(), kCatalogueCapacity);
}

}  // namespace
}  // namespace veldan::testing
