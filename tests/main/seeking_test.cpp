// The main window's seek bar: where a press points, what the time and the bar show meanwhile,
// and the seek the controller carries out (the drag's rules are the controller's).
#include <gtest/gtest.h>

#include "main/main_window_fixture.h"

namespace veldan::testing {
namespace {

class SeekingTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    BuildCatalogueOf({"a.mp3", "b.mp3"});
  }
  // Plays entry 0 with the given length and polls once, so that the poll has seen it play.
  void PlayTrackOf(int32_t length) {
    fake::SetTrackInfo(fake::MakeTrackInfo("", "", 2, 128, 44100, length));
    StartPlaying();
    fake::ClearCallLog();
  }
  void Press(int x, Qt::MouseButton button = Qt::LeftButton) {
    window_->Image_time_locateMouseDown(button, {}, x, 7);
  }
  void Move(int x) { window_->Image_time_locateMouseMove({}, x, 7); }
  void Release(int x) { window_->Image_time_locateMouseUp(Qt::LeftButton, {}, x, 7); }
};

TEST_F(SeekingTest, PressDoesNothingWhileIdleOrWithAnotherButton) {
  Poll();
  Press(100);
  EXPECT_FALSE(window_->Controller().SeekDragging());
  EXPECT_TRUE(fake::CallLog().empty());

  PlayTrackOf(300);
  for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
    Press(100, button);
    EXPECT_FALSE(window_->Controller().SeekDragging());
    EXPECT_TRUE(fake::CallLog().empty());
  }
  Move(100);
  Release(100);
  EXPECT_FALSE(window_->Controller().SeekPending());
}

TEST_F(SeekingTest, PressShowsThePointAndTheNextPollAfterTheReleaseSeeksThereAndResumes) {
  const struct {
    int32_t length;
    int x;
    const char* time;
    int strokes;
    const char* seek;
  } cases[] = {
      {300, 2, "0:00:00 ", 0, "seek 0"},
      {300, 202, "0:05:00 ", 67, "seek 300"},
      {300, 102, "0:02:29 ", 33, "seek 149"},
      {100, 102, "0:00:50 ", 33, "seek 50"},  // 497 tenths round to 50 seconds
      {0, 150, "0:00:00 ", 0, "seek 0"},
      {-1, 150, "Unknown ", 0, "seek -1"},  // the decoder takes it as 0
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "length " << c.length << " x " << c.x);
    fake::ResetDecoder();
    PlayTrackOf(c.length);
    Press(c.x);
    EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"pause"});
    EXPECT_EQ(Text(window_->Label_time), c.time);
    EXPECT_EQ(SeekStrokes(), c.strokes);

    Poll();  // still held: "Seek ", and the time and bar stay at the mouse
    EXPECT_EQ(Text(window_->Label_status), "Seek ");
    EXPECT_EQ(Colour(window_->Label_status), kLime);
    EXPECT_EQ(Text(window_->Label_time), c.time);
    EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"pause"});

    Release(c.x);
    fake::ClearCallLog();
    Poll();
    EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{c.seek, "restart"}));
    EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  }
}

}  // namespace
}  // namespace veldan::testing
