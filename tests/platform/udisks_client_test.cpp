// The drive table over the disc service: a stand-in of UDisks2 (tests/support/udisks_standin.py)
// on a private bus, with optical drives whose discs the tests put in, take out and mount.
#include "platform/udisks_client.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "platform/drives.h"
#include "platform/optical_media.h"
#include "platform/paths.h"
#include "support/private_bus.h"
#include "support/temp_drives.h"

namespace veldan {
namespace {

using test::DriveEnv;
using test::TempTree;
using testing::PrivateBus;

constexpr char kSr0[] = "Mount /org/freedesktop/UDisks2/block_devices/sr0";
constexpr char kSr1[] = "Mount /org/freedesktop/UDisks2/block_devices/sr1";

std::string Roots() {
  char buf[128];
  const int length = ListDriveRoots(buf, sizeof buf);
  std::string roots;
  for (int i = 0; i < length; ++i) roots += buf[i] == '\0' ? ' ' : buf[i];
  return roots;
}

std::string Label(const char* root) {
  char label[64] = "junk";
  return VolumeLabel(root, label, sizeof label) ? label : "(none)";
}

class UDisksTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { bus_ = new PrivateBus; }
  static void TearDownTestSuite() {
    delete bus_;
    bus_ = nullptr;
  }

  void SetUp() override {
    if (std::string(VELDAN_STANDIN_PYTHON).empty())
      GTEST_SKIP() << "no Python with the dbus and gi modules for the UDisks2 stand-in";
    ASSERT_FALSE(bus_->Address().isEmpty()) << "dbus-daemon did not start";
    unsetenv("VELDAN_DRIVES");
    ReloadDriveTable();
    kernel_roots_ = Roots();
    static int count = 0;
    connection_name_ = QStringLiteral("udisks-test-%1").arg(++count);
    tree_.MakeFolder("disc");
    tree_.WriteFile("disc/01.mp3");
    tree_.MakeFolder("other");
  }

  void TearDown() override {
    client_.reset();
    StopStandIn();
    QDBusConnection::disconnectFromBus(connection_name_);
  }

  // Starts the stand-in with the world of config_json (its DISC folders given as @ for the
  // tree's root) and a client over it.
  void Start(std::string config_json) {
    for (std::size_t at; (at = config_json.find('@')) != std::string::npos;)
      config_json.replace(at, 1, tree_.root());
    StartStandIn(config_json);
    connection_ = QDBusConnection::connectToBus(bus_->Address(), connection_name_);
    ASSERT_TRUE(connection_.isConnected());
    client_ = std::make_unique<UDisksClient>(connection_);
    ASSERT_TRUE(client_->Active());
  }

  void StartStandIn(const std::string& config_json) {
    tree_.WriteFile("config.json", config_json);
    standin_ = std::make_unique<QProcess>();
    standin_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    standin_->start(QStringLiteral(VELDAN_STANDIN_PYTHON),
                    {QStringLiteral(VELDAN_STANDIN_SCRIPT), bus_->Address(),
                     QString::fromStdString(tree_.Path("config.json"))});
    ASSERT_TRUE(standin_->waitForReadyRead(20000)) << "the stand-in did not start";
    ASSERT_EQ(standin_->readLine().trimmed(), "ready");
  }

  void StopStandIn() {
    if (!standin_) return;
    standin_->terminate();
    if (!standin_->waitForFinished(10000)) standin_->kill();
    standin_->waitForFinished(5000);
    standin_.reset();
  }

  // Calls a method of the stand-in's test interface.
  QDBusMessage Control(const char* method, const QVariantList& args = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.UDisks2"), QStringLiteral("/org/veldan/test/Discs"),
        QStringLiteral("org.veldan.test.Discs"), QString::fromLatin1(method));
    call.setArguments(args);
    const QDBusMessage reply = connection_.call(call, QDBus::Block, 10000);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << method;
    return reply;
  }
  void Insert(const char* drive, const std::string& disc) {
    std::string json = disc;
    for (std::size_t at; (at = json.find('@')) != std::string::npos;)
      json.replace(at, 1, tree_.root());
    Control("Insert", {QString::fromLatin1(drive), QString::fromStdString(json)});
  }
  QStringList Calls() {
    const QDBusMessage reply = Control("Calls");
    return reply.arguments().isEmpty() ? QStringList() : reply.arguments().at(0).toStringList();
  }

