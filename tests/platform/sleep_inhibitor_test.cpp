// The sleep inhibitor against stand-ins of the desktop portal and logind, each on a private bus
// of its own: tests/support/inhibit_standin.py, and python3-dbusmock's logind template.
#include "platform/sleep_inhibitor.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "support/private_bus.h"
#include "support/wait_for.h"

namespace veldan {
namespace {

using testing::PrivateBus;
using testing::WaitFor;
using Route = SleepInhibitor::Route;

constexpr char kPortal[] = "org.freedesktop.portal.Desktop";
constexpr char kLogind[] = "org.freedesktop.login1";
constexpr char kPortalInhibit[] = "Inhibit |4|Playing music";
constexpr char kLogindInhibit[] = "Inhibit idle|VELDAN|Playing music|block";
// Bounds that only a hang reaches.
constexpr int kLongMs = 20000;

class SleepInhibitorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    session_bus_ = new PrivateBus;
    system_bus_ = new PrivateBus;
  }
  static void TearDownTestSuite() {
    delete session_bus_;
    delete system_bus_;
    session_bus_ = system_bus_ = nullptr;
  }

  void SetUp() override {
    if (std::string(VELDAN_STANDIN_PYTHON).empty())
      GTEST_SKIP() << "no Python with the dbus and gi modules for the stand-ins";
    ASSERT_FALSE(session_bus_->Address().isEmpty()) << "dbus-daemon did not start";
    ASSERT_FALSE(system_bus_->Address().isEmpty()) << "dbus-daemon did not start";
    static int count = 0;
    ++count;
    session_name_ = QStringLiteral("inhibit-session-%1").arg(count);
    system_name_ = QStringLiteral("inhibit-system-%1").arg(count);
    session_ = QDBusConnection::connectToBus(session_bus_->Address(), session_name_);
    system_ = QDBusConnection::connectToBus(system_bus_->Address(), system_name_);
    ASSERT_TRUE(session_.isConnected());
    ASSERT_TRUE(system_.isConnected());
  }

  void TearDown() override {
    inhibitor_.reset();
    for (auto& process : standins_) {
      process->terminate();
      if (!process->waitForFinished(10000)) process->kill();
      process->waitForFinished(5000);
    }
    standins_.clear();
    // The names are free again before the next test takes them.
    WaitFor([&] { return !Owned(session_, kPortal) && !Owned(system_, kLogind); }, kLongMs);
    QDBusConnection::disconnectFromBus(session_name_);
    QDBusConnection::disconnectFromBus(system_name_);
  }

  void MakeInhibitor(int call_ms = SleepInhibitor::kCallMs) {
    inhibitor_ = std::make_unique<SleepInhibitor>(session_, system_, call_ms);
    QObject::connect(inhibitor_.get(), &SleepInhibitor::HeldChanged, [this] { ++changes_; });
  }

  // The stand-in portal on the session bus, or logind on the system bus.
  void StartPortal(const char* mode = "ok", const char* delay = "0") {
    Start({QStringLiteral(VELDAN_STANDIN_SCRIPT), session_bus_->Address(), QStringLiteral("portal"),
           QLatin1String(mode), QLatin1String(delay)});
  }
  void StartLogind(const char* delay = "0") {
    Start({QStringLiteral(VELDAN_STANDIN_SCRIPT), system_bus_->Address(), QStringLiteral("logind"),
           QStringLiteral("ok"), QLatin1String(delay)});
  }
  void Start(const QStringList& args) {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QStringLiteral(VELDAN_STANDIN_PYTHON), args);
    ASSERT_TRUE(process->waitForReadyRead(kLongMs)) << "the stand-in did not start";
    ASSERT_EQ(process->readLine().trimmed(), "ready");
    standins_.push_back(std::move(process));
  }

  static bool Owned(const QDBusConnection& bus, const char* name) {
    return bus.interface()->isServiceRegistered(QLatin1String(name)).value();
  }

  static QStringList Ask(const QDBusConnection& bus, const char* service, const char* method) {
    const QDBusMessage reply = QDBusConnection(bus).call(
        QDBusMessage::createMethodCall(
            QLatin1String(service), QStringLiteral("/org/veldan/test/Inhibit"),
            QStringLiteral("org.veldan.test.Inhibit"), QLatin1String(method)),
        QDBus::Block, kLongMs);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << method;
    return reply.arguments().isEmpty() ? QStringList() : reply.arguments().at(0).toStringList();
  }
  QStringList PortalCalls() { return Ask(session_, kPortal, "Calls"); }
  QStringList PortalHeld() { return Ask(session_, kPortal, "Held"); }
  QStringList LogindCalls() { return Ask(system_, kLogind, "Calls"); }
  QStringList LogindHeld() { return Ask(system_, kLogind, "Held"); }

  // Lets the inhibitor's replies come in for ms.
  static void Pump(int ms) {
    WaitFor([] { return false; }, ms);
  }

  static PrivateBus* session_bus_;
  static PrivateBus* system_bus_;
  QString session_name_;
  QString system_name_;
  QDBusConnection session_{QString()};
  QDBusConnection system_{QString()};
  std::vector<std::unique_ptr<QProcess>> standins_;
  std::unique_ptr<SleepInhibitor> inhibitor_;
  int changes_ = 0;
};

PrivateBus* SleepInhibitorTest::session_bus_ = nullptr;
PrivateBus* SleepInhibitorTest::system_bus_ = nullptr;

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
  if (std::string(VELDAN_DBUSMOCK_PYTHON).empty())
    GTEST_SKIP() << "no Python with python3-dbusmock for the logind stand-in";
  auto logind = std::make_unique<QProcess>();
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), system_bus_->Address());
  logind->setProcessEnvironment(env);
  logind->setProcessChannelMode(QProcess::ForwardedChannels);
  logind->start(QStringLiteral(VELDAN_DBUSMOCK_PYTHON),
                {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
                 QStringLiteral("logind")});
  standins_.push_back(std::move(logind));
  ASSERT_TRUE(WaitFor([&] { return Owned(system_, kLogind); }, kLongMs));

  const auto inhibitors = [&] {
    const QDBusMessage reply = system_.call(
        QDBusMessage::createMethodCall(
            QLatin1String(kLogind), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("ListInhibitors")),
        QDBus::Block, kLongMs);
    QStringList list;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return list;
    const auto arg = reply.arguments().at(0).value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
      QString what, who, why, mode;
      uint uid = 0, pid = 0;
      arg.beginStructure();
      arg >> what >> who >> why >> mode >> uid >> pid;
      arg.endStructure();
      list << QStringList{what, who, why, mode}.join(QLatin1Char('|'));
    }
    arg.endArray();
    return list;
  };

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
