#include "platform/sjis.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace veldan
