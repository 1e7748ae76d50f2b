#include "decoder/track_tags.h"

#include <gtest/gtest.h>

#include "platform/name_codec.h"

namespace veldan {
namespace {

// Shift-JIS of 東京 and of さくら.
const std::string kTokyo = "\x93\x8C\x8B\x9E";
const std::string kSakura = "\x82\xB3\x82\xAD\x82\xE7";

// The same bytes as the decoder hands over a Latin-1 frame: each byte one character, in UTF-8.
std::string AsLatin1Utf8(const std::string& bytes) {
  std::string out;
  for (unsigned char b : bytes) {
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else {
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return out;
}

TEST(TrackTagsTest, Id3v2Texts) {
  struct Case {
    std::string utf8;
    std::string program;
  };
  const Case cases[] = {
      {"東京", kTokyo},                // real UTF-8
      {AsLatin1Utf8(kTokyo), kTokyo},  // Shift-JIS in a Latin-1 frame
      {AsLatin1Utf8("A " + kSakura + " B"), "A " + kSakura + " B"},
      {"Amélie", HostNameToProgramText("Amélie")},  // é+l would pass as a kanji
      {"Björk", HostNameToProgramText("Björk")},
      {AsLatin1Utf8("\xB1\xB2\xB3"), HostNameToProgramText(AsLatin1Utf8("\xB1\xB2\xB3"))},  // ±²³
      {AsLatin1Utf8(kTokyo.substr(0, 3)), HostNameToProgramText(AsLatin1Utf8(kTokyo.substr(0, 3)))},
      {"", ""},
      {std::string("Title\0junk", 10), "Title"},
  };
  for (const Case& c : cases) EXPECT_EQ(Id3v2TextToProgramText(c.utf8), c.program) << c.utf8;
}

TEST(TrackTagsTest, Id3v1Fields) {
  struct Case {
    std::string field;
    std::string program;
  };
  const Case cases[] = {
      {kSakura + std::string(24, '\0'), kSakura},
      {"Song title" + std::string(20, ' '), "Song title"},
      {"X" + kSakura + kSakura + kSakura + kSakura + "\x82",
       "X" + kSakura + kSakura + kSakura + kSakura},
      {std::string("A\0B", 3), "A"},
      {std::string(30, '\0'), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Id3v1TextToProgramText(c.field), c.program) << c.field;
}

TEST(TrackTagsTest, CopyCutsAtCharacterBoundaries) {
  char field[8];
  CopyProgramText(field, sizeof field, "abc" + kSakura);  // 3 + 6 bytes: "abc" + 2 characters
  EXPECT_EQ(std::string(field), "abc" + kSakura.substr(0, 4));
  CopyProgramText(field, sizeof field, "short");
  EXPECT_EQ(std::string(field), "short");
  // An escape pair (two user-defined characters) is kept whole or not at all.
  const std::string pair = "\xF0\x40\xF0\x41";
  CopyProgramText(field, sizeof field, "ab" + pair + "z");  // 7 bytes: fits
  EXPECT_EQ(std::string(field), "ab" + pair + "z");
  CopyProgramText(field, sizeof field, "abcd" + pair);  // the pair would be cut after 2 bytes
  EXPECT_EQ(std::string(field), "abcd");
}

}  // namespace
}  // namespace veldan
