// File URIs in Qt's text: what a drop's URI list or a remote's OpenUri carries.
#include "platform/file_uri_qt.h"

#include <gtest/gtest.h>

namespace veldan {
namespace {

// Every byte a host name may hold comes back as it was, also those a URI must escape.
TEST(FileUriQtTest, AHostPathSurvivesTheWayToAUriAndBack) {
  for (const QByteArray& path :
       {QByteArray("/music/My Song.mp3"), QByteArray("/a/100%.mp3"), QByteArray("/a/why?.mp3"),
        QByteArray("/a/#1 hit.mp3"), QByteArray("/a/lat\xE9\xFF.mp3"), QByteArray("/a/\x01\x7F"),
        QByteArray("/")}) {
    const QString uri = FileUriOf(path);
    EXPECT_TRUE(uri.startsWith(QStringLiteral("file:///"))) << uri.toStdString();
    QByteArray back = "unchanged";
    ASSERT_TRUE(HostPathOfFileUri(uri, &back)) << uri.toStdString();
    EXPECT_EQ(back, path);
  }
}

// Text that is no URI a file manager sends leaves the path empty.
TEST(FileUriQtTest, OnlyAnAsciiFileUriWithoutQueryOrFragmentNamesAFile) {
  for (const QString& uri :
       {QStringLiteral("file:///a/b.mp3?x=1"), QStringLiteral("file:///a/b.mp3#t=10"),
        QStringLiteral("file:///a/\u00e9.mp3"), QStringLiteral("file:///a/b c.mp3"),
        QStringLiteral("file://elsewhere/a.mp3"), QStringLiteral("http://host/a.mp3"),
        QStringLiteral("file:///a/%00.mp3"), QStringLiteral("a.mp3"), QString()}) {
    QByteArray path = "unchanged";
    EXPECT_FALSE(HostPathOfFileUri(uri, &path)) << uri.toStdString();
    EXPECT_TRUE(path.isEmpty()) << uri.toStdString();
  }
  QByteArray path;
  EXPECT_TRUE(HostPathOfFileUri(QStringLiteral("file://localhost/a/%E9.mp3"), &path));
  EXPECT_EQ(path, QByteArray("/a/\xE9.mp3"));
}

}  // namespace
}  // namespace veldan