  // Lets the client take in the signals until done answers true; false after a generous bound
  // that only a hang would reach.
  static bool PumpUntil(const std::function<bool()>& done, int ms = 20000) {
    const QDeadlineTimer deadline(ms);
    while (!done()) {
      if (deadline.hasExpired()) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
  }

  static PrivateBus* bus_;
  TempTree tree_;
  std::string kernel_roots_;
  QString connection_name_;
  QDBusConnection connection_{QString()};
  std::unique_ptr<QProcess> standin_;
  std::unique_ptr<UDisksClient> client_;
};

PrivateBus* UDisksTest::bus_ = nullptr;

TEST(KernelDeviceOrder, NumbersInOrderThenOtherNames) {
  EXPECT_TRUE(KernelDeviceOrder("sr0", "sr1"));
  EXPECT_TRUE(KernelDeviceOrder("sr2", "sr10"));
  EXPECT_FALSE(KernelDeviceOrder("sr10", "sr9"));
  EXPECT_FALSE(KernelDeviceOrder("sr1", "sr1"));
  EXPECT_TRUE(KernelDeviceOrder("sr10", "scd0"));
  EXPECT_TRUE(KernelDeviceOrder("sr3", "srx"));
  EXPECT_TRUE(KernelDeviceOrder("hdc", "scd0"));
  EXPECT_FALSE(KernelDeviceOrder("scd0", "hdc"));
}

TEST_F(UDisksTest, OpticalDrivesInKernelOrderDataDiscMountedOnceAudioCdNever) {
  Start(R"({"drives": [{"name": "sr1", "disc": {"kind": "audio"}},
                       {"name": "sr0", "disc": {"kind": "data", "label": "MP3CD",
                                                "folder": "@/disc"}}],
            "disks": [{"name": "sda1", "label": "HOME", "folder": "@/other"}]})");
  // sr0 is D: and sr1 E:, whatever order the service lists them in; the fixed disk is no drive.
  EXPECT_EQ(Roots(), "C:\\ D:\\ E:\\ ");
  EXPECT_EQ(DriveKindOf("D:\\"), DriveKind::kCdRom);
  EXPECT_EQ(DriveKindOf("E:\\"), DriveKind::kCdRom);
  EXPECT_EQ(DriveKindOf("F:\\"), DriveKind::kNoSuchDrive);

  // The drive list's label needs no mount; nothing is mounted before the media-present test.
  EXPECT_EQ(Label("D:\\"), "MP3CD");
  EXPECT_EQ(DriveHostRoot('D'), "");
  EXPECT_EQ(Label("E:\\"), "(none)");
  EXPECT_FALSE(MediaPresent("E:\\"));
  EXPECT_TRUE(Calls().isEmpty());

  EXPECT_TRUE(MediaPresent("D:\\"));
  EXPECT_EQ(DriveHostRoot('D'), tree_.Path("disc"));
  std::string host;
  ASSERT_TRUE(ProgramPathToHost("D:\\01.mp3", &host));
  EXPECT_EQ(host, tree_.Path("disc/01.mp3"));
  char program[64];
  ASSERT_TRUE(HostPathToProgram(tree_.Path("disc/01.mp3"), program, sizeof program));
  EXPECT_STREQ(program, "D:\\01.mp3");
  EXPECT_EQ(Label("D:\\"), "MP3CD");
  EXPECT_TRUE(MediaPresent("d:"));
  EXPECT_FALSE(MediaPresent("E:\\"));
  // One mount, of the optical drive's disc; the audio CD and the fixed disk are never asked for
  // and nothing is unmounted, also when the client goes.
  EXPECT_EQ(Calls(), QStringList{kSr0});

  client_.reset();
  EXPECT_EQ(Roots(), kernel_roots_);
  EXPECT_EQ(Calls(), QStringList{kSr0});
}

