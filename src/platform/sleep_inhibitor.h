// Keeps the desktop from suspending the machine for idleness while music plays.
//
// While the caller says play goes on (SetPlaying(true)), one inhibition is held: through the
// desktop portal's Inhibit interface on the session bus, for suspend only (the screen may still
// blank and lock), where a portal answers; else through logind's Inhibit on the system bus, an
// "idle" lock in "block" mode, which stops only the actions idleness triggers: an explicit
// suspend or a closed lid is never blocked, and no "sleep" or lid lock is ever taken. Nothing is
// asked before play begins, and SetPlaying(false) lets go at once: the portal's request is
// closed, logind's descriptor is closed.
//
// No call waits: every request goes out asynchronously and gives up after its timeout, and its
// reply comes through the user-interface thread's event loop. A reply that comes after play
// stopped is let go of as it arrives; a portal reply so late that the call had given up is let go
// of too, by closing the request at the path the portal names it by. Without a bus, a portal or
// logind there is simply no inhibition, and no error for the listener.
//
// User-interface thread only.
#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

class QDBusMessage;
class QDBusPendingCallWatcher;

namespace veldan {

class SleepInhibitor : public QObject {
  Q_OBJECT

 public:
  // How long one request may take before it counts as unanswered (the portal's then gives way
  // to logind). Long enough for a portal that is started on demand.
  static constexpr int kCallMs = 5000;

  enum class Route { kNone, kPortal, kLogind };

  // The desktop's buses: the session bus for the portal, the system bus for logind. Connects
  // to nothing until play first begins.
  explicit SleepInhibitor(QObject* parent = nullptr);
  // The portal on session, logind on system; either may be a bus that is not connected. Requests
  // give up after call_ms.
  SleepInhibitor(QDBusConnection session, QDBusConnection system, int call_ms = kCallMs,
                 QObject* parent = nullptr);
  // Lets go of what is held.
  ~SleepInhibitor() override;
  SleepInhibitor(const SleepInhibitor&) = delete;
  SleepInhibitor& operator=(const SleepInhibitor&) = delete;

  // Whether music plays now. Cheap to call on every poll: a request goes out only when play
  // begins and nothing is held or asked for yet. When neither the portal nor logind grants one,
  // nothing is asked again until play next begins.
  void SetPlaying(bool playing);

  // Through what the inhibition is held now; kNone while nothing is held.
  Route Held() const;
  // True while a request waits for its reply.
  bool Asking() const { return asking_ != nullptr; }

 signals:
  // Held() changed.
  void HeldChanged();

 private slots:
  void OnPortalReply(QDBusPendingCallWatcher* call);
  void OnLogindReply(QDBusPendingCallWatcher* call);
  void OnPortalResponse(const QDBusMessage& message);

 private:
  // Takes the buses on first use (the default constructor's).
  void OpenBuses();
  void AskPortal();
  void AskLogind();
  // Closes the portal's request at path without waiting for an answer.
  void ClosePortalRequest(const QString& path);
  void ForgetPortalRequest(const QString& path);
  void Release();

  bool desktop_buses_ = false;  // true until the default constructor's buses are taken
  QDBusConnection session_;
  QDBusConnection system_;
  int call_ms_;
  bool playing_ = false;

  // The request waiting for its reply, and the portal request's path as the portal names it.
  QDBusPendingCallWatcher* asking_ = nullptr;
  QString asked_path_;
  // The portal refused the request waiting for its reply.
  bool asked_refused_ = false;
  int tokens_ = 0;

  // What is held: the portal's request, or logind's descriptor (closed when let go of).
  QString portal_request_;
  QDBusUnixFileDescriptor logind_fd_;
};

}  // namespace veldan
