#include "platform/file_uri_qt.h"

#include <string>

#include "platform/file_uri.h"

namespace veldan {

QString FileUriOf(const QByteArray& host_path) {
  return QStringLiteral("file://") + QString::fromLatin1(host_path.toPercentEncoding("/"));
}

bool HostPathOfFileUri(const QString& uri, QByteArray* host_path) {
  host_path->clear();
  // A URI is ASCII; anything else is no URI a file manager sends. A query or a fragment names
  // no file either (a '?' or '#' in a name comes escaped).
  for (const QChar c : uri) {
    if (c.unicode() <= 0x20 || c.unicode() >= 0x7F || c == u'?' || c == u'#') return false;
  }
  std::string path;
  if (!FileUriToHostPath(uri.toStdString(), &path)) return false;
  *host_path = QByteArray::fromStdString(path);
  return true;
}

}  // namespace veldan
