#include "platform/name_codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace veldan {
namespace {

std::string Utf8(uint32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 | (cp >> 6));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    s += static_cast<char>(0xE0 | (cp >> 12));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (cp >> 18));
    s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return s;
}

// Walks program text the way the program does (lead byte decides, any byte follows it) and
// fails when a separator appears as a character of its own or the text ends inside a character.
void ExpectProgramSafe(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const bool lead = (b >= 0x81 && b <= 0x84) || (b >= 0x87 && b <= 0x9F) || b >= 0xE0;
    ASSERT_NE(b, 0);
    if (lead) {
      ASSERT_LT(i + 1, text.size()) << "text ends inside a character";
      i += 2;
    } else {
      ASSERT_NE(b, '\\');
      ASSERT_NE(b, '/');
      ++i;
    }
  }
}

TEST(NameCodec, EveryScalarValueRoundTrips) {
  int representable = 0;
  std::string name;
  auto check = [&] {
    const std::string program = HostNameToProgramText(name);
    ExpectProgramSafe(program);
    ASSERT_EQ(ProgramTextToHostName(program), name);
    ASSERT_EQ(ProgramTextToDisplay(program), name);
    name.clear();
  };
  for (uint32_t cp = 1; cp <= 0x10FFFF; ++cp) {
    if (cp == '/' || (cp >= 0xD800 && cp <= 0xDFFF)) continue;
    const std::string one = Utf8(cp);
    // A character CP932 holds takes at most two bytes; an escape pair takes four.
    if (HostNameToProgramText(one).size() < 4) ++representable;
    name += one;
    if (name.size() > 200) check();
  }
  check();
  // Proves the converter's tables were built (without them only ASCII and katakana remain).
  EXPECT_GT(representable, 7000);
}

TEST(NameCodec, EveryByteAndBytePairRoundTrips) {
  for (int a = 1; a < 256; ++a) {
    for (int b = 1; b < 256; ++b) {
      if (a == '/' || b == '/') continue;
      const std::string name = {'x', static_cast<char>(a), static_cast<char>(b)};
      const std::string program = HostNameToProgramText(name);
      ExpectProgramSafe(program);
      ASSERT_EQ(ProgramTextToHostName(program), name) << a << " " << b;
    }
  }
}

struct EncodeRow {
  const char* what;
  std::string host;
  std::string program;
};

TEST(NameCodec, EncodesAsDesigned) {
  const EncodeRow rows[] = {
      {"plain ASCII", "Track 01.mp3", "Track 01.mp3"},
      {"trail byte 0x5C", "表.mp3", "\x95\x5C.mp3"},
      {"half-width katakana", "ｱ", "\xB1"},
      {"full-width tilde", "～", "\x81\x60"},
      {"wave dash shares 0x8160: escaped", "〜", "\xF0\x46\xF5\xA1"},
      {"yen sign shares 0x5C: escaped", "¥", "\xF0\x40\xF0\xE6"},
      {"backslash in a name", "a\\b", "a\xF0\x40\xF0\x9D" "b"},
      {"e acute", "é", "\xF0\x40\xF1\x6D"},
      {"user area U+E000", "\xEE\x80\x80", "\xF0\x5E\xF5\x44"},
      {"emoji", "🎵", "\xF0\x85\xF0\x96"},
      {"invalid byte 0xFF", "\xFF", "\xF3\x5C\xF7\x9C"},
  };
  for (const EncodeRow& r : rows) {
    EXPECT_EQ(HostNameToProgramText(r.host), r.program) << r.what;
    EXPECT_EQ(ProgramTextToHostName(r.program), r.host) << r.what;
  }
}

struct DecodeRow {
  const char* what;
  std::string program;
  std::string host;
  std::string display;
};

TEST(NameCodec, DecodesAnyProgramText) {
  const DecodeRow rows[] = {
      {"Bjork with a pair", "Bj\xF0\x40\xF1\x7Ark", "Björk", "Björk"},
      {"escaped invalid byte", "\xF3\x5C\xF7\x9C", "\xFF", "\xEF\xBF\xBD"},
      {"unassigned single byte kept", "a\x80" "b", "a\x80" "b", "a\xEF\xBF\xBD" "b"},
      {"lead byte at the end kept", "a\x88", "a\x88", "a\xEF\xBF\xBD"},
      {"lone user-area character", "\xF0\x40", "\xEE\x80\x80", "\xEE\x80\x80"},
      // Pairs the encoder never writes must not smuggle a separator or a zero into a name.
      {"pair carrying '/'", "\xF0\x40\xF0\x6F", "\xEE\x80\x80\xEE\x80\xAF",
       "\xEE\x80\x80\xEE\x80\xAF"},
      {"pair carrying raw '/'", "\xF3\x5C\xF6\x88", "\xEE\x89\x90\xEE\x92\xAF",
       "\xEE\x89\x90\xEE\x92\xAF"},
  };
  for (const DecodeRow& r : rows) {
    EXPECT_EQ(ProgramTextToHostName(r.program), r.host) << r.what;
    EXPECT_EQ(ProgramTextToDisplay(r.program), r.display) << r.what;
  }
}

TEST(NameCodec, BufferFormsRefuseWhatDoesNotFit) {
  char out[8] = "junk";
  EXPECT_EQ(HostNameToProgramText("abcdefg", out, sizeof out), 7u);
  EXPECT_STREQ(out, "abcdefg");
  EXPECT_EQ(HostNameToProgramText("abcdefgh", out, sizeof out), kTextTooLong);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(HostNameToProgramText("aéé", out, sizeof out), kTextTooLong);  // 1 + 4 + 4 > 7
  EXPECT_EQ(ProgramTextToHostName("\x95\x5C", out, sizeof out), 3u);
  EXPECT_STREQ(out, "表");

  char three[3];
  EXPECT_TRUE(CopyText(three, sizeof three, "ab"));
  EXPECT_STREQ(three, "ab");
  EXPECT_FALSE(CopyText(three, sizeof three, "abc"));
  EXPECT_STREQ(three, "");
}

}  // namespace
}  // namespace veldan
