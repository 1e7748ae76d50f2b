// The remote control over a private session bus: a client on its own connection calls every
// method against the real main window over the fake decoder, reads the properties and listens
// to the signals, as a desktop's media keys or sound menu would.
#include "app/mpris.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QEventLoop>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>

#include "art/art_fixtures.h"
#include "main/main_window_fixture.h"
#include "platform/paths.h"
#include "support/private_bus.h"
#include "support/wait_for.h"

namespace veldan::testing {

// Collects the signals the player sends.
class SignalRecorder : public QObject {
  Q_OBJECT

 public:
  QList<QVariantMap> changes;
  QList<qlonglong> seeks;

 public slots:
  void OnPropertiesChanged(const QString& /*interface*/, const QVariantMap& changed,
                           const QStringList& /*invalidated*/) {
    changes.append(changed);
  }
  void OnSeeked(qlonglong position) { seeks.append(position); }
};

namespace {

const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kPath = QString::fromLatin1(kMprisObjectPath);

class MprisTest : public MainWindowTest {
 protected:
  // One private bus for the whole program.
  static void SetUpTestSuite() {
    bus_ = new PrivateBus;
    address_ = bus_->Address();
  }
  static void TearDownTestSuite() {
    delete bus_;
    bus_ = nullptr;
  }

  void SetUp() override {
    MainWindowTest::SetUp();
    ASSERT_FALSE(address_.isEmpty()) << "no dbus-daemon";
    ++round_;
    service_bus_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(address_, QStringLiteral("service%1").arg(round_)));
    client_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(address_, QStringLiteral("client%1").arg(round_)));
    ASSERT_TRUE(service_bus_->isConnected() && client_->isConnected());
    BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "B/3.mp3"});
    window_->ShowTrackTitles();
    service_ = std::make_unique<MprisService>(window_.get());
    ASSERT_TRUE(service_->Register(*service_bus_));
    for (const char* name : {"PropertiesChanged"}) {
      ASSERT_TRUE(client_->connect(
          service_->ServiceName(), kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
          QString::fromLatin1(name), &recorder_,
          SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList))));
    }
    ASSERT_TRUE(client_->connect(service_->ServiceName(), kPath, kPlayer, QStringLiteral("Seeked"),
                                 &recorder_, SLOT(OnSeeked(qlonglong))));
  }

  void TearDown() override {
    service_.reset();
    const QString service_name = service_bus_->name();
    const QString client_name = client_->name();
    service_bus_.reset();
    client_.reset();
    QDBusConnection::disconnectFromBus(service_name);
    QDBusConnection::disconnectFromBus(client_name);
    MainWindowTest::TearDown();
  }

  // Calls without blocking this thread, which must serve the call too.
  QDBusMessage Call(const QString& interface, const QString& method, const QVariantList& args = {},
                    const QString& service = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        service.isEmpty() ? service_->ServiceName() : service, kPath, interface, method);
    message.setArguments(args);
    QDBusPendingCall pending = client_->asyncCall(message, 5000);
    WaitFor([&] { return pending.isFinished(); }, 6000);
    return pending.reply();
  }
  QVariant Get(const QString& interface, const QString& property) {
    const QDBusMessage reply = Call(QStringLiteral("org.freedesktop.DBus.Properties"),
                                    QStringLiteral("Get"), {interface, property});
    if (reply.type() != QDBusMessage::ReplyMessage) return {};
    return reply.arguments().value(0).value<QDBusVariant>().variant();
  }
  QVariantMap Metadata() {
    return qdbus_cast<QVariantMap>(Get(kPlayer, QStringLiteral("Metadata")));
  }
  QDBusMessage Set(const QString& property, const QVariant& value) {
    return Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                {kPlayer, property, QVariant::fromValue(QDBusVariant(value))});
  }
  // Waits until a PropertiesChanged names property with value.
  bool Announced(const QString& property, const QVariant& value) {
    return WaitFor([&] {
      for (const QVariantMap& change : recorder_.changes) {
        if (change.contains(property) && change.value(property) == value) return true;
      }
      return false;
    });
  }
  std::vector<std::string> Calls() { return fake::CallLog(); }
  QString HostPath(const char* relative) const { return dir_->path() + "/" + relative; }

  static PrivateBus* bus_;
  static QString address_;
  static int round_;
  std::unique_ptr<QDBusConnection> service_bus_;
  std::unique_ptr<QDBusConnection> client_;
  std::unique_ptr<MprisService> service_;
  SignalRecorder recorder_;
};

