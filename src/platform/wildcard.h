// Wildcard patterns of the directory listing, on program text.
//
// '*' matches any run of characters, '?' exactly one character; a two-byte Shift-JIS character
// counts as one, and its trail byte is never taken for a letter or a wildcard. Single-byte
// letters match without regard to case. "*.*" matches every name, dotted or not, as the program
// expects of its "folder\*.*" listings.
//
// Pure functions, any thread.
#pragma once

#include <string_view>

namespace veldan {

bool HasWildcards(std::string_view pattern);

// True when pattern names every item ("*", "*.*"), so a listing can skip matching.
bool MatchesEverything(std::string_view pattern);

bool MatchWildcard(std::string_view pattern, std::string_view name);

// Equality of two names without regard to the case of single-byte letters.
bool EqualIgnoringCase(std::string_view a, std::string_view b);

}  // namespace veldan
