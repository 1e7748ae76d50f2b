#include "app/mpris.h"

#include <sys/stat.h>

#include <QApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFile>
#include <QFileInfo>
#include <QMetaProperty>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "art/art_lookup.h"
#include "catalogue/navigation.h"
#include "catalogue/program_state.h"
#include "catalogue/start_argument.h"
#include "catalogue/track_titles.h"
#include "main/main_window.h"
#include "platform/install_layout.h"
#include "platform/name_codec.h"
#include "platform/paths.h"
#include "playback/uri_argument.h"

namespace veldan {
namespace {

constexpr int64_t kMicroseconds = kMicrosecondsPerSecond;
const QString kRootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");
const QString kBusyError = QStringLiteral("org.mpris.MediaPlayer2.veldan.Error.Busy");

QString Display(const char* program_text, size_t capacity) {
  return QString::fromStdString(
      ProgramTextToDisplay(std::string_view(program_text, strnlen(program_text, capacity - 1))));
}

int64_t SaturatingAdd(int64_t a, int64_t b) {
  int64_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) {
    return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
  }
  return sum;
}

// The argument a URI names, as the window's drops read it.
bool ArgumentOfUri(const QString& uri, QByteArray* argument) {
  std::string path;
  const bool named = ArgumentOfFileUri(uri.toStdString(), &path);
  *argument = QByteArray::fromStdString(path);
  return named;
}

}  // namespace

namespace {

// The bus delivers the call's context to the registered object, the adaptors' parent.
void FailCall(MprisService* service, const QString& error, const QString& text) {
  if (service->calledFromDBus()) service->sendErrorReply(error, text);
}

// A dialog in front of the window owns play until it closes (trial listening, a list being
// loaded), and a search or start-up is building the catalogue that play would use: the user
// could not press the window's buttons now either.
bool RefusedWhileBusy(MprisService* service) {
  const TForm_main* window = service->Window();
  if (QApplication::activeModalWidget() != nullptr) {
    FailCall(service, kBusyError, QStringLiteral("A VELDAN dialog is open"));
    return true;
  }
  if (g_state.closing || window->Searching() || window->Controller().StartingUp()) {
    FailCall(service, kBusyError, QStringLiteral("VELDAN is busy; try again"));
    return true;
  }
  return false;
}

// False, with the error sent, for a path the player cannot play.
bool PathPlayable(MprisService* service, const QByteArray& path, const QString& uri) {
  const QString invalid = QDBusError::errorString(QDBusError::InvalidArgs);
  switch (ExamineArgument(path.constData())) {
    case ArgumentKind::kPlayable:
      return true;
    case ArgumentKind::kNothing:
      FailCall(service, invalid, QStringLiteral("No such file or folder: ") + uri);
      return false;
    case ArgumentKind::kTooLong:
      FailCall(service, invalid, QStringLiteral("Path too long: ") + uri);
      return false;
    case ArgumentKind::kNotPlayable:
      FailCall(service, invalid,
               QStringLiteral("Not a folder, an MP3 track or a play list: ") + uri);
      return false;
  }
  return false;
}

// Two starts at once with the same path: the second need not start the first's track again.
bool SameFile(const QByteArray& path, const char* other) {
  struct stat a;
  struct stat b;
  return other != nullptr && stat(path.constData(), &a) == 0 && stat(other, &b) == 0 &&
         a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int64_t MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

// The hand-over from a second start (see hand_over.h): OpenUri with the moment its caller gives up.
class HandOverAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.veldan.HandOver")

 public:
  explicit HandOverAdaptor(MprisService* service) : QDBusAbstractAdaptor(service) {}

 public slots:
  void Open(const QString& uri, qlonglong deadline_ms) {
    static_cast<MprisService*>(parent())->TakeHandOver(uri, deadline_ms);
  }
};

// org.mpris.MediaPlayer2: the application itself.
class MprisRootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