PrivateBus* MprisTest::bus_ = nullptr;
QString MprisTest::address_;
int MprisTest::round_ = 0;

TEST_F(MprisTest, IdentifiesTheApplicationUnderItsNameAndASecondOneAsAnInstance) {
  EXPECT_EQ(service_->ServiceName(), QStringLiteral("org.mpris.MediaPlayer2.veldan"));
  EXPECT_EQ(Get(kRoot, QStringLiteral("Identity")).toString(), QStringLiteral("VELDAN"));
  EXPECT_EQ(Get(kRoot, QStringLiteral("DesktopEntry")).toString(), QStringLiteral("veldan"));
  EXPECT_TRUE(Get(kRoot, QStringLiteral("CanRaise")).toBool());
  EXPECT_TRUE(Get(kPlayer, QStringLiteral("CanControl")).toBool());
  EXPECT_EQ(Get(kPlayer, QStringLiteral("Volume")).toDouble(), 1.0);
  EXPECT_EQ(Call(kRoot, QStringLiteral("Raise")).type(), QDBusMessage::ReplyMessage);
  // Volume is fixed: a client cannot set it.
  EXPECT_EQ(Set(QStringLiteral("Volume"), 0.5).type(), QDBusMessage::ErrorMessage);

  QDBusConnection other = QDBusConnection::connectToBus(address_, QStringLiteral("other"));
  {
    // A start that must have the main name or hand over gets nothing while another holds it.
    MprisService hand_over(window_.get());
    EXPECT_FALSE(hand_over.Register(other, /*main_name_only=*/true));
    EXPECT_TRUE(hand_over.ServiceName().isEmpty());
    MprisService second(window_.get());
    ASSERT_TRUE(second.Register(other));
    EXPECT_TRUE(second.ServiceName().startsWith(QStringLiteral("org.mpris.MediaPlayer2.veldan.instance")));
  }
  QDBusConnection::disconnectFromBus(QStringLiteral("other"));
}

TEST_F(MprisTest, WithoutABusNothingRegistersAndTheWindowIsUntouched) {
  MprisService lonely(window_.get());
  EXPECT_FALSE(lonely.Register(QDBusConnection(QStringLiteral("no such connection"))));
  EXPECT_TRUE(lonely.ServiceName().isEmpty());
  lonely.Refresh();
  EXPECT_TRUE(Calls().empty());
}

