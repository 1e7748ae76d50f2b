#include "platform/wildcard.h"

#include <gtest/gtest.h>

namespace veldan {
namespace {

struct Row {
  const char* pattern;
  const char* name;
  bool match;
};

TEST(Wildcard, MatchesLikeTheProgramExpects) {
  const Row rows[] = {
      {"*.*", "noext", true},
      {"*.*", ".", true},
      {"*.mp3", "A.MP3", true},
      {"*.mp3", "a.mp3x", false},
      {"*.mp3", "mp3", false},
      {"a?.MP3", "ab.mp3", true},
      {"a?.MP3", "a\x95\x5C.mp3", true},  // '?' takes the whole two-byte character
      {"a?.MP3", "abc.mp3", false},
      {"?", "\x95\x5C", true},
      {"??", "\x95\x5C", false},
      {"*a*b*c", "xxaxxbxxbxc", true},
      {"*a*b*c", "xxaxxbxxbx", false},
      {"*", "", true},
      {"a*", "", false},
      // A trail byte is not a letter: 0x8341 and 0x8361 are different characters.
      {"\x83\x41", "\x83\x61", false},
      {"*\x5C", "\x95\x5C", false},
  };
  for (const Row& r : rows)
    EXPECT_EQ(MatchWildcard(r.pattern, r.name), r.match) << r.pattern << " / " << r.name;
}

TEST(Wildcard, ExactNamesIgnoreOnlySingleByteLetterCase) {
  EXPECT_TRUE(EqualIgnoringCase("Track.MP3", "track.mp3"));
  EXPECT_FALSE(EqualIgnoringCase("track.mp3", "track.mp4"));
  EXPECT_FALSE(EqualIgnoringCase("\x83\x41", "\x83\x61"));
  EXPECT_TRUE(HasWildcards("a*"));
  EXPECT_FALSE(HasWildcards("a.mp3"));
  EXPECT_FALSE(HasWildcards("\x95\x5C"));
}

}  // namespace
}  // namespace veldan