 public:
  explicit MprisRootAdaptor(MprisService* service) : QDBusAbstractAdaptor(service) {}

  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return QStringLiteral("VELDAN"); }
  QString DesktopEntry() const { return QStringLiteral("veldan"); }
  QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
  QStringList SupportedMimeTypes() const {
    return {QStringLiteral("audio/mpeg"), QStringLiteral("audio/x-mpegurl"),
            QStringLiteral("inode/directory")};
  }

 public slots:
  void Raise() {
    TForm_main* window = Service()->Window();
    window->showNormal();
    window->raise();
    window->activateWindow();
  }
  // As the window's close box: play stops and the program ends. Deferred, so that the reply
  // still goes out.
  void Quit() {
    QTimer::singleShot(0, Service()->Window(), [window = Service()->Window()] { window->close(); });
  }

 private:
  MprisService* Service() const { return static_cast<MprisService*>(parent()); }
};

// org.mpris.MediaPlayer2.Player: transport, position and what plays.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE SetLoopStatus)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(bool Shuffle READ Shuffle WRITE SetShuffle)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(double MinimumRate READ Rate)
  Q_PROPERTY(double MaximumRate READ Rate)
  Q_PROPERTY(bool CanGoNext READ CanGoNext)
  Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
  Q_PROPERTY(bool CanPlay READ CanPlay)
  Q_PROPERTY(bool CanPause READ CanPause)
  Q_PROPERTY(bool CanSeek READ CanSeek)
  Q_PROPERTY(bool CanControl READ CanControl)

 public:
  explicit MprisPlayerAdaptor(MprisService* service) : QDBusAbstractAdaptor(service) {}

  QString PlaybackStatus() const { return Service()->PlaybackStatus(); }
  QString LoopStatus() const { return Service()->LoopStatus(); }
  // Play on from track to track wraps round the catalogue; only repeating one track is a choice.
  // Written through MprisPropertiesAdaptor, which checks the value and refuses while busy.
  void SetLoopStatus(const QString& status) {
    Controller().SetRepeat(status == QLatin1String("Track"));
  }
  double Rate() const { return 1.0; }
  // Play runs at its own speed only; a client may ask, and nothing changes.
  void SetRate(double /*rate*/) {}
  bool Shuffle() const { return Service()->Shuffle(); }
  void SetShuffle(bool shuffle) { Controller().SetRandom(shuffle); }
  QVariantMap Metadata() const { return Service()->Metadata(); }
  double Volume() const { return 1.0; }
  qlonglong Position() const { return Service()->PositionMicroseconds(); }
  bool CanGoNext() const { return Service()->CanGoNext(); }
  bool CanGoPrevious() const { return Service()->CanGoPrevious(); }
  bool CanPlay() const { return Service()->CanPlay(); }
  bool CanPause() const { return Service()->CanPause(); }
  bool CanSeek() const { return Service()->CanSeek(); }
  bool CanControl() const { return true; }

 signals:
  void Seeked(qlonglong Position);

 public slots:
  void Play() { Act(PlaybackAction::kPlay, &PlaybackController::Play); }
  void Pause() {
    if (Service()->PlaybackStatus() == QLatin1String("Playing")) {
      Act(PlaybackAction::kPause, &PlaybackController::Pause);
    }
  }
  void PlayPause() {
    if (Refused()) return;
    Controller().PlayOrPause();
  }
  void Stop() { Act(PlaybackAction::kStop, &PlaybackController::Stop); }
  void Next() { Act(PlaybackAction::kStep, &PlaybackController::NextFile); }
  void Previous() { Act(PlaybackAction::kStep, &PlaybackController::PreviousFile); }

  void Seek(qlonglong offset) {
    if (Refused() || !Service()->CanSeek()) return;
    const int64_t target = SaturatingAdd(Service()->PositionMicroseconds(), offset);
    // A seek past the end goes on to the next track, as the interface asks of players.
    if (target > int64_t{Controller().TrackInfo().length} * kMicroseconds) {
      Act(PlaybackAction::kStep, &PlaybackController::NextFile);
      return;
    }
    Controller().SeekToMicroseconds(std::max<int64_t>(target, 0));
  }

  // Only for the track playing now, and only to a place inside it; anything else is ignored.
  void SetPosition(const QDBusObjectPath& track_id, qlonglong position) {
    if (Refused() || !Service()->CanSeek()) return;
    if (track_id.path() != Service()->TrackId()) return;
    if (position < 0 || position > int64_t{Controller().TrackInfo().length} * kMicroseconds) {
      return;
    }
    Controller().SeekToMicroseconds(position);
  }

  // A folder, track or play list, played as if named on the command line.
  void OpenUri(const QString& uri) {
    QByteArray path;
    if (!ArgumentOfUri(uri, &path)) {
      Fail(QDBusError::errorString(QDBusError::InvalidArgs),
           QStringLiteral("Not a file URI: ") + uri);
      return;
    }
    if (!PathPlayable(Service(), path, uri) || Refused()) return;
    if (Controller().Busy()) {
      Fail(kBusyError, QStringLiteral("VELDAN is busy; try again"));
      return;
    }
    // Answered before the search, which may take longer than the caller waits.
    AnswerNow();
    Controller().PlayArgument(path.constData());
  }

 private:
  void AnswerNow() {
    if (!Service()->calledFromDBus()) return;
    Service()->setDelayedReply(true);
    Service()->connection().send(Service()->message().createReply());
  }

 private:
  MprisService* Service() const { return static_cast<MprisService*>(parent()); }
  TForm_main* Window() const { return Service()->Window(); }
  PlaybackController& Controller() const { return Service()->Window()->Controller(); }

  bool Refused() { return RefusedWhileBusy(Service()); }
  void Fail(const QString& error, const QString& text) { FailCall(Service(), error, text); }

  // What the window's control for the operation does when pressed: nothing while the control
  // is disabled.
  void Act(PlaybackAction action, void (PlaybackController::*operation)()) {
    if (Refused() || !Controller().Allowed(action)) return;
    (Controller().*operation)();
  }
};

