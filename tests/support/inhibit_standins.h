// Stand-ins of the desktop portal and logind for the sleep inhibitor's tests, each on a private
// bus of its own: tests/support/inhibit_standin.py (portal or logind, recording what it was
// asked) and python3-dbusmock's logind template. The two buses are a suite's (StartBuses and
// StopBuses from SetUpTestSuite and TearDownTestSuite); the connections and the stand-ins are
// one test's, and End lets go of them with the bus names free again for the next test.
#pragma once

#include <gtest/gtest.h>

#include <QDBusArgument>
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

namespace veldan::testing {

inline constexpr char kPortalService[] = "org.freedesktop.portal.Desktop";
inline constexpr char kLogindService[] = "org.freedesktop.login1";
inline constexpr char kPortalInhibitCall[] = "Inhibit |4|Playing music";
// Bounds that only a hang reaches.
inline constexpr int kStandInLongMs = 20000;

class InhibitStandIns {
 public:
  // python runs script (the python3-dbus stand-in); dbusmock_python runs python3-dbusmock.
  InhibitStandIns(const char* python, const char* script, const char* dbusmock_python)
      : python_(QString::fromUtf8(python)),
        script_(QString::fromUtf8(script)),
        dbusmock_python_(QString::fromUtf8(dbusmock_python)) {}
  ~InhibitStandIns() { End(); }
  InhibitStandIns(const InhibitStandIns&) = delete;
  InhibitStandIns& operator=(const InhibitStandIns&) = delete;

  static void StartBuses() {
    session_bus_ = new PrivateBus;
    system_bus_ = new PrivateBus;
  }
  static void StopBuses() {
    delete session_bus_;
    delete system_bus_;
    session_bus_ = system_bus_ = nullptr;
  }

  // Why this test can't run here (empty when it can): no Python for the stand-in, or a bus
  // that did not start. Connects to both buses otherwise.
  std::string Connect() {
    if (python_.isEmpty()) return "no Python with the dbus and gi modules for the stand-ins";
    if (session_bus_->Address().isEmpty() || system_bus_->Address().isEmpty()) {
      return "dbus-daemon did not start";
    }
    static int count = 0;
    ++count;
    session_name_ = QStringLiteral("inhibit-session-%1").arg(count);
    system_name_ = QStringLiteral("inhibit-system-%1").arg(count);
    session_ = QDBusConnection::connectToBus(session_bus_->Address(), session_name_);
    system_ = QDBusConnection::connectToBus(system_bus_->Address(), system_name_);
    connected_ = true;
    return session_.isConnected() && system_.isConnected() ? "" : "no connection to the buses";
  }

  // Ends the stand-ins and waits until their names are free; then the connections go.
  void End() {
    for (auto& process : standins_) {
      process->terminate();
      if (!process->waitForFinished(10000)) process->kill();
      process->waitForFinished(5000);
    }
    standins_.clear();
    if (!connected_) return;
    WaitFor([&] { return !Owned(session_, kPortalService) && !Owned(system_, kLogindService); },
            kStandInLongMs);
    QDBusConnection::disconnectFromBus(session_name_);
    QDBusConnection::disconnectFromBus(system_name_);
    connected_ = false;
  }

  QDBusConnection& session() { return session_; }
  QDBusConnection& system() { return system_; }

  // The stand-in portal on the session bus, or logind on the system bus; mode is "ok",
  // "refuse", "fail" or "stall", delay the seconds before each answer.
  bool StartPortal(const char* mode = "ok", const char* delay = "0") {
    return Start(session_bus_, "portal", mode, delay);
  }
  bool StartLogind(const char* delay = "0") { return Start(system_bus_, "logind", "ok", delay); }
  // python3-dbusmock's logind on the system bus; true once it holds its name.
  bool StartDbusmockLogind() {
    auto logind = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), system_bus_->Address());
    logind->setProcessEnvironment(env);
    logind->setProcessChannelMode(QProcess::ForwardedChannels);
    logind->start(dbusmock_python_, {QStringLiteral("-m"), QStringLiteral("dbusmock"),
                                     QStringLiteral("--template"), QStringLiteral("logind")});
    standins_.push_back(std::move(logind));
    return WaitFor([&] { return Owned(system_, kLogindService); }, kStandInLongMs);
  }

  static bool Owned(const QDBusConnection& bus, const char* name) {
    return bus.interface()->isServiceRegistered(QLatin1String(name)).value();
  }

  // What the python3-dbus stand-ins recorded: every call, and the requests or locks in force.
  QStringList PortalCalls() { return Ask(session_, kPortalService, "Calls"); }
  QStringList PortalHeld() { return Ask(session_, kPortalService, "Held"); }
  QStringList LogindCalls() { return Ask(system_, kLogindService, "Calls"); }
  QStringList LogindHeld() { return Ask(system_, kLogindService, "Held"); }

  // dbusmock's logind: its inhibitors as "what|who|why|mode".
  QStringList DbusmockInhibitors() {
    const QDBusMessage reply = system_.call(
        QDBusMessage::createMethodCall(
            QLatin1String(kLogindService), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("ListInhibitors")),
        QDBus::Block, kStandInLongMs);
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
  }

 private:
  bool Start(PrivateBus* bus, const char* role, const char* mode, const char* delay) {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(python_, {script_, bus->Address(), QLatin1String(role), QLatin1String(mode),
                             QLatin1String(delay)});
    const bool ready =
        process->waitForReadyRead(kStandInLongMs) && process->readLine().trimmed() == "ready";
    standins_.push_back(std::move(process));
    return ready;
  }

  static QStringList Ask(QDBusConnection& bus, const char* service, const char* method) {
    const QDBusMessage reply = bus.call(
        QDBusMessage::createMethodCall(
            QLatin1String(service), QStringLiteral("/org/veldan/test/Inhibit"),
            QStringLiteral("org.veldan.test.Inhibit"), QLatin1String(method)),
        QDBus::Block, kStandInLongMs);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << method;
    return reply.arguments().isEmpty() ? QStringList() : reply.arguments().at(0).toStringList();
  }

  inline static PrivateBus* session_bus_ = nullptr;
  inline static PrivateBus* system_bus_ = nullptr;
  QString python_;
  QString script_;
  QString dbusmock_python_;
  QString session_name_;
  QString system_name_;
  QDBusConnection session_{QString()};
  QDBusConnection system_{QString()};
  bool connected_ = false;
  std::vector<std::unique_ptr<QProcess>> standins_;
};

}  // namespace veldan::testing