TEST_F(MprisTest, TransportCallsDoWhatTheWindowsButtonsDoAndAreAnnounced) {
  EXPECT_EQ(Get(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
  Call(kPlayer, QStringLiteral("PlayPause"));
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  EXPECT_FALSE(window_->BitBtn_play->isEnabled());
  EXPECT_TRUE(Announced(QStringLiteral("PlaybackStatus"), QStringLiteral("Playing")));

  Call(kPlayer, QStringLiteral("Pause"));
  EXPECT_EQ(fake::DecoderState(), VBMP3_PAUSED);
  EXPECT_TRUE(window_->Controller().UserPaused());
  EXPECT_TRUE(Announced(QStringLiteral("PlaybackStatus"), QStringLiteral("Paused")));
  // Pause while paused is not a toggle.
  Call(kPlayer, QStringLiteral("Pause"));
  EXPECT_EQ(fake::DecoderState(), VBMP3_PAUSED);

  Poll();  // the poll enables Play for a track the user paused
  Call(kPlayer, QStringLiteral("Play"));
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  EXPECT_FALSE(window_->Controller().UserPaused());

  // Next while playing stops the decoder and the poll opens the next entry, as the button does.
  Call(kPlayer, QStringLiteral("Next"));
  Poll();
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(LastOpened(), Entry(1));
  Poll();
  Call(kPlayer, QStringLiteral("Previous"));
  Poll();
  EXPECT_EQ(Current(), 0);
  EXPECT_EQ(LastOpened(), Entry(0));

  Call(kPlayer, QStringLiteral("Stop"));
  EXPECT_EQ(fake::DecoderState(), VBMP3_STOPPED);
  EXPECT_FALSE(g_state.continuous_play);
  EXPECT_TRUE(Announced(QStringLiteral("PlaybackStatus"), QStringLiteral("Stopped")));
}

TEST_F(MprisTest, MetadataDescribesTheCurrentTrackAndFollowsIt) {
  QVariantMap metadata = Metadata();
  EXPECT_EQ(qvariant_cast<QDBusObjectPath>(metadata.value("mpris:trackid")).path(),
            QStringLiteral("/org/veldan/track/0"));
  EXPECT_EQ(metadata.value("xesam:title").toString(), QStringLiteral("1"));
  EXPECT_EQ(metadata.value("xesam:album").toString(), QStringLiteral("A"));
  EXPECT_EQ(metadata.value("xesam:trackNumber").toInt(), 1);
  EXPECT_EQ(metadata.value("xesam:url").toString(),
            QUrl::fromLocalFile(HostPath("A/1.mp3")).toString());
  EXPECT_FALSE(metadata.contains("mpris:length"));  // not known before the file is opened

  fake::SetTrackInfo(fake::MakeTrackInfo("Song", "Singer", 2, 128, 44100, 200));
  window_->CheckBox_album_lock->setChecked(false);
  window_->BitBtn_next_fileClick();  // idle: entry 1 becomes current
  StartPlaying();
  metadata = Metadata();
  EXPECT_EQ(metadata.value("xesam:title").toString(), QStringLiteral("Song"));
  EXPECT_EQ(metadata.value("xesam:artist").toStringList(), QStringList{QStringLiteral("Singer")});
  EXPECT_EQ(metadata.value("xesam:trackNumber").toInt(), 2);
  EXPECT_EQ(metadata.value("mpris:length").toLongLong(), 200LL * 1000000);
  EXPECT_TRUE(WaitFor([&] {
    for (const QVariantMap& change : recorder_.changes) {
      if (change.contains("Metadata")) return true;
    }
    return false;
  }));
}

// The album's picture comes from the lookup thread a moment after the track became current; the
// window's thread never waits for it.
TEST_F(MprisTest, MetadataNamesTheAlbumsPictureOnceFoundAndNoneForAnAlbumWithout) {
  // The pictures are there before the catalogue is built from them.
  dir_ = std::make_unique<QTemporaryDir>();
  ASSERT_TRUE(dir_->isValid());
  const std::string root = dir_->path().toStdString();
  const auto write = [&](const std::string& relative, const art_test::Bytes& bytes) {
    const std::string path = root + "/" + relative;
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).path());
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  };
  write("With Cover #1/cover.jpg", art_test::Jpeg(300, 300));
  write("With Cover #1/notes.txt", art_test::ToBytes("not a picture"));
  write("Zeta/Folder.png", art_test::Png(200, 200));
  BuildCatalogueOf({"Bare/1.mp3", "With Cover #1/2.mp3", "With Cover #1/3.mp3", "Zeta/4.mp3"});
  window_->CheckBox_album_lock->setChecked(false);
  const auto art = [&] { return Metadata().value(QStringLiteral("mpris:artUrl")).toString(); };
  const auto uri_of = [&](const char* relative) {
    return QUrl::fromLocalFile(HostPath(relative)).toString(QUrl::FullyEncoded);
  };
  // Whether some PropertiesChanged since the mark carried Metadata with that picture.
  const auto announced = [&](qsizetype mark, const QString& uri) {
    for (qsizetype i = mark; i < recorder_.changes.size(); ++i) {
      const QVariantMap& change = recorder_.changes[i];
      if (!change.contains(QStringLiteral("Metadata"))) continue;
      const QVariantMap metadata =
          qdbus_cast<QVariantMap>(change.value(QStringLiteral("Metadata")));
      if (metadata.value(QStringLiteral("mpris:artUrl")).toString() == uri) return true;
    }
    return false;
  };

  StartPlaying();  // Bare/1.mp3: its folder holds no picture
  EXPECT_FALSE(WaitFor([&] { return !art().isEmpty(); }, 500));
  EXPECT_FALSE(Metadata().contains(QStringLiteral("mpris:artUrl")));

  // The next album's picture, percent-encoded, read and announced.
  const QString cover = uri_of("With Cover #1/cover.jpg");
  ASSERT_TRUE(cover.contains(QStringLiteral("With%20Cover%20%231/cover.jpg")));
  qsizetype mark = recorder_.changes.size();
  Call(kPlayer, QStringLiteral("Next"));
  Poll();
  ASSERT_EQ(Current(), 1);
  EXPECT_TRUE(WaitFor([&] { return art() == cover; })) << art().toStdString();
  EXPECT_TRUE(WaitFor([&] { return announced(mark, cover); }));

  // Within the album the picture stays named throughout: no change goes out without it.
  mark = recorder_.changes.size();
  Call(kPlayer, QStringLiteral("Next"));
  Poll();
  ASSERT_EQ(Current(), 2);
  EXPECT_EQ(art(), cover);
  WaitFor([] { return false; }, 300);
  EXPECT_FALSE(announced(mark, QString()));
  EXPECT_EQ(art(), cover);

  // Another album, another picture (a PNG, the name in capitals).
  const QString folder = uri_of("Zeta/Folder.png");
  mark = recorder_.changes.size();
  Call(kPlayer, QStringLiteral("Next"));
  Poll();
  ASSERT_EQ(Current(), 3);
  EXPECT_TRUE(WaitFor([&] { return art() == folder; })) << art().toStdString();
  EXPECT_TRUE(announced(mark, folder));

  // Back to the album without one: the key goes at once, with the track change.
  mark = recorder_.changes.size();
  Call(kPlayer, QStringLiteral("Next"));
  Poll();
  ASSERT_EQ(Current(), 0);
  EXPECT_FALSE(Metadata().contains(QStringLiteral("mpris:artUrl")));
  EXPECT_TRUE(WaitFor([&] { return announced(mark, QString()); }));

  // Tracks skipped faster than their pictures are found: only the last one's is named.
  for (int step = 0; step < 3; ++step) {
    Call(kPlayer, QStringLiteral("Next"));
    Poll();
  }
  ASSERT_EQ(Current(), 3);
  EXPECT_TRUE(WaitFor([&] { return art() == folder; })) << art().toStdString();
  WaitFor([] { return false; }, 300);
  EXPECT_EQ(art(), folder);
}

