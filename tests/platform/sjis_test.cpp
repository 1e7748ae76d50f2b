#include "platform/sjis.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/paths.h"

namespace veldan {
namespace {

// The program's lead bytes, gaps included: 0x85, 0x86 and 0xA0-0xDF (half-width katakana) stand
// alone, so a path cut after one of them is still a whole character.
TEST(SjisRules, LeadBytesAndTheirGaps) {
  for (int b = 0; b < 256; ++b) {
    const bool lead = (b >= 0x81 && b <= 0x84) || (b >= 0x87 && b <= 0x9F) || b >= 0xE0;
    EXPECT_EQ(sjis::IsLead(static_cast<unsigned char>(b)), lead) << b;
  }
}

// Only a-z change; the bytes of Shift-JIS characters and of accented Latin-1 text stay as they
// are, so a folded trail byte never becomes another character.
TEST(SjisRules, FoldAsciiChangesOnlyLowerCaseLetters) {
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    const char expected = (b >= 'a' && b <= 'z') ? static_cast<char>(b - 'a' + 'A') : c;
    EXPECT_EQ(sjis::FoldAscii(c), expected) << b;
  }
}

TEST(DriveText, LetterOfAPathInEitherCase) {
  EXPECT_EQ(DriveLetterOf("e:\\Music"), 'E');
  EXPECT_EQ(DriveLetterOf("Z:"), 'Z');
  EXPECT_EQ(DriveLetterOf("C"), '\0');  // no colon
  EXPECT_EQ(DriveLetterOf(""), '\0');   // the colon is not read past the terminator
  EXPECT_EQ(DriveLetterOf("1:\\"), '\0');
  EXPECT_EQ(DriveLetterOf("\\\\x"), '\0');
  EXPECT_EQ(DriveLetterOf("\xE0:"), '\0');      // a lead byte, not a letter
  EXPECT_EQ(DriveLetterOf("\x82\x60:"), '\0');  // full-width A
}

TEST(DriveText, RootOfALetter) {
  static constexpr DriveRoot kRoot('Q');
  EXPECT_STREQ(kRoot.c_str(), "Q:\\");
  EXPECT_EQ(std::strlen(DriveRoot('d').c_str()), 3u);
  EXPECT_STREQ(DriveRoot('d').c_str(), "d:\\");  // as given: the callers fold where they must
  EXPECT_EQ(DriveLetterOf(DriveRoot('d').c_str()), 'D');
}

}  // namespace
}  // namespace veldan
