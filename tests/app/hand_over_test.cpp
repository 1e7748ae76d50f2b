// A second start handing its argument to the player that runs: the player here is the real main
// window over the fake decoder with its remote control on a private bus, and the hand-over runs
// on a connection of its own, as the second process would.
#include "app/hand_over.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "app/mpris.h"
#include "main/main_window_fixture.h"
#include "platform/paths.h"
#include "support/private_bus.h"
#include "support/wait_for.h"

namespace veldan::testing {
namespace {

class HandOverTest : public MainWindowTest {
 protected:
  static void SetUpTestSuite() { bus_ = new PrivateBus; }
  static void TearDownTestSuite() {
    delete bus_;
    bus_ = nullptr;
  }

  void SetUp() override {
    MainWindowTest::SetUp();
    ASSERT_FALSE(bus_->Address().isEmpty()) << "no dbus-daemon";
    ++round_;
    player_bus_ = QStringLiteral("player%1").arg(round_);
    second_bus_ = QStringLiteral("second%1").arg(round_);
    QDBusConnection player = QDBusConnection::connectToBus(bus_->Address(), player_bus_);
    ASSERT_TRUE(player.isConnected());
    BuildCatalogueOf({"A/1.mp3", "A/2.mp3"});
    service_ = std::make_unique<MprisService>(window_.get());
    ASSERT_TRUE(service_->Register(player));
    window_->Timer1->start();
    fake::ClearCallLog();
  }
  void TearDown() override {
    service_.reset();
    QDBusConnection::disconnectFromBus(player_bus_);
    QDBusConnection::disconnectFromBus(second_bus_);
    MainWindowTest::TearDown();
  }

  bool HandOver(const QByteArray& argument) {
    return HandOverToRunningPlayer(QDBusConnection::connectToBus(bus_->Address(), second_bus_),
                                   argument.isNull() ? nullptr : argument.constData());
  }
  QByteArray Host(const char* relative) const {
    return QFile::encodeName(dir_->path() + "/" + QString::fromUtf8(relative));
  }
  // The bytes as they are, also where they are no UTF-8.
  QByteArray RawHost(const char* relative) const {
    return QFile::encodeName(dir_->path()) + "/" + QByteArray(relative);
  }

  static PrivateBus* bus_;
  static int round_;
  QString player_bus_;
  QString second_bus_;
  std::unique_ptr<MprisService> service_;
};

PrivateBus* HandOverTest::bus_ = nullptr;
int HandOverTest::round_ = 0;

TEST_F(HandOverTest, TheRunningPlayerPlaysAHostRelativeOrDriveLetterPath) {
  // Characters that a file URI must escape, and one outside ASCII.
  CreateFile(dir_->path(), "C/My #1 100% Bj\xc3\xb6rk?/x.mp3");
  CreateFile(dir_->path(), "C/My #1 100% Bj\xc3\xb6rk?/y.mp3");
  EXPECT_TRUE(HandOver(Host("C/My #1 100% Bj\xc3\xb6rk?/y.mp3")));
  EXPECT_EQ(g_state.catalogue.count, 2);
  EXPECT_EQ(LastOpened(), Entry(1));
  EXPECT_TRUE(g_state.continuous_play);

  // Relative to the second process's folder, not the player's.
  const QString before = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir_->path() + "/A"));
  const bool relative = HandOver("2.mp3");
  QDir::setCurrent(before);
  EXPECT_TRUE(relative);
  EXPECT_EQ(g_state.catalogue.count, 2);
  EXPECT_EQ(LastOpened(), Entry(1));
  EXPECT_TRUE(window_->windowTitle().endsWith(QStringLiteral("A]")));

  // A host name whose bytes are no text still reaches the player as the same file.
  const QByteArray raw = RawHost("A/\xff.mp3");
  const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ::close(fd);
  EXPECT_TRUE(HandOver(raw));
  EXPECT_EQ(g_state.catalogue.count, 3);
  EXPECT_EQ(Current(), 2);
  EXPECT_EQ(LastOpened(), Entry(2));

