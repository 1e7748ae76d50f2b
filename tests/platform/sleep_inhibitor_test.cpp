// The sleep inhibitor against stand-ins of the desktop portal and logind, each on a private bus
// of its own: tests/support/inhibit_standin.py, and python3-dbusmock's logind template.
#include "platform/sleep_inhibitor.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <memory>
#include <string>

#include "support/inhibit_standins.h"
#include "support/wait_for.h"

namespace veldan {
namespace {

using testing::InhibitStandIns;
using testing::WaitFor;
using Route = SleepInhibitor::Route;

constexpr char kPortalInhibit[] = "Inhibit |4|Playing music";
constexpr char kLogindInhibit[] = "Inhibit idle|VELDAN|Playing music|block";
constexpr int kLongMs = testing::kStandInLongMs;

class SleepInhibitorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InhibitStandIns::StartBuses(); }
  static void TearDownTestSuite() { InhibitStandIns::StopBuses(); }

  void SetUp() override {
    if (const std::string why = standins_.Connect(); !why.empty()) GTEST_SKIP() << why;
  }

  void TearDown() override {
    inhibitor_.reset();
    standins_.End();
  }

  void MakeInhibitor(int call_ms = SleepInhibitor::kCallMs) {
    inhibitor_ =
        std::make_unique<SleepInhibitor>(standins_.session(), standins_.system(), call_ms);
    QObject::connect(inhibitor_.get(), &SleepInhibitor::HeldChanged, [this] { ++changes_; });
  }

  void StartPortal(const char* mode = "ok", const char* delay = "0") {
    ASSERT_TRUE(standins_.StartPortal(mode, delay)) << "the stand-in did not start";
  }
  void StartLogind(const char* delay = "0") {
    ASSERT_TRUE(standins_.StartLogind(delay)) << "the stand-in did not start";
  }
  QStringList PortalCalls() { return standins_.PortalCalls(); }
  QStringList PortalHeld() { return standins_.PortalHeld(); }
  QStringList LogindCalls() { return standins_.LogindCalls(); }
  QStringList LogindHeld() { return standins_.LogindHeld(); }

  // Lets the inhibitor's replies come in for ms.
  static void Pump(int ms) {
    WaitFor([] { return false; }, ms);
  }

  InhibitStandIns standins_{VELDAN_STANDIN_PYTHON, VELDAN_STANDIN_SCRIPT, VELDAN_DBUSMOCK_PYTHON};
  std::unique_ptr<SleepInhibitor> inhibitor_;
  int changes_ = 0;
};

TEST_F(SleepInhibitorTest, PortalHeldOnlyWhilePlayingAndPreferredOverLogind) {
  StartPortal();
  StartLogind();
  MakeInhibitor();
  // Start-up, and polls that find nothing playing: nothing is asked for.
  inhibitor_->SetPlaying(false);
  Pump(200);
  EXPECT_TRUE(PortalCalls().isEmpty());
  EXPECT_EQ(inhibitor_->Held(), Route::kNone);

  // Every poll says play goes on; one request, for suspend only.
  for (int poll = 0; poll < 3; ++poll) inhibitor_->SetPlaying(true);
  ASSERT_TRUE(WaitFor([&] { return inhibitor_->Held() == Route::kPortal; }, kLongMs));
  inhibitor_->SetPlaying(true);
  EXPECT_EQ(PortalCalls(), QStringList{kPortalInhibit});
  const QStringList requests = PortalHeld();
  ASSERT_EQ(requests.size(), 1);
  EXPECT_TRUE(LogindCalls().isEmpty());

  // Pause: let go of at once, the portal's request closed.
  inhibitor_->SetPlaying(false);
  EXPECT_EQ(inhibitor_->Held(), Route::kNone);
  EXPECT_TRUE(WaitFor([&] { return PortalHeld().isEmpty(); }, kLongMs));
  EXPECT_EQ(PortalCalls(), (QStringList{kPortalInhibit, QStringLiteral("Close ") + requests[0]}));

  // Play again, then the program ends while playing: the new request is closed too.
  inhibitor_->SetPlaying(true);
  ASSERT_TRUE(WaitFor([&] { return inhibitor_->Held() == Route::kPortal; }, kLongMs));
  EXPECT_EQ(PortalHeld().size(), 1);
  inhibitor_.reset();
  EXPECT_TRUE(WaitFor([&] { return PortalHeld().isEmpty(); }, kLongMs));
  EXPECT_TRUE(LogindCalls().isEmpty());
  EXPECT_EQ(changes_, 4);
}

TEST_F(SleepInhibitorTest, LogindIdleLockWithoutPortalHeldWhilePlaying) {
  ASSERT_TRUE(standins_.StartDbusmockLogind());
  const auto inhibitors = [&] { return standins_.DbusmockInhibitors(); };

  MakeInhibitor();
  Pump(200);
  EXPECT_TRUE(inhibitors().isEmpty());

  inhibitor_->SetPlaying(true);
  ASSERT_TRUE(WaitFor([&] { return inhibitor_->Held() == Route::kLogind; }, kLongMs));
  // An idle lock only: neither "sleep" nor the lid switch, so an explicit suspend or a closed
  // lid still suspends.
  EXPECT_EQ(inhibitors(), QStringList{QStringLiteral("idle|VELDAN|Playing music|block")});

  // Stop: the descriptor closed, and logind sees the lock go.
  inhibitor_->SetPlaying(false);
  EXPECT_EQ(inhibitor_->Held(), Route::kNone);
  EXPECT_TRUE(WaitFor([&] { return inhibitors().isEmpty(); }, kLongMs));

  inhibitor_->SetPlaying(true);
  ASSERT_TRUE(WaitFor([&] { return inhibitor_->Held() == Route::kLogind; }, kLongMs));
  EXPECT_EQ(inhibitors().size(), 1);
  inhibitor_.reset();
  EXPECT_TRUE(WaitFor([&] { return inhibitors().isEmpty(); }, kLongMs));
}