// org.freedesktop.DBus.Properties for the two interfaces above. The bus library's own would write
// a value of any type it can convert ("no" makes Shuffle true) and reply success to a write it
// could not refuse; this one takes exactly the declared type, refuses while play is not the
// remote's to change, and replies with the error that says why.
class MprisPropertiesAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.DBus.Properties")
  // The bus library describes the standard interface itself; a second description would repeat it.
  Q_CLASSINFO("D-Bus Introspection", "")

 public:
  MprisPropertiesAdaptor(MprisService* service, QObject* root, QObject* player)
      : QDBusAbstractAdaptor(service), root_(root), player_(player) {}

 public slots:
  QDBusVariant Get(const QString& interface, const QString& name) {
    QObject* adaptor = nullptr;
    const QMetaProperty property = Find(interface, name, &adaptor);
    if (adaptor == nullptr) return QDBusVariant(QVariant(0));
    return QDBusVariant(property.read(adaptor));
  }

  QVariantMap GetAll(const QString& interface) {
    QVariantMap all;
    for (QObject* adaptor : {root_, player_}) {
      if (!interface.isEmpty() && interface != InterfaceOf(adaptor)) continue;
      const QMetaObject* meta = adaptor->metaObject();
      for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        all.insert(QString::fromLatin1(meta->property(i).name()), meta->property(i).read(adaptor));
      }
    }
    return all;
  }

  void Set(const QString& interface, const QString& name, const QDBusVariant& value) {
    QObject* adaptor = nullptr;
    const QMetaProperty property = Find(interface, name, &adaptor);
    if (adaptor == nullptr) return;
    if (!property.isWritable()) {
      Fail(QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly"),
           name + QStringLiteral(" cannot be set"));
      return;
    }
    const QVariant given = value.variant();
    if (given.metaType() != property.metaType()) {
      Fail(QDBusError::errorString(QDBusError::InvalidArgs),
           name + QStringLiteral(" takes a value of type ") +
               QString::fromLatin1(property.metaType().name()));
      return;
    }
    if (name == QLatin1String("LoopStatus") &&
        !QStringList{QStringLiteral("None"), QStringLiteral("Track"), QStringLiteral("Playlist")}
             .contains(given.toString())) {
      Fail(QDBusError::errorString(QDBusError::InvalidArgs),
           QStringLiteral("LoopStatus is None, Track or Playlist"));
      return;
    }
    if (RefusedWhileBusy(Service())) return;
    property.write(adaptor, given);
  }

 private:
  MprisService* Service() const { return static_cast<MprisService*>(parent()); }
  void Fail(const QString& error, const QString& text) { FailCall(Service(), error, text); }

  static QString InterfaceOf(const QObject* adaptor) {
    const QMetaObject* meta = adaptor->metaObject();
    return QString::fromLatin1(meta->classInfo(meta->indexOfClassInfo("D-Bus Interface")).value());
  }

  // The property of that interface (any of the two for an empty name); *adaptor stays null, with
  // the error sent, when there is none.
  QMetaProperty Find(const QString& interface, const QString& name, QObject** adaptor) {
    *adaptor = nullptr;
    for (QObject* candidate : {root_, player_}) {
      if (!interface.isEmpty() && interface != InterfaceOf(candidate)) continue;
      const QMetaObject* meta = candidate->metaObject();
      const int index = meta->indexOfProperty(name.toLatin1().constData());
      // The adaptor's own properties only, not those every object has (objectName).
      if (index >= meta->propertyOffset()) {
        *adaptor = candidate;
        return meta->property(index);
      }
    }
    Fail(QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"),
         QStringLiteral("No property ") + name + QStringLiteral(" in ") + interface);
    return {};
  }

  QObject* root_;
  QObject* player_;
};

