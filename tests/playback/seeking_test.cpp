// Seeking: the seek bar's press, drag and release carried out by the next poll, and the seeks of
// keys and remote controls, with the rule for when a seek is allowed.
#include <gtest/gtest.h>

#include "playback/playback_fixture.h"

namespace veldan::testing {
namespace {

class SeekingTest : public PlaybackTest {
 protected:
  void SetUp() override {
    PlaybackTest::SetUp();
    BuildCatalogueOf({"a.mp3", "b.mp3"});
  }
  void PlayTrackOf(int32_t length) {
    fake::SetTrackInfo(fake::MakeTrackInfo("", "", 2, 128, 44100, length));
    StartPlaying();
    fake::ClearCallLog();
    listener_.events.clear();
  }
};

TEST_F(SeekingTest, APressPausesAndShowsThePointAndThePollAfterTheReleaseSeeksThere) {
  Poll();
  controller_->PressSeekBar(100);  // idle: nothing to seek in
  EXPECT_FALSE(controller_->SeekDragging());
  EXPECT_TRUE(fake::CallLog().empty());
  controller_->MoveSeekBar(120);
  controller_->ReleaseSeekBar();
  EXPECT_FALSE(controller_->SeekPending());

  PlayTrackOf(300);
  controller_->PressSeekBar(149);
  EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"pause"});
  EXPECT_EQ(listener_.events, (std::vector<std::string>{"elapsed 149", "bar 149"}));
  EXPECT_FALSE(controller_->Allowed(PlaybackAction::kSeek));  // the bar is the drag's now
  Poll();                                                     // still held
  EXPECT_EQ(listener_.status, "Seek ");
  EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"pause"});

  controller_->MoveSeekBar(200);
  EXPECT_EQ(controller_->SeekTarget(), 200);
  controller_->ReleaseSeekBar();
  controller_->MoveSeekBar(250);  // after the release, before the poll: still counts
  fake::ClearCallLog();
  listener_.events.clear();
  Poll();
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"seek 250", "restart"}));
  EXPECT_EQ(listener_.events.front(), "seeked 250000000");
  EXPECT_FALSE(controller_->SeekDragging());
  EXPECT_FALSE(controller_->SeekPending());
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
}

// Both let messages run while they show their target; the seek waits for a poll outside them.
TEST_F(SeekingTest, APollDuringAMoveWaitsForItAndAMoveDuringAPressIsIgnored) {
  PlayTrackOf(300);
  host_.on_next_pump = [this] { controller_->MoveSeekBar(202); };
  listener_.events.clear();
  struct PumpingListener : PlaybackListener {
    TestHost* host;
    void BarMoved(int32_t) override { host->PumpMessages(); }
  } pumping;
  pumping.host = &host_;
  controller_->AddListener(&pumping);
  controller_->PressSeekBar(74);
  EXPECT_EQ(controller_->SeekTarget(), 74);
  controller_->ReleaseSeekBar();

  bool polled = false;
  host_.on_next_pump = [&] {
    polled = true;
    Poll();
    EXPECT_TRUE(controller_->SeekPending());
  };
  fake::ClearCallLog();
  controller_->MoveSeekBar(202);
  EXPECT_TRUE(polled);
  EXPECT_TRUE(fake::CallLog().empty());
  controller_->RemoveListener(&pumping);
  Poll();
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"seek 202", "restart"}));
}

TEST_F(SeekingTest, SeekToIsClampedToTheTrackAndKeepsAUserPause) {
  EXPECT_FALSE(controller_->SeekTo(10));  // nothing open
  PlayTrackOf(300);
  EXPECT_TRUE(controller_->Allowed(PlaybackAction::kSeek));
  for (const auto& [asked, done] : {std::pair{-5, 0}, std::pair{120, 120}, std::pair{900, 300}}) {
    fake::ClearCallLog();
    listener_.events.clear();
    EXPECT_TRUE(controller_->SeekTo(asked));
    EXPECT_EQ(fake::CallLog(),
              (std::vector<std::string>{"seek " + std::to_string(done), "restart"}));
    EXPECT_EQ(listener_.events,
              (std::vector<std::string>{"seeked " + std::to_string(done * 1000000LL),
                                        "elapsed " + std::to_string(done),
                                        "bar " + std::to_string(done)}));
  }
  controller_->Pause();
  fake::ClearCallLog();
  EXPECT_TRUE(controller_->SeekToMicroseconds(400'000'000));
  EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"seek_ms 300000"});
  EXPECT_EQ(fake::DecoderState(), VBMP3_PAUSED);
  EXPECT_TRUE(controller_->TrackSeekable());
}

TEST_F(SeekingTest, ATrackOfUnknownLengthCannotBeSeekedButItsBarCanBePressed) {
  PlayTrackOf(-1);
  EXPECT_FALSE(controller_->TrackSeekable());
  EXPECT_FALSE(controller_->SeekTo(10));
  EXPECT_FALSE(controller_->SeekToMicroseconds(10));
  EXPECT_TRUE(fake::CallLog().empty());
  controller_->PressSeekBar(-1);
  controller_->ReleaseSeekBar();
  fake::ClearCallLog();
  Poll();
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"seek -1", "restart"}));
}

}  // namespace
}  // namespace veldan::testing
