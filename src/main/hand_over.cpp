#include "main/hand_over.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <string>

#include "catalogue/program_state.h"
#include "main/mpris.h"
#include "platform/paths.h"

namespace veldan {

QString HandOverUri(const char* argument) {
  if (argument == nullptr || argument[0] == '\0') return {};
  const QString name = QFile::decodeName(argument);
  // A name that does not survive the trip through text would reach the other player as some
  // other file, or as none.
  if (QFile::encodeName(name) != QByteArray(argument)) return {};
  QFileInfo host(name);
  if (!host.exists()) {
    // A drive-letter path, through this process's drive table, which the running player shares.
    char text[kTextSize];
    std::string mapped;
    if (!ArgumentToProgramPath(argument, text, sizeof text) || !ProgramPathToHost(text, &mapped)) {
      return {};
    }
    host.setFile(QFile::decodeName(mapped.c_str()));
    if (!host.exists()) return {};
  }
  // Relative to this process's folder, which the running player does not share.
  return QUrl::fromLocalFile(host.absoluteFilePath()).toString(QUrl::FullyEncoded);
}

bool HandOverToRunningPlayer(const QDBusConnection& connection, const char* argument,
                             int timeout_ms) {
  if (!connection.isConnected()) return false;
  const QString service = QString::fromLatin1(kMprisServiceName);
  const QString path = QString::fromLatin1(kMprisObjectPath);
  QDBusMessage call;
  if (argument != nullptr) {
    const QString uri = HandOverUri(argument);
    if (uri.isEmpty()) return false;
    call = QDBusMessage::createMethodCall(service, path,
                                          QStringLiteral("org.mpris.MediaPlayer2.Player"),
                                          QStringLiteral("OpenUri"));
    call << uri;
  } else {
    call = QDBusMessage::createMethodCall(service, path, QStringLiteral("org.mpris.MediaPlayer2"),
                                          QStringLiteral("Raise"));
  }
  // Only a player that runs counts: the bus must not start one for this call.
  call.setAutoStartService(false);
  // Without a player holding the name the bus answers with an error at once. Events are served
  // while waiting, so a player in this same process (a test) can answer too.
  const QDBusMessage reply = connection.call(call, QDBus::BlockWithGui, timeout_ms);
  return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace veldan