TEST_F(UDisksTest, DiscComesAndGoesWithTheDrivesMedium) {
  Start(R"({"drives": [{"name": "sr0"}]})");
  EXPECT_EQ(Roots(), "C:\\ D:\\ ");
  EXPECT_FALSE(MediaPresent("D:\\"));
  EXPECT_EQ(Label("D:\\"), "(none)");

  Insert("sr0", R"({"kind": "data", "folder": "@/disc", "label": "FIRST"})");
  ASSERT_TRUE(PumpUntil([] { return MediaPresent("D:\\"); }));
  EXPECT_EQ(DriveHostRoot('D'), tree_.Path("disc"));
  EXPECT_EQ(Label("D:\\"), "FIRST");

  Control("Eject", {QStringLiteral("sr0")});
  ASSERT_TRUE(PumpUntil([] { return !MediaPresent("D:\\"); }));
  EXPECT_EQ(DriveHostRoot('D'), "");
  EXPECT_EQ(Label("D:\\"), "(none)");
  std::string host;
  EXPECT_FALSE(ProgramPathToHost("D:\\01.mp3", &host));

  // The next disc gets a mount of its own; an audio CD in between gets none.
  Insert("sr0", R"({"kind": "audio"})");
  ASSERT_TRUE(PumpUntil([] { return Label("D:\\") == "(none)" && !MediaPresent("D:\\"); }));
  Control("Eject", {QStringLiteral("sr0")});
  Insert("sr0", R"({"kind": "mixed", "folder": "@/other"})");
  ASSERT_TRUE(PumpUntil([] { return MediaPresent("D:\\"); }));
  EXPECT_EQ(DriveHostRoot('D'), tree_.Path("other"));
  // Without a label of its own the disc is named by its mount folder, as without the service.
  EXPECT_EQ(Label("D:\\"), "other");
  EXPECT_EQ(Calls(), (QStringList{kSr0, kSr0}));
}

TEST_F(UDisksTest, RefusedOrFailedMountIsNoMediumTriedOncePerDisc) {
  Start(R"({"drives": [{"name": "sr0", "disc": {"kind": "data", "folder": "@/disc",
                                                "mount": "refuse"}},
                       {"name": "sr1", "disc": {"kind": "data", "folder": "@/disc",
                                                "mount": "fail"}}]})");
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(MediaPresent("D:\\"));
    EXPECT_FALSE(MediaPresent("E:\\"));
  }
  EXPECT_EQ(DriveHostRoot('D'), "");
  EXPECT_EQ(Calls(), (QStringList{kSr0, kSr1}));

  // Taken out and put back, the disc is asked for again.
  Control("Eject", {QStringLiteral("sr0")});
  ASSERT_TRUE(PumpUntil([] { return Label("D:\\") == "(none)"; }));
  Insert("sr0", R"({"kind": "data", "folder": "@/other"})");
  ASSERT_TRUE(PumpUntil([] { return MediaPresent("D:\\"); }));
  EXPECT_EQ(DriveHostRoot('D'), tree_.Path("other"));
  EXPECT_EQ(Calls(), (QStringList{kSr0, kSr1, kSr0}));
}

TEST_F(UDisksTest, MountLongerThanOneCallEndsWhileTheWaitGoesOn) {
  // The stand-in answers long after the client stops waiting for the call; the mount it then
  // reports ends the wait, and the probes meanwhile ask for no second mount.
  Start(R"({"drives": [{"name": "sr0", "disc": {"kind": "data", "folder": "@/disc",
                                                "mount": "slow", "delay": 4}}]})");
  EXPECT_FALSE(MediaPresent("D:\\"));
  ASSERT_TRUE(PumpUntil([] { return MediaPresent("D:\\"); }));
  EXPECT_EQ(DriveHostRoot('D'), tree_.Path("disc"));
  EXPECT_EQ(Calls(), QStringList{kSr0});
}

