// A second start handing its argument to the player that runs: the player here is the real main
// window over the fake decoder with its remote control on a private bus, and the hand-over runs
// on a connection of its own, as the second process would.
#include "main/hand_over.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDir>
#include <QUrl>
#include <fcntl.h>
#include <unistd.h>

#include "main/main_window_fixture.h"
#include "main/mpris.h"
#include "platform/paths.h"
#include "support/private_bus.h"

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

  // The player is busy (a search has its poll stopped): it refuses, and says so.
  window_->Timer1->stop();
  EXPECT_FALSE(HandOver(Host("A")));
  EXPECT_TRUE(fake::DecoderCalls().empty());

  // No player on the bus, and no bus at all.
  service_.reset();
  window_->Timer1->start();
  EXPECT_FALSE(HandOver(Host("A")));
  EXPECT_FALSE(HandOverToRunningPlayer(QDBusConnection(QStringLiteral("none")), Host("A")));
  EXPECT_TRUE(fake::DecoderCalls().empty());
  EXPECT_EQ(g_state.catalogue.count, 2);
}

}  // namespace
}  // namespace veldan::testing