TEST_F(MprisTest, ModeCheckBoxesAreShuffleAndLoopBothWays) {
  EXPECT_EQ(Get(kPlayer, QStringLiteral("LoopStatus")).toString(), QStringLiteral("Playlist"));
  Set(QStringLiteral("Shuffle"), true);
  EXPECT_TRUE(window_->CheckBox_random->isChecked());
  Set(QStringLiteral("LoopStatus"), QStringLiteral("Track"));
  EXPECT_TRUE(window_->CheckBox_repeat->isChecked());
  Set(QStringLiteral("LoopStatus"), QStringLiteral("None"));
  EXPECT_FALSE(window_->CheckBox_repeat->isChecked());

  window_->CheckBox_random->setChecked(false);  // the user unticks it in the window
  EXPECT_TRUE(Announced(QStringLiteral("Shuffle"), false));
  EXPECT_FALSE(Get(kPlayer, QStringLiteral("Shuffle")).toBool());
}

TEST_F(MprisTest, PropertyWritesTakeTheirOwnTypeOnlyAndWaitForAnOpenDialog) {
  const auto error = [](const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ErrorMessage ? reply.errorName().toStdString()
                                                      : std::string("success");
  };
  const std::string invalid = "org.freedesktop.DBus.Error.InvalidArgs";
  EXPECT_EQ(error(Set(QStringLiteral("Shuffle"), QStringLiteral("no"))), invalid);
  EXPECT_EQ(error(Set(QStringLiteral("Shuffle"), QStringLiteral("off"))), invalid);
  EXPECT_EQ(error(Set(QStringLiteral("Shuffle"), 1)), invalid);
  EXPECT_EQ(error(Set(QStringLiteral("LoopStatus"), true)), invalid);
  EXPECT_EQ(error(Set(QStringLiteral("LoopStatus"), QStringLiteral("Sideways"))), invalid);
  EXPECT_EQ(error(Set(QStringLiteral("Rate"), QStringLiteral("fast"))), invalid);
  EXPECT_FALSE(window_->CheckBox_random->isChecked());
  EXPECT_FALSE(window_->CheckBox_repeat->isChecked());
  EXPECT_EQ(error(Set(QStringLiteral("Rate"), 1.0)), "success");
  EXPECT_EQ(error(Set(QStringLiteral("Volume"), 0.5)),
            "org.freedesktop.DBus.Error.PropertyReadOnly");
  EXPECT_EQ(error(Set(QStringLiteral("Loudness"), 0.5)),
            "org.freedesktop.DBus.Error.UnknownProperty");
  EXPECT_EQ(error(Set(QStringLiteral("objectName"), QStringLiteral("x"))),
            "org.freedesktop.DBus.Error.UnknownProperty");

  // Reads still answer for each interface, one property or all of them.
  const QDBusMessage all =
      Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"), {kPlayer});
  ASSERT_EQ(all.type(), QDBusMessage::ReplyMessage);
  const QVariantMap properties = qdbus_cast<QVariantMap>(all.arguments().value(0));
  EXPECT_TRUE(properties.contains(QStringLiteral("Position")));
  EXPECT_EQ(properties.value(QStringLiteral("LoopStatus")).toString(), QStringLiteral("Playlist"));
  EXPECT_FALSE(properties.contains(QStringLiteral("Identity")));
  EXPECT_EQ(Get(QString(), QStringLiteral("Identity")).toString(), QStringLiteral("VELDAN"));

  QDialog dialog(window_.get());
  QTimer::singleShot(0, &dialog, [&] {
    EXPECT_EQ(error(Set(QStringLiteral("Shuffle"), true)),
              "org.mpris.MediaPlayer2.veldan.Error.Busy");
    EXPECT_EQ(error(Set(QStringLiteral("LoopStatus"), QStringLiteral("Track"))),
              "org.mpris.MediaPlayer2.veldan.Error.Busy");
    dialog.reject();
  });
  dialog.exec();
  EXPECT_FALSE(window_->CheckBox_random->isChecked());
  EXPECT_FALSE(window_->CheckBox_repeat->isChecked());
}

