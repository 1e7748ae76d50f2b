#include "app/hand_over.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <climits>
#include <string>
#include <string_view>

#include "app/mpris.h"
#include "catalogue/program_state.h"
#include "platform/file_uri.h"
#include "platform/paths.h"

namespace veldan {

QString HandOverUri(const char* argument) {
  if (argument == nullptr || argument[0] == '\0') return {};
  struct stat st;
  QByteArray host(argument);
  if (stat(argument, &st) != 0) {
    // A drive-letter path, through this process's drive table, which the running player shares.
    char text[kTextSize];
    std::string mapped;
    if (!ArgumentToProgramPath(argument, text, sizeof text) || !ProgramPathToHost(text, &mapped) ||
        stat(mapped.c_str(), &st) != 0) {
      return {};
    }
    host = QByteArray(mapped.c_str());
  }
  // Relative to this process's folder, which the running player does not share.
  if (!host.startsWith('/')) {
    char folder[PATH_MAX];
    if (getcwd(folder, sizeof folder) == nullptr) return {};
    host = QByteArray(folder) + '/' + host;
  }
  // The way back is ArgumentOfFileUri (playback/uri_argument.h).
  return QString::fromStdString(HostPathToFileUri(std::string_view(host.constData(), host.size())));
}

bool HandOverToRunningPlayer(const QDBusConnection& connection, const char* argument,
                             int timeout_ms, const std::function<bool()>& given_up) {
  if (!connection.isConnected()) return false;
  const QString service = QString::fromLatin1(kMprisServiceName);
  const QString path = QString::fromLatin1(kMprisObjectPath);
  QDBusMessage call;
  if (argument != nullptr) {
    const QString uri = HandOverUri(argument);
    if (uri.isEmpty()) return false;
    // The moment this process stops waiting: a player that could only answer later must not
    // play the path, since this one then plays it itself.
    const qlonglong deadline_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now().time_since_epoch())
                                      .count() +
                                  timeout_ms;
    call = QDBusMessage::createMethodCall(service, path, QString::fromLatin1(kHandOverInterface),
                                          QStringLiteral("Open"));
    call << uri << deadline_ms;
  } else {
    call = QDBusMessage::createMethodCall(service, path, QStringLiteral("org.mpris.MediaPlayer2"),
                                          QStringLiteral("Raise"));
  }
  // Only a player that runs counts: the bus must not start one for this call.
  call.setAutoStartService(false);
  // Without a player holding the name the bus answers with an error at once. Events are served
  // while waiting, so a player in this same process (a test) can answer too, and a termination
  // signal is seen.
  QDBusPendingCallWatcher watcher(connection.asyncCall(call, timeout_ms));
  QEventLoop loop;
  QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  limit.start(timeout_ms);
  QTimer check;
  if (given_up) {
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
      if (given_up()) loop.quit();
    });
    check.start(50);
  }
  if (!watcher.isFinished()) loop.exec();
  return watcher.isFinished() && watcher.reply().type() == QDBusMessage::ReplyMessage;
}

}  // namespace veldan
