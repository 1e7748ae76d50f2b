// No sleep while the real main window plays over the fake decoder: the stand-in portal
// (tests/support/inhibit_standin.py) on a private session bus, python3-dbusmock's logind on a
// private system bus, and what they were asked for as play starts, pauses, stops and moves on.
#include "app/sleep_guard.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <memory>
#include <ostream>
#include <string>

#include "main/main_window_fixture.h"
#include "platform/sleep_inhibitor.h"
#include "support/inhibit_standins.h"
#include "support/wait_for.h"

// What the stand-ins recorded, readable in a failure's message.
void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace veldan::testing {
namespace {

using Route = SleepInhibitor::Route;

constexpr char kPortalInhibit[] = "Inhibit |4|Playing music";
constexpr int kLongMs = kStandInLongMs;

class SleepGuardTest : public MainWindowTest {
 protected:
  static void SetUpTestSuite() { InhibitStandIns::StartBuses(); }
  static void TearDownTestSuite() { InhibitStandIns::StopBuses(); }

  void SetUp() override {
    MainWindowTest::SetUp();
    if (const std::string why = standins_.Connect(); !why.empty()) GTEST_SKIP() << why;
    BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "A/3.mp3"});
  }

  void TearDown() override {
    guard_.reset();
    standins_.End();
    MainWindowTest::TearDown();
  }

  void MakeGuard() {
    guard_ = std::make_unique<SleepGuard>(window_.get(), standins_.session(), standins_.system());
    QObject::connect(&guard_->Inhibitor(), &SleepInhibitor::HeldChanged, [this] { ++changes_; });
  }

  void StartPortal() { ASSERT_TRUE(standins_.StartPortal()) << "the stand-in did not start"; }
  QStringList PortalCalls() { return standins_.PortalCalls(); }
  QStringList PortalHeld() { return standins_.PortalHeld(); }
  int InhibitCalls() { return static_cast<int>(PortalCalls().count(QString(kPortalInhibit))); }

  Route Held() const { return guard_->Inhibitor().Held(); }
  bool WaitHeld() {
    return WaitFor([&] { return Held() == Route::kPortal; }, kLongMs);
  }
  // Lets replies that might come in for ms.
  static void Pump(int ms) {
    WaitFor([] { return false; }, ms);
  }

  InhibitStandIns standins_{VELDAN_STANDIN_PYTHON, VELDAN_INHIBIT_STANDIN, VELDAN_DBUSMOCK_PYTHON};
  std::unique_ptr<SleepGuard> guard_;
  int changes_ = 0;
};

TEST_F(SleepGuardTest, HeldWhilePlayingAndLetGoOfOnPauseStopAndTheEnd) {
  StartPortal();
  MakeGuard();
  // Polls and a Pause with nothing playing ask for nothing.
  Poll();
  window_->BitBtn_pauseClick();
  Poll();
  Pump(200);
  EXPECT_TRUE(PortalCalls().isEmpty());
  EXPECT_EQ(Held(), Route::kNone);

  window_->BitBtn_playClick();
  ASSERT_TRUE(WaitHeld());
  for (int tick = 0; tick < 3; ++tick) Poll();
  EXPECT_EQ(PortalCalls(), QStringList{kPortalInhibit});
  const QStringList first = PortalHeld();
  ASSERT_EQ(first.size(), 1);

  // Pause lets go at the end of the press itself, before any poll.
  window_->BitBtn_pauseClick();
  EXPECT_EQ(Held(), Route::kNone);
  EXPECT_TRUE(WaitFor([&] { return PortalHeld().isEmpty(); }, kLongMs));
  EXPECT_EQ(PortalCalls(), (QStringList{kPortalInhibit, QStringLiteral("Close ") + first[0]}));
  Poll();  // a paused track's poll takes nothing again
  Pump(100);
  EXPECT_EQ(InhibitCalls(), 1);

  // Play from the pause takes it again; Stop lets go.
  window_->BitBtn_playClick();
  ASSERT_TRUE(WaitHeld());
  EXPECT_EQ(InhibitCalls(), 2);
  window_->BitBtn_stopClick();
  EXPECT_EQ(Held(), Route::kNone);
  EXPECT_TRUE(WaitFor([&] { return PortalHeld().isEmpty(); }, kLongMs));
  Poll();
  Pump(100);
  EXPECT_EQ(InhibitCalls(), 2);

  // Playing when the program ends: the close shuts the decoder down, the guard's end lets go.
  window_->BitBtn_playClick();
  ASSERT_TRUE(WaitHeld());
  window_->close();
  ASSERT_TRUE(g_state.closing);
  guard_.reset();
  EXPECT_TRUE(WaitFor([&] { return PortalHeld().isEmpty(); }, kLongMs));
  const QStringList calls = PortalCalls();
  EXPECT_EQ(calls.count(QString(kPortalInhibit)), 3);
  ASSERT_FALSE(calls.isEmpty());
  EXPECT_TRUE(calls.last().startsWith(QStringLiteral("Close "))) << calls.last().toStdString();
}

