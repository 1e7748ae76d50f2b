// No sleep while the real main window plays over the fake decoder: the stand-in portal
// (tests/support/inhibit_standin.py) on a private session bus, python3-dbusmock's logind on a
// private system bus, and what they were asked for as play starts, pauses, stops and moves on.
#include "app/sleep_guard.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "main/main_window_fixture.h"
#include "platform/sleep_inhibitor.h"
#include "support/private_bus.h"
#include "support/wait_for.h"

// What the stand-ins recorded, readable in a failure's message.
void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace veldan::testing {
namespace {

using Route = SleepInhibitor::Route;

constexpr char kPortal[] = "org.freedesktop.portal.Desktop";
constexpr char kLogind[] = "org.freedesktop.login1";
constexpr char kPortalInhibit[] = "Inhibit |4|Playing music";
// Bounds that only a hang reaches.
constexpr int kLongMs = 20000;

class SleepGuardTest : public MainWindowTest {
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
    MainWindowTest::SetUp();
    if (std::string(VELDAN_STANDIN_PYTHON).empty())
      GTEST_SKIP() << "no Python with the dbus and gi modules for the stand-ins";
    ASSERT_FALSE(session_bus_->Address().isEmpty()) << "dbus-daemon did not start";
    ASSERT_FALSE(system_bus_->Address().isEmpty()) << "dbus-daemon did not start";
    static int round = 0;
    ++round;
    session_name_ = QStringLiteral("guard-session-%1").arg(round);
    system_name_ = QStringLiteral("guard-system-%1").arg(round);
    session_ = QDBusConnection::connectToBus(session_bus_->Address(), session_name_);
    system_ = QDBusConnection::connectToBus(system_bus_->Address(), system_name_);
    ASSERT_TRUE(session_.isConnected() && system_.isConnected());
    BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "A/3.mp3"});
  }

  void TearDown() override {
    guard_.reset();
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
    MainWindowTest::TearDown();
  }

  void MakeGuard() {
    guard_ = std::make_unique<SleepGuard>(window_.get(), session_, system_);
    QObject::connect(&guard_->Inhibitor(), &SleepInhibitor::HeldChanged, [this] { ++changes_; });
  }

  void StartPortal() {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QStringLiteral(VELDAN_STANDIN_PYTHON),
                   {QStringLiteral(VELDAN_INHIBIT_STANDIN), session_bus_->Address(),
                    QStringLiteral("portal")});
    ASSERT_TRUE(process->waitForReadyRead(kLongMs)) << "the stand-in did not start";
    ASSERT_EQ(process->readLine().trimmed(), "ready");
    standins_.push_back(std::move(process));
  }

  static bool Owned(const QDBusConnection& bus, const char* name) {
    return bus.interface()->isServiceRegistered(QLatin1String(name)).value();
  }

  // What the stand-in portal recorded: every call, and the requests in force.
  QStringList AskPortal(const char* method) {
    const QDBusMessage reply =
        session_.call(QDBusMessage::createMethodCall(
                          QLatin1String(kPortal), QStringLiteral("/org/veldan/test/Inhibit"),
                          QStringLiteral("org.veldan.test.Inhibit"), QLatin1String(method)),
                      QDBus::Block, kLongMs);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << method;
    return reply.arguments().isEmpty() ? QStringList() : reply.arguments().at(0).toStringList();
  }
  QStringList PortalCalls() { return AskPortal("Calls"); }
  QStringList PortalHeld() { return AskPortal("Held"); }
  int InhibitCalls() { return static_cast<int>(PortalCalls().count(QString(kPortalInhibit))); }

  Route Held() const { return guard_->Inhibitor().Held(); }
  bool WaitHeld() {
    return WaitFor([&] { return Held() == Route::kPortal; }, kLongMs);
  }
  // Lets replies that might come in for ms.
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
  std::unique_ptr<SleepGuard> guard_;
  int changes_ = 0;
};

PrivateBus* SleepGuardTest::session_bus_ = nullptr;
PrivateBus* SleepGuardTest::system_bus_ = nullptr;

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