MprisService::MprisService(TForm_main* window)
    : QObject(window), window_(window), connection_(QString()) {
  auto* root = new MprisRootAdaptor(this);
  auto* player = new MprisPlayerAdaptor(this);
  new MprisPropertiesAdaptor(this, root, player);
  new HandOverAdaptor(this);
  connect(window_, &TForm_main::PlaybackSeeked, player,
          [player](int64_t microseconds) { emit player->Seeked(microseconds); });
  // Every operation and every poll step of the controller ends with this news, whoever caused
  // the change (a button, a key, a remote, the poll moving on, a dialog while the poll runs).
  connect(window_, &TForm_main::PlaybackChanged, this, &MprisService::OnPlaybackChanged);
  // Held hand-overs are served at the poll's rhythm, also while a search has the poll stopped.
  hand_over_timer_ = new QTimer(this);
  hand_over_timer_->setInterval(250);
  connect(hand_over_timer_, &QTimer::timeout, this, [this] { ServePendingHandOvers(); });
}

MprisService::~MprisService() {
  // Its thread ends before anything else here does; an answer it posted and nobody took is
  // dropped with this object.
  art_lookup_.reset();
  if (service_name_.isEmpty()) return;
  connection_.unregisterObject(QString::fromLatin1(kMprisObjectPath));
  connection_.unregisterService(service_name_);
}

bool MprisService::Register(QDBusConnection connection, bool main_name_only) {
  if (!service_name_.isEmpty()) return true;
  if (!connection.isConnected()) return false;
  const QString path = QString::fromLatin1(kMprisObjectPath);
  if (!connection.registerObject(path, this, QDBusConnection::ExportAdaptors)) return false;
  // The bus gives a free name to exactly one of several that ask at once, and queues no one.
  QString name = QString::fromLatin1(kMprisServiceName);
  if (!connection.registerService(name)) {
    name += QStringLiteral(".instance") + QString::number(QCoreApplication::applicationPid());
    if (main_name_only || !connection.registerService(name)) {
      connection.unregisterObject(path);
      return false;
    }
  }
  connection_ = connection;
  service_name_ = name;
  RequestArtOfCurrentTrack();
  last_sent_ = PlayerProperties();
  hand_over_timer_->start();
  return true;
}

void MprisService::TakeHandOver(const QString& uri, int64_t deadline_ms) {
  QByteArray path;
  if (!ArgumentOfUri(uri, &path)) {
    FailCall(this, QDBusError::errorString(QDBusError::InvalidArgs),
             QStringLiteral("Not a file URI: ") + uri);
    return;
  }
  if (!PathPlayable(this, path, uri)) return;
  if (QApplication::activeModalWidget() != nullptr || g_state.closing) {
    FailCall(this, kBusyError, QStringLiteral("A VELDAN dialog is open"));
    return;
  }
  if (MonotonicMs() + kHandOverAnswerMarginMs >= deadline_ms) {
    FailCall(this, QDBusError::errorString(QDBusError::Timeout),
             QStringLiteral("Came too late to be answered in time"));
    return;
  }
  if (window_->Controller().Busy()) {
    // Start-up, a search or a track opening: carried out once it is over, if still in time.
    if (calledFromDBus()) {
      setDelayedReply(true);
      pending_.append({message(), path, deadline_ms});
    }
    return;
  }
  // Answered before the search, which may take longer than the caller waits.
  if (calledFromDBus()) {
    setDelayedReply(true);
    connection().send(message().createReply());
  }
  window_->Controller().PlayArgument(path.constData());
}