TEST_F(MprisTest, SeeksMoveThePlayingTrackAndAreAnnouncedWhateverTheClientSends) {
  fake::SetTrackInfo(fake::MakeTrackInfo("", "", 2, 128, 44100, 100));
  StartPlaying();
  fake::SetDecoderPosition(10);
  fake::ClearCallLog();
  const qlonglong second = 1000000;

  Call(kPlayer, QStringLiteral("Seek"), {qlonglong{5} * second});
  EXPECT_EQ(Calls(), (std::vector<std::string>{"seek_ms 15000", "restart"}));
  EXPECT_TRUE(WaitFor([&] { return recorder_.seeks.contains(15 * second); }));
  EXPECT_EQ(window_->Label_time->text().toStdString(), "0:00:15 ");

  // Far back stops at the start; the extremes do not overflow.
  fake::ClearCallLog();
  Call(kPlayer, QStringLiteral("Seek"), {std::numeric_limits<qlonglong>::min()});
  EXPECT_EQ(Calls(), (std::vector<std::string>{"seek_ms 0", "restart"}));

  // Past the end goes on to the next track.
  fake::ClearCallLog();
  Call(kPlayer, QStringLiteral("Seek"), {std::numeric_limits<qlonglong>::max()});
  EXPECT_EQ(Calls(), std::vector<std::string>{"stop"});
  Poll();
  EXPECT_EQ(Current(), 1);

  // SetPosition only for the current track and only inside it.
  fake::ClearCallLog();
  const QString current = QStringLiteral("/org/veldan/track/1");
  Call(kPlayer, QStringLiteral("SetPosition"),
       {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/veldan/track/0"))), 3 * second});
  Call(kPlayer, QStringLiteral("SetPosition"),
       {QVariant::fromValue(QDBusObjectPath(current)), -second});
  Call(kPlayer, QStringLiteral("SetPosition"),
       {QVariant::fromValue(QDBusObjectPath(current)), 101 * second});
  EXPECT_TRUE(Calls().empty());
  Call(kPlayer, QStringLiteral("SetPosition"),
       {QVariant::fromValue(QDBusObjectPath(current)), 42 * second});
  EXPECT_EQ(Calls(), (std::vector<std::string>{"seek_ms 42000", "restart"}));

  // A track the user paused stays paused at its new place.
  window_->BitBtn_pauseClick();
  fake::ClearCallLog();
  Call(kPlayer, QStringLiteral("Seek"), {-2 * second});
  EXPECT_EQ(Calls(), std::vector<std::string>{"seek_ms 40000"});
}

TEST_F(MprisTest, PositionAndSeeksCountMicrosecondsWhileTheWindowShowsSeconds) {
  fake::SetTrackInfo(fake::MakeTrackInfo("", "", 2, 128, 44100, 100));
  StartPlaying();
  fake::SetDecoderPosition(10);
  const qlonglong step = 400000;
  for (int i = 0; i < 10; ++i) Call(kPlayer, QStringLiteral("Seek"), {step});
  EXPECT_EQ(Get(kPlayer, QStringLiteral("Position")).toLongLong(), 14000000);
  EXPECT_TRUE(WaitFor([&] { return recorder_.seeks.contains(10400000); }));
  EXPECT_TRUE(recorder_.seeks.contains(14000000));

  // Half a second in, back by 400 ms: still inside the same second, but moved.
  Call(kPlayer, QStringLiteral("Seek"), {qlonglong{500000}});
  Call(kPlayer, QStringLiteral("Seek"), {-step});
  EXPECT_EQ(Get(kPlayer, QStringLiteral("Position")).toLongLong(), 14100000);
  EXPECT_EQ(window_->Label_time->text().toStdString(), "0:00:14 ");

  // Just past the end goes on; exactly at the end stays in the track.
  fake::ClearCallLog();
  Call(kPlayer, QStringLiteral("Seek"), {qlonglong{100} * 1000000 - 14100000});
  EXPECT_EQ(Calls(), (std::vector<std::string>{"seek_ms 100000", "restart"}));
}

TEST_F(MprisTest, SeeksWhileStoppedDoNothing) {
  EXPECT_FALSE(Get(kPlayer, QStringLiteral("CanSeek")).toBool());
  Call(kPlayer, QStringLiteral("Seek"), {qlonglong{5000000}});
  Call(kPlayer, QStringLiteral("SetPosition"),
       {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/veldan/track/0"))),
        qlonglong{5000000}});
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(recorder_.seeks.isEmpty());
}

TEST_F(MprisTest, OpenUriPlaysAFolderOrTrackAsTheCommandLineWouldAndRefusesTheRest) {
  window_->Timer1->start();
  for (const QString& bad :
       {QStringLiteral("file:///no/such/folder"), QStringLiteral("http://example.com/a.mp3"),
        QStringLiteral("::not a uri::"), QString()}) {
    const QDBusMessage reply = Call(kPlayer, QStringLiteral("OpenUri"), {bad});
    EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage) << bad.toStdString();
  }
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(g_state.catalogue.count, 3);

  CreateFile(dir_->path(), "C/x.mp3");
  CreateFile(dir_->path(), "C/y.mp3");
  const QDBusMessage reply = Call(kPlayer, QStringLiteral("OpenUri"),
                                  {QUrl::fromLocalFile(HostPath("C/y.mp3")).toString()});
  EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(g_state.catalogue.count, 2);
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(LastOpened(), Entry(1));
  EXPECT_TRUE(g_state.continuous_play);
  EXPECT_TRUE(window_->windowTitle().endsWith(QStringLiteral("C]")));

  Call(kPlayer, QStringLiteral("OpenUri"), {QUrl::fromLocalFile(dir_->path()).toString()});
  EXPECT_EQ(g_state.catalogue.count, 5);
  EXPECT_EQ(LastOpened(), Entry(0));
}

// What the player cannot play is refused with an error and leaves play and the catalogue alone.
TEST_F(MprisTest, OpenUriRefusesDevicesOtherFilesAndPathsTooLongToHold) {
  window_->Timer1->start();
  StartPlaying();
  fake::ClearCallLog();
  CreateFile(dir_->path(), "notes.txt");
  const std::string deep =
      std::string(200, 'd') + "/" + std::string(200, 'e') + "/" + std::string(120, 'f') + ".mp3";
  CreateFile(dir_->path(), deep.c_str());
  const QStringList refused = {
      QStringLiteral("file:///dev/zero"),
      QUrl::fromLocalFile(HostPath("notes.txt")).toString(),
      QUrl::fromLocalFile(HostPath(deep.c_str())).toString(),
      QStringLiteral("file://elsewhere") + QUrl::fromLocalFile(HostPath("A")).path(),
      QUrl::fromLocalFile(HostPath("A")).toString() + QStringLiteral("%zz"),
      QUrl::fromLocalFile(HostPath("A")).toString() + QStringLiteral("%00")};
  for (const QString& uri : refused) {
    const QDBusMessage reply = Call(kPlayer, QStringLiteral("OpenUri"), {uri});
    EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage) << uri.toStdString();
  }
  const QDBusMessage too_long = Call(kPlayer, QStringLiteral("OpenUri"),
                                     {QUrl::fromLocalFile(HostPath(deep.c_str())).toString()});
  EXPECT_TRUE(too_long.errorMessage().startsWith(QStringLiteral("Path too long")))
      << too_long.errorMessage().toStdString();
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(g_state.catalogue.count, 3);
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  EXPECT_TRUE(g_state.continuous_play);
}

