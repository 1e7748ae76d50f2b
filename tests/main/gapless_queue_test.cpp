// What the main window shows when the queued track joins on: the same as when the end-of-track
// step opens it (the controller's own bookkeeping is tested with the controller).
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>

#include "catalogue/navigation.h"
#include "main/main_window_fixture.h"

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
    return {std::to_string(Current()),     Text(window_->Label_song),
            Text(window_->Label_album),    Text(window_->Label_total_time),
            Text(window_->Label_stereo),   Text(window_->Label_status),
            std::to_string(SeekStrokes()), StartButtonsDisabled() ? "disabled" : "enabled"};
  }
};

// Under the modes the join shows exactly what the end-of-track step shows after opening the
// track itself.
TEST_F(GaplessQueueTest, AJoinShowsWhatTheEndOfTrackStepShows) {
  struct Case {
    bool lock, repeat, random;
    int32_t start;
  };
  const Case cases[] = {
      {false, false, false, 0}, {false, false, false, 2}, {true, false, false, 2},
      {false, true, false, 3},  {true, false, true, 1},
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
  }
}

}  // namespace
}  // namespace veldan::testing