TEST_F(SleepGuardTest, OneInhibitionWhilePlayRunsOnFromTrackToTrack) {
  StartPortal();
  MakeGuard();
  StartPlaying();
  ASSERT_TRUE(WaitHeld());

  // A track's end: the decoder stops for a moment and the poll opens the next one.
  fake::SetDecoderState(VBMP3_STOPPED);
  Poll();
  EXPECT_EQ(Current(), 1);
  // The queued track joins.
  Poll();
  ASSERT_TRUE(fake::StartQueuedTrack());
  Poll();
  EXPECT_EQ(Current(), 2);
  // A step: Next stops the decoder and the poll lands on the next track.
  window_->BitBtn_next_fileClick();
  Poll();
  EXPECT_EQ(LastOpened(), Entry(0));
  // A seek-bar drag pauses the decoder until its release.
  Poll();
  window_->Controller().PressSeekBar(1);
  EXPECT_EQ(fake::DecoderState(), VBMP3_PAUSED);
  window_->Controller().MoveSeekBar(2);
  window_->Controller().ReleaseSeekBar();
  Poll();
  Pump(200);
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  EXPECT_EQ(Held(), Route::kPortal);
  EXPECT_EQ(PortalCalls(), QStringList{kPortalInhibit});
  EXPECT_EQ(changes_, 1);

  // A step from a paused track plays the next one, which then runs on as before, though the
  // controller still remembers the pause.
  window_->BitBtn_pauseClick();
  EXPECT_EQ(Held(), Route::kNone);
  window_->BitBtn_next_fileClick();
  Poll();
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  ASSERT_TRUE(WaitHeld());
  fake::SetDecoderState(VBMP3_STOPPED);
  Poll();
  Poll();
  Pump(200);
  EXPECT_EQ(Held(), Route::kPortal);
  EXPECT_EQ(InhibitCalls(), 2);
  EXPECT_EQ(changes_, 3);
}

TEST_F(SleepGuardTest, PlayGivenUpIsLetGoOfByThePollThatGivesUp) {
  StartPortal();
  MakeGuard();
  StartPlaying();
  ASSERT_TRUE(WaitHeld());
  // Nothing opens any more: each poll passes over one entry until every one has failed.
  fake::SetOpenResult(0);
  fake::SetDecoderState(VBMP3_STOPPED);
  Poll();
  Poll();
  EXPECT_TRUE(g_state.continuous_play);
  EXPECT_EQ(Held(), Route::kPortal);
  Poll();
  EXPECT_FALSE(g_state.continuous_play);
  EXPECT_EQ(Held(), Route::kNone);
  EXPECT_TRUE(WaitFor([&] { return PortalHeld().isEmpty(); }, kLongMs));
  EXPECT_EQ(InhibitCalls(), 1);
}

TEST_F(SleepGuardTest, LogindIdleLockWithoutPortal) {
  ASSERT_TRUE(standins_.StartDbusmockLogind());
  const auto inhibitors = [&] { return standins_.DbusmockInhibitors(); };

  MakeGuard();
  Poll();
  Pump(200);
  EXPECT_TRUE(inhibitors().isEmpty());
  window_->BitBtn_playClick();
  ASSERT_TRUE(WaitFor([&] { return Held() == Route::kLogind; }, kLongMs));
  // Idleness only: a suspend asked for, or a closed lid, still suspends.
  EXPECT_EQ(inhibitors(), QStringList{QStringLiteral("idle|VELDAN|Playing music|block")});
  window_->BitBtn_pauseClick();
  EXPECT_EQ(Held(), Route::kNone);
  EXPECT_TRUE(WaitFor([&] { return inhibitors().isEmpty(); }, kLongMs));
  window_->BitBtn_playClick();
  ASSERT_TRUE(WaitFor([&] { return Held() == Route::kLogind; }, kLongMs));
  window_->BitBtn_stopClick();
  EXPECT_EQ(Held(), Route::kNone);
  EXPECT_TRUE(WaitFor([&] { return inhibitors().isEmpty(); }, kLongMs));
}

}  // namespace
}  // namespace veldan::testing