TEST_F(UDisksTest, DiscMountedElsewhereIsUsedAndNotRemountedOnceUnmounted) {
  Start(R"({"drives": [{"name": "sr0", "disc": {"kind": "data", "folder": "@/disc",
                                                "mounted": "@/other"}}]})");
  EXPECT_TRUE(MediaPresent("D:\\"));
  EXPECT_EQ(DriveHostRoot('D'), tree_.Path("other"));

  // An eject unmounts first: the disc must not be mounted again in between.
  Control("UnmountElsewhere", {QStringLiteral("sr0")});
  ASSERT_TRUE(PumpUntil([] { return DriveHostRoot('D').empty(); }));
  EXPECT_FALSE(MediaPresent("D:\\"));
  EXPECT_TRUE(Calls().isEmpty());

  Control("MountElsewhere", {QStringLiteral("sr0"), QString::fromStdString(tree_.Path("disc"))});
  ASSERT_TRUE(PumpUntil([] { return MediaPresent("D:\\"); }));
  EXPECT_EQ(DriveHostRoot('D'), tree_.Path("disc"));
}

TEST_F(UDisksTest, DriveSettingReplacesAndAddsOverTheService) {
  Start(R"({"drives": [{"name": "sr0", "disc": {"kind": "data", "folder": "@/disc"}},
                       {"name": "sr1", "disc": {"kind": "data", "folder": "@/other"}}]})");
  tree_.MakeFolder("cd");
  const DriveEnv env("D=cdrom:" + tree_.Path("cd") + ":CONF;G=removable:" + tree_.Path("g"));
  EXPECT_EQ(Roots(), "C:\\ D:\\ E:\\ G:\\ ");
  EXPECT_TRUE(MediaPresent("D:\\"));
  EXPECT_EQ(DriveHostRoot('D'), tree_.Path("cd"));
  EXPECT_EQ(Label("D:\\"), "CONF");
  EXPECT_FALSE(MediaPresent("G:\\"));
  EXPECT_TRUE(Calls().isEmpty());
  EXPECT_TRUE(MediaPresent("E:\\"));
  EXPECT_EQ(DriveHostRoot('E'), tree_.Path("other"));
  EXPECT_EQ(Calls(), QStringList{kSr1});

  // A change from the service keeps the setting laid over it.
  Control("Eject", {QStringLiteral("sr1")});
  ASSERT_TRUE(PumpUntil([] { return !MediaPresent("E:\\"); }));
  EXPECT_EQ(DriveHostRoot('D'), tree_.Path("cd"));
  EXPECT_EQ(Roots(), "C:\\ D:\\ E:\\ G:\\ ");
}

TEST_F(UDisksTest, ServiceLeavingGivesTheKernelsDrivesBackAndReturningTakesThemAgain) {
  Start(R"({"drives": [{"name": "sr0", "disc": {"kind": "data", "folder": "@/disc"}}]})");
  EXPECT_TRUE(MediaPresent("D:\\"));
  Control("Quit");
  ASSERT_TRUE(PumpUntil([this] { return !client_->Active(); }));
  EXPECT_EQ(Roots(), kernel_roots_);
  if (standin_) standin_->waitForFinished(10000);

  StartStandIn(R"({"drives": [{"name": "sr0"}, {"name": "sr1", "disc": {"kind": "data",
                   "folder": ")" +
               tree_.Path("other") + R"("}}]})");
  ASSERT_TRUE(PumpUntil([this] { return client_->Active(); }));
  EXPECT_EQ(Roots(), "C:\\ D:\\ E:\\ ");
  EXPECT_FALSE(MediaPresent("D:\\"));
  EXPECT_TRUE(MediaPresent("E:\\"));
  EXPECT_EQ(DriveHostRoot('E'), tree_.Path("other"));
}

TEST_F(UDisksTest, WithoutTheServiceTheKernelsFilesServe) {
  // A bus without UDisks2, and no bus at all.
  connection_ = QDBusConnection::connectToBus(bus_->Address(), connection_name_);
  ASSERT_TRUE(connection_.isConnected());
  {
    const UDisksClient client(connection_);
    EXPECT_FALSE(client.Active());
    EXPECT_EQ(Roots(), kernel_roots_);
  }
  const QString none = connection_name_ + QStringLiteral("-none");
  {
    const UDisksClient client(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=") + QString::fromStdString(tree_.Path("no-bus")), none));
    EXPECT_FALSE(client.Active());
    EXPECT_EQ(Roots(), kernel_roots_);
  }
  QDBusConnection::disconnectFromBus(none);
}

}  // namespace
}  // namespace veldan
