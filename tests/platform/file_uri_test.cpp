#include "platform/file_uri.h"

#include <gtest/gtest.h>

#include <string>

namespace veldan {
namespace {

constexpr const char* kRefused = "<refused>";

std::string Decoded(const std::string& text) {
  std::string out;
  return PercentDecode(text, &out) ? out : kRefused;
}

std::string HostPath(const std::string& uri) {
  std::string out;
  return FileUriToHostPath(uri, &out) ? out : kRefused;
}

TEST(FileUriTest, PercentDecodeGivesTheHostsBytes) {
  const struct {
    std::string text;
    std::string decoded;
  } rows[] = {
      {"My%20Song%20%C3%A9.mp3", "My Song \xC3\xA9.mp3"},
      {"100%25.mp3", "100%.mp3"},
      {"lat%E9%ff", "lat\xE9\xFF"},  // not UTF-8: the bytes as they are
      {"%2F", "/"},
      {"plain", "plain"},
      {"", ""},
      {"50%.mp3", kRefused},
      {"a%2", kRefused},
      {"a%G0", kRefused},
      {"a%0g", kRefused},
      {"a%00b", kRefused},  // no host name holds a NUL
  };
  for (const auto& row : rows) EXPECT_EQ(Decoded(row.text), row.decoded) << row.text;
}

TEST(FileUriTest, SchemesAndFileUris) {
  EXPECT_TRUE(HasUriScheme("file:///a"));
  EXPECT_TRUE(HasUriScheme("http://host/a.mp3"));
  EXPECT_TRUE(HasUriScheme("svn+ssh://h/x"));
  EXPECT_FALSE(HasUriScheme("C://Music/a.mp3"));  // a drive
  EXPECT_FALSE(HasUriScheme("file:/a"));          // no "//": a name could look so
  EXPECT_FALSE(HasUriScheme("1a://x"));
  EXPECT_FALSE(HasUriScheme("/home/a://b"));
  EXPECT_FALSE(HasUriScheme("Track 1: Intro.mp3"));

  const struct {
    std::string uri;
    std::string host_path;
  } rows[] = {
      {"file:///home/me/My%20Song.mp3", "/home/me/My Song.mp3"},
      {"file://localhost/home/a.mp3", "/home/a.mp3"},
      {"FILE://LocalHost/home/a.mp3", "/home/a.mp3"},
      {"file:/home/a.mp3", "/home/a.mp3"},
      {"file:///m/100%25.mp3", "/m/100%.mp3"},
      {"file:///m/lat%E9.mp3", "/m/lat\xE9.mp3"},
      {"file:///m/a b#c?.mp3", "/m/a b#c?.mp3"},  // sloppy writers' bytes stay as they are
      {"file://server/share/a.mp3", kRefused},
      {"file://", kRefused},
      {"file:relative.mp3", kRefused},
      {"file:///m/a%zz.mp3", kRefused},
      {"file:///m/a%00.mp3", kRefused},
      {"http://localhost/a.mp3", kRefused},
      {"/home/a.mp3", kRefused},
  };
  for (const auto& row : rows) EXPECT_EQ(HostPath(row.uri), row.host_path) << row.uri;
}

TEST(FileUriTest, HostPathsBecomeEncodedFileUrisThatReadBack) {
  const struct {
    std::string host_path;
    std::string uri;
  } rows[] = {
      {"/home/me/Music/cover.jpg", "file:///home/me/Music/cover.jpg"},
      {"/m/My Album/Folder.jpg", "file:///m/My%20Album/Folder.jpg"},
      {"/m/100%/a.png", "file:///m/100%25/a.png"},
      {"/m/Bj\xC3\xB6rk/\xE9.jpg", "file:///m/Bj%C3%B6rk/%E9.jpg"},  // bytes, UTF-8 or not
      {"/m/a#b?c&d+e;f=g'h\"i", "file:///m/a%23b%3Fc%26d%2Be%3Bf%3Dg%27h%22i"},
      {"/m/A-Z_a.z~0", "file:///m/A-Z_a.z~0"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(HostPathToFileUri(row.host_path), row.uri) << row.host_path;
    EXPECT_EQ(HostPath(row.uri), row.host_path) << row.uri;
  }
}

}  // namespace
}  // namespace veldan