  // Nor are bytes that are no UTF-8 at all, as a Latin-1 name: lat, e acute, y diaeresis.
  const QByteArray latin = RawHost("A/lat\xe9\xff.mp3");
  const int latin_fd = ::open(latin.constData(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(latin_fd, 0);
  ::close(latin_fd);
  EXPECT_TRUE(HandOverUri(latin.constData()).endsWith(QStringLiteral("/A/lat%E9%FF.mp3")));
  EXPECT_TRUE(HandOver(latin));
  EXPECT_EQ(g_state.catalogue.count, 4);
  std::string opened;
  ASSERT_TRUE(ProgramPathToHost(LastOpened().c_str(), &opened));
  EXPECT_EQ(opened, latin.toStdString());

  char program_path[kTextSize];
  ASSERT_TRUE(HostPathToProgram(dir_->path().toStdString(), program_path, sizeof program_path));
  EXPECT_TRUE(HandOver(program_path));
  EXPECT_EQ(g_state.catalogue.count, 6);
  EXPECT_EQ(LastOpened(), Entry(0));
}

TEST_F(HandOverTest, WithoutAPathThePlayerOnlyComesToTheFront) {
  EXPECT_TRUE(HandOver(QByteArray()));
  EXPECT_TRUE(fake::DecoderCalls().empty());
  EXPECT_EQ(g_state.catalogue.count, 2);
}

TEST_F(HandOverTest, EveryFailureLeavesTheSecondStartToPlayItself) {
  EXPECT_FALSE(HandOver(Host("gone.mp3")));
  EXPECT_FALSE(HandOver("Q:\\Music"));
  EXPECT_FALSE(HandOver("/dev/zero"));

  // A dialog is open: refused at once, and not carried out when it closes.
  QDialog dialog(window_.get());
  QTimer::singleShot(0, &dialog, [&] {
    EXPECT_FALSE(HandOver(Host("A")));
    dialog.reject();
  });
  dialog.exec();
  WaitFor([] { return false; }, 600);

  // No player on the bus, and no bus at all.
  service_.reset();
  EXPECT_FALSE(HandOver(Host("A")));
  EXPECT_FALSE(HandOverToRunningPlayer(QDBusConnection(QStringLiteral("none")), Host("A")));
  EXPECT_TRUE(fake::CallLog().empty());
  EXPECT_EQ(g_state.catalogue.count, 2);
}

// While the player searches (its poll stopped), a hand-over waits for the search to end; it is
// carried out only while its caller still waits, since a caller that gave up plays it itself.
TEST_F(HandOverTest, ABusyPlayerPlaysThePathWhenFreeOnlyIfItsCallerStillWaits) {
  CreateFile(dir_->path(), "C/x.mp3");
  window_->Timer1->stop();
  QTimer::singleShot(300, window_.get(), [this] { window_->Timer1->start(); });
  EXPECT_TRUE(HandOver(Host("C")));
  EXPECT_EQ(g_state.catalogue.count, 1);
  EXPECT_EQ(LastOpened(), Entry(0));

  // Busy for longer than the caller waits: told it came too late, and nothing plays later.
  window_->Timer1->stop();
  fake::ClearCallLog();
  EXPECT_FALSE(HandOverToRunningPlayer(QDBusConnection::connectToBus(bus_->Address(), second_bus_),
                                       Host("A"), 1500));
  window_->Timer1->start();
  WaitFor([] { return false; }, 600);
  EXPECT_EQ(service_->PendingHandOvers(), 0);
  EXPECT_TRUE(fake::CallLog().empty());
  EXPECT_EQ(g_state.catalogue.count, 1);
}

// A start terminated while it waits ends the wait at once; the player still plays the path if it
// can answer in time (nobody listens then, but nobody else plays it either).
TEST_F(HandOverTest, ATerminatedCallerStopsWaitingAndThePlayerPlaysThePath) {
  window_->Timer1->stop();
  QElapsedTimer waited;
  waited.start();
  EXPECT_FALSE(HandOverToRunningPlayer(QDBusConnection::connectToBus(bus_->Address(), second_bus_),
                                       Host("A"), kHandOverTimeoutMs,
                                       [&waited] { return waited.elapsed() > 200; }));
  EXPECT_LT(waited.elapsed(), 3000);
  EXPECT_EQ(service_->PendingHandOvers(), 1);
  window_->Timer1->start();
  EXPECT_TRUE(WaitFor([this] { return service_->PendingHandOvers() == 0; }, 3000));
  EXPECT_EQ(g_state.catalogue.count, 2);
  EXPECT_EQ(LastOpened(), Entry(0));
}

// A search that reads nothing from the bus until it ends, as a player of an older kind did: the
// request arrives after its caller gave up, and is not carried out.
TEST_F(HandOverTest, ARequestReadAfterItsCallerGaveUpIsNeverCarriedOut) {
  std::atomic<int> handed_over{-1};
  const QByteArray path = Host("A");
  const QString address = bus_->Address();
  std::thread caller([&] {
    handed_over = HandOverToRunningPlayer(
        QDBusConnection::connectToBus(address, QStringLiteral("late")), path.constData(), 1200);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  caller.join();
  QDBusConnection::disconnectFromBus(QStringLiteral("late"));
  EXPECT_EQ(handed_over, 0);
  WaitFor([] { return false; }, 600);
  EXPECT_TRUE(fake::CallLog().empty());
  EXPECT_EQ(g_state.catalogue.count, 2);
}

// Two starts at once with the same folder: the one that got the bus name answers the other
// after its start-up without starting its own track again.
TEST_F(HandOverTest, AHandOverOfWhatStartUpPlayedIsAnsweredWithoutPlayingItAgain) {
  window_->Timer1->stop();
  std::atomic<int> handed_over{-1};
  const QByteArray path = Host("A");
  const QString address = bus_->Address();
  std::thread caller([&] {
    handed_over = HandOverToRunningPlayer(
        QDBusConnection::connectToBus(address, QStringLiteral("twin")), path.constData());
  });
  EXPECT_TRUE(WaitFor([this] { return service_->PendingHandOvers() == 1; }, 4000));
  window_->Timer1->start();
  service_->ServePendingHandOvers(path.constData());
  caller.join();
  QDBusConnection::disconnectFromBus(QStringLiteral("twin"));
  EXPECT_EQ(handed_over, 1);
  EXPECT_TRUE(fake::CallLog().empty());
}

}  // namespace
}  // namespace veldan::testing