// A portal that refuses the call, or answers and then reports its backend's failure.
class PortalFailureTest : public SleepInhibitorTest,
                          public ::testing::WithParamInterface<const char*> {};

TEST_P(PortalFailureTest, GivesWayToLogind) {
  StartPortal(GetParam());
  StartLogind();
  MakeInhibitor();
  inhibitor_->SetPlaying(true);
  ASSERT_TRUE(WaitFor([&] { return inhibitor_->Held() == Route::kLogind; }, kLongMs));
  EXPECT_EQ(PortalCalls(), QStringList{kPortalInhibit});
  EXPECT_TRUE(PortalHeld().isEmpty());
  EXPECT_EQ(LogindCalls(), QStringList{kLogindInhibit});
  EXPECT_EQ(LogindHeld(), QStringList{QStringLiteral("idle|block")});
  inhibitor_->SetPlaying(false);
  EXPECT_TRUE(WaitFor([&] { return LogindHeld().isEmpty(); }, kLongMs));
}

INSTANTIATE_TEST_SUITE_P(Modes, PortalFailureTest, ::testing::Values("refuse", "fail"));

TEST_F(SleepInhibitorTest, PortalThatDoesNotAnswerInTimeGivesWayAndItsLateRequestIsClosed) {
  // The portal is stuck for a second in the call; the inhibitor waits 300 ms.
  StartPortal("stall", "1");
  StartLogind();
  MakeInhibitor(300);
  inhibitor_->SetPlaying(true);
  ASSERT_TRUE(WaitFor([&] { return inhibitor_->Held() == Route::kLogind; }, kLongMs));
  // Once the portal gets to it, the request it made is closed.
  EXPECT_TRUE(
      WaitFor([&] { return PortalCalls().size() == 2 && PortalHeld().isEmpty(); }, kLongMs));
  const QStringList calls = PortalCalls();
  ASSERT_EQ(calls.size(), 2);
  EXPECT_EQ(calls[0], kPortalInhibit);
  EXPECT_TRUE(calls[1].startsWith(QStringLiteral("Close /org/freedesktop/portal/desktop/request/")))
      << calls[1].toStdString();
  EXPECT_EQ(LogindHeld(), QStringList{QStringLiteral("idle|block")});
}

// A reply that comes after play stopped, from the portal or from logind (no portal).
class LateReplyTest : public SleepInhibitorTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LateReplyTest, ReleasedAsItArrives) {
  const bool portal = GetParam();
  if (portal) {
    StartPortal("ok", "0.5");
  } else {
    StartLogind("0.5");
  }
  const auto calls = [&] { return portal ? PortalCalls() : LogindCalls(); };
  const auto held = [&] { return portal ? PortalHeld() : LogindHeld(); };
  MakeInhibitor();
  inhibitor_->SetPlaying(true);
  // Stopped while the request is on its way (without a portal, once logind has it).
  ASSERT_TRUE(WaitFor([&] { return calls().size() == 1; }, kLongMs));
  inhibitor_->SetPlaying(false);
  ASSERT_TRUE(WaitFor([&] { return !inhibitor_->Asking(); }, kLongMs));
  EXPECT_EQ(inhibitor_->Held(), Route::kNone);
  EXPECT_EQ(changes_, 0);
  EXPECT_TRUE(WaitFor([&] { return held().isEmpty(); }, kLongMs));
  EXPECT_EQ(calls().size(), portal ? 2 : 1);  // the portal's request also closed

  // Stopped and started again before the reply: the one request is kept.
  inhibitor_->SetPlaying(true);
  inhibitor_->SetPlaying(false);
  inhibitor_->SetPlaying(true);
  ASSERT_TRUE(WaitFor([&] { return inhibitor_->Held() != Route::kNone; }, kLongMs));
  EXPECT_EQ(inhibitor_->Held(), portal ? Route::kPortal : Route::kLogind);
  EXPECT_EQ(held().size(), 1);
  EXPECT_EQ(calls().size(), portal ? 3 : 2);
}

INSTANTIATE_TEST_SUITE_P(Routes, LateReplyTest, ::testing::Values(true, false),
                         [](const auto& route) { return route.param ? "Portal" : "Logind"; });

TEST_F(SleepInhibitorTest, NothingAndNoWaitWithoutPortalOrLogind) {
  // Buses with neither service.
  MakeInhibitor();
  inhibitor_->SetPlaying(true);
  ASSERT_TRUE(WaitFor([&] { return !inhibitor_->Asking(); }, kLongMs));
  EXPECT_EQ(inhibitor_->Held(), Route::kNone);
  inhibitor_->SetPlaying(false);
  inhibitor_->SetPlaying(true);
  ASSERT_TRUE(WaitFor([&] { return !inhibitor_->Asking(); }, kLongMs));
  EXPECT_EQ(inhibitor_->Held(), Route::kNone);

  // No buses at all: nothing is even asked.
  SleepInhibitor unconnected(QDBusConnection(QStringLiteral("no-such-bus")),
                             QDBusConnection(QStringLiteral("no-such-bus")));
  unconnected.SetPlaying(true);
  EXPECT_FALSE(unconnected.Asking());
  EXPECT_EQ(unconnected.Held(), Route::kNone);
  unconnected.SetPlaying(false);
  EXPECT_EQ(changes_, 0);
}

}  // namespace
}  // namespace veldan
