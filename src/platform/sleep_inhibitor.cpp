#include "platform/sleep_inhibitor.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>
#include <utility>

namespace veldan {
namespace {

constexpr char kPortalService[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char kPortalInhibit[] = "org.freedesktop.portal.Inhibit";
constexpr char kPortalRequest[] = "org.freedesktop.portal.Request";
constexpr char kRequestPrefix[] = "/org/freedesktop/portal/desktop/request/";
// The portal's flag for suspend; logout, user switching and idleness (the screen's blanking
// and locking) stay free.
constexpr uint kPortalSuspend = 4;

constexpr char kLogindService[] = "org.freedesktop.login1";
constexpr char kLogindPath[] = "/org/freedesktop/login1";
constexpr char kLogindManager[] = "org.freedesktop.login1.Manager";

constexpr char kWho[] = "VELDAN";
constexpr char kWhy[] = "Playing music";

}  // namespace

SleepInhibitor::SleepInhibitor(QObject* parent)
    : QObject(parent),
      desktop_buses_(true),
      session_(QString()),
      system_(QString()),
      call_ms_(kCallMs) {}

SleepInhibitor::SleepInhibitor(QDBusConnection session, QDBusConnection system, int call_ms,
                               QObject* parent)
    : QObject(parent),
      session_(std::move(session)),
      system_(std::move(system)),
      call_ms_(call_ms) {}

SleepInhibitor::~SleepInhibitor() {
  playing_ = false;
  Release();
  if (asking_ != nullptr) {
    // Its reply will find no one: a portal request it made is closed where the portal puts it,
    // and a descriptor logind sends is closed with the reply that nobody reads.
    if (!asked_path_.isEmpty()) ClosePortalRequest(asked_path_);
    delete asking_;
    asking_ = nullptr;
  }
}

void SleepInhibitor::OpenBuses() {
  if (!desktop_buses_) return;
  desktop_buses_ = false;
  session_ = QDBusConnection::sessionBus();
  system_ = QDBusConnection::systemBus();
}

SleepInhibitor::Route SleepInhibitor::Held() const {
  if (!portal_request_.isEmpty()) return Route::kPortal;
  if (logind_fd_.isValid()) return Route::kLogind;
  return Route::kNone;
}

void SleepInhibitor::SetPlaying(bool playing) {
  if (playing == playing_) return;
  playing_ = playing;
  if (!playing) {
    // A request still on its way is let go of when its reply comes.
    Release();
    return;
  }
  if (asking_ != nullptr || Held() != Route::kNone) return;
  OpenBuses();
  AskPortal();
}

void SleepInhibitor::AskPortal() {
  if (!session_.isConnected()) {
    AskLogind();
    return;
  }
  // The portal names the request after the caller's unique name and this token, so the request
  // can be closed even when the reply never arrives.
  const QString token = QStringLiteral("veldan%1").arg(++tokens_);
  QString sender = session_.baseService();
  if (sender.startsWith(QLatin1Char(':'))) sender.remove(0, 1);
  sender.replace(QLatin1Char('.'), QLatin1Char('_'));
  asked_path_ = QLatin1String(kRequestPrefix) + sender + QLatin1Char('/') + token;
  asked_refused_ = false;
  // A portal whose backend fails answers the call and then says so in the request's Response.
  // Any sender: the path holds this connection's own name, and naming the portal would cost a
  // round trip to learn its owner.
  session_.connect(QString(), asked_path_, QLatin1String(kPortalRequest),
                   QStringLiteral("Response"), this, SLOT(OnPortalResponse(QDBusMessage)));

  QDBusMessage call =
      QDBusMessage::createMethodCall(QLatin1String(kPortalService), QLatin1String(kPortalPath),
                                     QLatin1String(kPortalInhibit), QStringLiteral("Inhibit"));
  QVariantMap options;
  options.insert(QStringLiteral("handle_token"), token);
  options.insert(QStringLiteral("reason"), QLatin1String(kWhy));
  call << QString() << kPortalSuspend << options;
  asking_ = new QDBusPendingCallWatcher(session_.asyncCall(call, call_ms_), this);
  connect(asking_, &QDBusPendingCallWatcher::finished, this, &SleepInhibitor::OnPortalReply);
}

void SleepInhibitor::OnPortalReply(QDBusPendingCallWatcher* call) {
  if (call != asking_) return;
  asking_ = nullptr;
  call->deleteLater();
  const QString asked = asked_path_;
  asked_path_.clear();
  const QDBusPendingReply<QDBusObjectPath> reply = *call;
  if (reply.isError()) {
    ForgetPortalRequest(asked);
    // The call gave up, but the portal may still make the request later.
    if (reply.error().type() == QDBusError::NoReply || reply.error().type() == QDBusError::Timeout)
      ClosePortalRequest(asked);
    if (playing_) AskLogind();
    return;
  }
  const QString path = reply.value().path();
  if (!playing_ || asked_refused_ || path.isEmpty()) {
    ForgetPortalRequest(asked);
    if (!path.isEmpty()) ClosePortalRequest(path);
    if (playing_) AskLogind();
    return;
  }
  // An older portal ignores the token and names the request itself: follow that path instead.
  if (path != asked) {
    ForgetPortalRequest(asked);
    session_.connect(QString(), path, QLatin1String(kPortalRequest), QStringLiteral("Response"),
                     this, SLOT(OnPortalResponse(QDBusMessage)));
  }
  portal_request_ = path;
  emit HeldChanged();
}

void SleepInhibitor::OnPortalResponse(const QDBusMessage& message) {
  const QList<QVariant> args = message.arguments();
  // Response 0 is success; anything else ends the request.
  if (args.isEmpty() || args.at(0).toUInt() == 0) return;
  const QString path = message.path();
  if (asking_ != nullptr && path == asked_path_) {
    asked_refused_ = true;
    return;
  }
  if (path != portal_request_) return;
  ForgetPortalRequest(path);
  portal_request_.clear();
  emit HeldChanged();
  if (playing_ && asking_ == nullptr) AskLogind();
}

void SleepInhibitor::AskLogind() {
  // logind's lock is a descriptor, which only a bus that passes them can carry.
  if (!system_.isConnected() ||
      !(system_.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing)) {
    return;
  }
  QDBusMessage call =
      QDBusMessage::createMethodCall(QLatin1String(kLogindService), QLatin1String(kLogindPath),
                                     QLatin1String(kLogindManager), QStringLiteral("Inhibit"));
  call << QStringLiteral("idle") << QLatin1String(kWho) << QLatin1String(kWhy)
       << QStringLiteral("block");
  asking_ = new QDBusPendingCallWatcher(system_.asyncCall(call, call_ms_), this);
  connect(asking_, &QDBusPendingCallWatcher::finished, this, &SleepInhibitor::OnLogindReply);
}

void SleepInhibitor::OnLogindReply(QDBusPendingCallWatcher* call) {
  if (call != asking_) return;
  asking_ = nullptr;
  // The reply keeps a copy of the descriptor until the watcher goes, as the event loop next
  // turns: an unwanted lock lasts no longer than that.
  call->deleteLater();
  const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
  if (reply.isError()) return;
  QDBusUnixFileDescriptor fd = reply.value();
  if (!playing_ || !fd.isValid()) return;
  logind_fd_ = std::move(fd);
  emit HeldChanged();
}

void SleepInhibitor::ClosePortalRequest(const QString& path) {
  if (!session_.isConnected()) return;
  // No answer is awaited: a request already gone answers with an error nobody needs.
  session_.send(QDBusMessage::createMethodCall(
      QLatin1String(kPortalService), path, QLatin1String(kPortalRequest), QStringLiteral("Close")));
}

void SleepInhibitor::ForgetPortalRequest(const QString& path) {
  if (path.isEmpty() || !session_.isConnected()) return;
  session_.disconnect(QString(), path, QLatin1String(kPortalRequest), QStringLiteral("Response"),
                      this, SLOT(OnPortalResponse(QDBusMessage)));
}

void SleepInhibitor::Release() {
  if (Held() == Route::kNone) return;
  if (!portal_request_.isEmpty()) {
    ForgetPortalRequest(portal_request_);
    ClosePortalRequest(portal_request_);
    portal_request_.clear();
  }
  logind_fd_ = QDBusUnixFileDescriptor();
  emit HeldChanged();
}

}  // namespace veldan
