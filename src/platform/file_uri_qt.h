// File URIs as the drops and the desktop's bus carry them (Qt's text), over the one URI rule of
// file_uri.h. Pure functions, any thread.
#pragma once

#include <QByteArray>
#include <QString>

namespace veldan {

// A host path's bytes as a file URI, and back. The way back takes "file:" URIs with an empty or
// "localhost" host and no query or fragment, and gives the percent-decoded bytes as they are;
// false for anything else, or a path that is not absolute or holds a zero byte.
QString FileUriOf(const QByteArray& host_path);
bool HostPathOfFileUri(const QString& uri, QByteArray* host_path);

}  // namespace veldan
