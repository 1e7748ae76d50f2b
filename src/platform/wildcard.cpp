#include "platform/wildcard.h"

#include "platform/sjis.h"

namespace veldan {
namespace {

// True when the characters at p[pi] and n[ni], each len bytes long, are the same character.
bool SameChar(std::string_view p, std::size_t pi, std::size_t plen, std::string_view n,
              std::size_t ni, std::size_t nlen) {
  if (plen != nlen) return false;
  if (plen == 1) return sjis::FoldAscii(p[pi]) == sjis::FoldAscii(n[ni]);
  return p[pi] == n[ni] && p[pi + 1] == n[ni + 1];
}

}  // namespace

bool HasWildcards(std::string_view pattern) {
  for (std::size_t i = 0; i < pattern.size();) {
    if (pattern[i] == '*' || pattern[i] == '?') return true;
    i += sjis::CharLength(pattern.data(), i, pattern.size());
  }
  return false;
}

bool MatchesEverything(std::string_view pattern) { return pattern == "*" || pattern == "*.*"; }

// Greedy matching that backtracks only to the most recent '*': each '*' may consume one more
// character of the name when the rest fails, which keeps the cost linear in practice and at most
// quadratic, with no recursion.
bool MatchWildcard(std::string_view pattern, std::string_view name) {
  if (MatchesEverything(pattern)) return true;
  const std::size_t np = pattern.size();
  const std::size_t nn = name.size();
  std::size_t pi = 0;
  std::size_t ni = 0;
  std::size_t star_p = std::string_view::npos;
  std::size_t star_n = 0;
  while (ni < nn) {
    if (pi < np && pattern[pi] == '*') {
      star_p = ++pi;
      star_n = ni;
      continue;
    }
    const std::size_t nlen = sjis::CharLength(name.data(), ni, nn);
    if (pi < np) {
      const std::size_t plen = sjis::CharLength(pattern.data(), pi, np);
      if ((plen == 1 && pattern[pi] == '?') || SameChar(pattern, pi, plen, name, ni, nlen)) {
        pi += plen;
        ni += nlen;
        continue;
      }
    }
    if (star_p == std::string_view::npos) return false;
    star_n += sjis::CharLength(name.data(), star_n, nn);
    pi = star_p;
    ni = star_n;
  }
  while (pi < np && pattern[pi] == '*') ++pi;
  return pi == np;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  std::size_t i = 0;
  while (i < a.size()) {
    const std::size_t la = sjis::CharLength(a.data(), i, a.size());
    const std::size_t lb = sjis::CharLength(b.data(), i, b.size());
    if (!SameChar(a, i, la, b, i, lb)) return false;
    i += la;
  }
  return true;
}

}  // namespace veldan
