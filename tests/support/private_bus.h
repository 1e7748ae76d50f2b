// A D-Bus session bus of the tests' own, started with dbus-daemon, so that no test reaches the
// user's bus. One per test suite: start it in SetUpTestSuite, stop it in TearDownTestSuite.
#pragma once

#include <QProcess>
#include <QString>

namespace veldan::testing {

class PrivateBus {
 public:
  PrivateBus() {
    daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"),
                                                  QStringLiteral("--nofork"),
                                                  QStringLiteral("--print-address=1")});
    if (daemon_.waitForReadyRead(10000)) {
      address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
  }
  ~PrivateBus() {
    daemon_.kill();
    daemon_.waitForFinished(5000);
  }
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  // Where clients connect; empty when dbus-daemon did not start.
  QString Address() const { return address_; }

 private:
  QProcess daemon_;
  QString address_;
};

}  // namespace veldan::testing