void MprisService::ServePendingHandOvers(const char* started_with) {
  if (pending_.isEmpty()) return;
  const int64_t now = MonotonicMs();
  const bool dialog = QApplication::activeModalWidget() != nullptr || g_state.closing;
  if (window_->Controller().Busy() && !dialog) {
    // Those whose callers have given up by now are told so; the bus drops answers nobody awaits.
    for (qsizetype i = pending_.size(); i-- > 0;) {
      if (now + kHandOverAnswerMarginMs < pending_[i].deadline_ms) continue;
      connection_.send(pending_[i].call.createErrorReply(
          QDBusError::errorString(QDBusError::Timeout), QStringLiteral("Busy for too long")));
      pending_.removeAt(i);
    }
    return;
  }
  QByteArray play;
  for (const PendingHandOver& request : std::as_const(pending_)) {
    if (dialog) {
      connection_.send(
          request.call.createErrorReply(kBusyError, QStringLiteral("A VELDAN dialog is open")));
    } else if (now + kHandOverAnswerMarginMs >= request.deadline_ms) {
      connection_.send(request.call.createErrorReply(QDBusError::errorString(QDBusError::Timeout),
                                                     QStringLiteral("Busy for too long")));
    } else {
      // Answered first: the caller ends, and this player plays the latest of them.
      connection_.send(request.call.createReply());
      play = request.path;
    }
  }
  pending_.clear();
  if (play.isEmpty() || SameFile(play, started_with)) return;
  window_->Controller().PlayArgument(play.constData());
}

void MprisService::OnPlaybackChanged() {
  if (service_name_.isEmpty()) return;
  // Halfway through an opening the catalogue index may not be the track that will play.
  if (!window_->Controller().OpeningTrack()) RequestArtOfCurrentTrack();
  Refresh();
}

void MprisService::RequestArtOfCurrentTrack() {
  const TrackCatalogue& catalogue = g_state.catalogue;
  std::string track;
  if (catalogue.current >= 0 && catalogue.current < catalogue.count &&
      !ProgramPathToHost(catalogue.entries[catalogue.current], &track)) {
    track.clear();
  }
  if (track == art_track_) return;
  // Another track of the same folder most likely shows the same picture: it stays named until
  // the answer for the new track says otherwise, so that a media widget does not blank it for
  // the moment of the lookup at every track change.
  const auto folder = [](const std::string& path) { return path.substr(0, path.rfind('/') + 1); };
  if (track.empty() || folder(track) != folder(art_track_)) art_uri_.clear();
  art_track_ = track;
  // Answers still on their way are for a track left behind.
  art_request_ = 0;
  if (track.empty()) return;
  if (art_lookup_ == nullptr) {
    // A portable copy names folder pictures only: it writes nothing outside its own folder.
    ArtSettings settings;
    settings.installed = IsInstalledCopy(g_state.program_folder);
    art_lookup_ = std::make_unique<ArtLookup>(settings, [this](const ArtAnswer& answer) {
      // On the lookup's thread: carried over to this object's, never waited for.
      QMetaObject::invokeMethod(
          this, [this, answer] { TakeArtAnswer(answer); }, Qt::QueuedConnection);
    });
  }
  art_request_ = art_lookup_->Request(track);
}

void MprisService::TakeArtAnswer(const ArtAnswer& answer) {
  if (art_request_ == 0 || answer.request != art_request_) return;
  const QString uri = QString::fromStdString(answer.uri);
  if (uri == art_uri_) return;
  art_uri_ = uri;
  Refresh();
}

