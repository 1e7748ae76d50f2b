#include "playback/uri_argument.h"

#include <gtest/gtest.h>

namespace veldan {
namespace {

TEST(UriArgumentTest, AFileUriGivesItsHostPathsBytes) {
  std::string argument;
  EXPECT_TRUE(ArgumentOfFileUri("file:///home/me/My%20Music/a.mp3", &argument));
  EXPECT_EQ(argument, "/home/me/My Music/a.mp3");
  EXPECT_TRUE(ArgumentOfFileUri("file://localhost/m/%E9t%C3%A9", &argument));
  EXPECT_EQ(argument, "/m/\xE9t\xC3\xA9");
}

TEST(UriArgumentTest, AnythingButAnAsciiFileUriWithoutQueryOrFragmentIsNone) {
  for (const char* uri : {"http://host/a.mp3", "file://other/a.mp3", "file:///a b.mp3",
                          "file:///a.mp3?x=1", "file:///a.mp3#t", "file:///\xC3\xA9.mp3",
                          "file:///a%00b", "/plain/path", "", "file:///a.mp3\x7F"}) {
    SCOPED_TRACE(uri);
    std::string argument = "left over";
    EXPECT_FALSE(ArgumentOfFileUri(uri, &argument));
    EXPECT_EQ(argument, "");
  }
}

}  // namespace
}  // namespace veldan