// A file manager sends a Latin-1 name's bytes percent-encoded; they are the host's bytes.
TEST_F(MprisTest, OpenUriTakesTheUrisBytesAsTheHostsBytes) {
  window_->Timer1->start();
  const QByteArray folder = QFile::encodeName(HostPath("L"));
  ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
  for (const char* name : {"/lat\xe9\xff.mp3", "/a.mp3"}) {
    const int fd = ::open((folder + name).constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
  }
  const QString uri = QStringLiteral("file://localhost") +
                      QString::fromLatin1(folder.toPercentEncoding("/")) +
                      QStringLiteral("/lat%E9%FF.mp3");
  EXPECT_EQ(Call(kPlayer, QStringLiteral("OpenUri"), {uri}).type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(g_state.catalogue.count, 2);
  std::string host;
  ASSERT_TRUE(ProgramPathToHost(LastOpened().c_str(), &host));
  EXPECT_EQ(host, (folder + "/lat\xe9\xff.mp3").toStdString());
}

TEST_F(MprisTest, CallsThatWouldChangePlayWaitForAnOpenDialog) {
  QDialog dialog(window_.get());
  QTimer::singleShot(0, &dialog, [&] {
    const QDBusMessage reply = Call(kPlayer, QStringLiteral("PlayPause"));
    EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(Get(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    dialog.reject();
  });
  dialog.exec();
  EXPECT_TRUE(Calls().empty());
}

}  // namespace
}  // namespace veldan::testing

#include "mpris_test.moc"