void MprisService::Refresh() {
  // Halfway through an opening the catalogue index and the decoder disagree for a moment.
  if (service_name_.isEmpty() || window_->Controller().OpeningTrack()) return;
  const QVariantMap now = PlayerProperties();
  QVariantMap changed;
  for (auto it = now.cbegin(); it != now.cend(); ++it) {
    if (last_sent_.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
  }
  if (changed.isEmpty()) return;
  last_sent_ = now;
  QDBusMessage signal = QDBusMessage::createSignal(
      QString::fromLatin1(kMprisObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("PropertiesChanged"));
  signal << kPlayerInterface << changed << QStringList();
  connection_.send(signal);
}

// Position is left out: clients compute it from the rate and learn of jumps from Seeked.
QVariantMap MprisService::PlayerProperties() const {
  return {{QStringLiteral("PlaybackStatus"), PlaybackStatus()},
          {QStringLiteral("LoopStatus"), LoopStatus()},
          {QStringLiteral("Shuffle"), Shuffle()},
          {QStringLiteral("Metadata"), Metadata()},
          {QStringLiteral("CanGoNext"), CanGoNext()},
          {QStringLiteral("CanGoPrevious"), CanGoPrevious()},
          {QStringLiteral("CanPlay"), CanPlay()},
          {QStringLiteral("CanPause"), CanPause()},
          {QStringLiteral("CanSeek"), CanSeek()}};
}

QString MprisService::PlaybackStatus() const {
  int32_t position = 0;
  switch (vbmp3_getState(&position)) {
    case VBMP3_PLAYING:
      return QStringLiteral("Playing");
    case VBMP3_PAUSED:
      return QStringLiteral("Paused");
    default:
      // Between two tracks the decoder is stopped for a moment while play goes on.
      return g_state.continuous_play ? QStringLiteral("Playing") : QStringLiteral("Stopped");
  }
}

QString MprisService::LoopStatus() const {
  return window_->Controller().Repeat() ? QStringLiteral("Track") : QStringLiteral("Playlist");
}

bool MprisService::Shuffle() const {
  return window_->Controller().Random();
}

QString MprisService::TrackId() const {
  const TrackCatalogue& catalogue = g_state.catalogue;
  if (catalogue.current < 0 || catalogue.current >= catalogue.count) return kNoTrack;
  return QStringLiteral("/org/veldan/track/") + QString::number(catalogue.current);
}

QVariantMap MprisService::Metadata() const {
  const TrackCatalogue& catalogue = g_state.catalogue;
  const int32_t index = catalogue.current;
  QVariantMap metadata;
  metadata.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(TrackId())));
  if (index < 0 || index >= catalogue.count) return metadata;

  const char* entry = catalogue.entries[index];
  TrackPathParts parts;
  SplitTrackPath(entry, &parts);
  QString title = Display(parts.file, sizeof parts.file);
  QString artist;
  // What the decoder read from the file counts only while that file is open.
  int32_t position = 0;
  if (vbmp3_getState(&position) != VBMP3_STOPPED) {
    const vbmp3_info& info = window_->Controller().TrackInfo();
    if (info.title[0] != '\0') title = Display(info.title, sizeof info.title);
    if (info.artist[0] != '\0') artist = Display(info.artist, sizeof info.artist);
    if (info.length > 0) {
      metadata.insert(QStringLiteral("mpris:length"), qlonglong{info.length} * kMicroseconds);
    }
  }
  metadata.insert(QStringLiteral("xesam:title"), title);
  if (!artist.isEmpty()) metadata.insert(QStringLiteral("xesam:artist"), QStringList{artist});
  metadata.insert(QStringLiteral("xesam:album"), Display(parts.folder, sizeof parts.folder));
  metadata.insert(QStringLiteral("xesam:trackNumber"), index - AlbumFirstIndex(index) + 1);
  std::string host_path;
  if (ProgramPathToHost(entry, &host_path)) {
    metadata.insert(QStringLiteral("xesam:url"),
                    QUrl::fromLocalFile(QFile::decodeName(host_path.c_str())).toString());
    // The picture belongs to the track it was asked for; this one may have become current a
    // moment ago, before the controller's news did.
    if (!art_uri_.isEmpty() && host_path == art_track_) {
      metadata.insert(QStringLiteral("mpris:artUrl"), art_uri_);
    }
  }
  return metadata;
}

int64_t MprisService::PositionMicroseconds() const {
  return window_->Controller().PlayingPositionMicroseconds();
}

bool MprisService::CanGoNext() const {
  return window_->Controller().CanStep();
}

bool MprisService::CanGoPrevious() const {
  return window_->Controller().CanStep();
}

bool MprisService::CanPlay() const {
  return window_->Controller().CanPlay();
}

bool MprisService::CanPause() const {
  return window_->Controller().CanPlay();
}

bool MprisService::CanSeek() const {
  return window_->Controller().TrackSeekable();
}

}  // namespace veldan

#include "mpris.moc"
