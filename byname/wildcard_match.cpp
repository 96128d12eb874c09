#include "byname/wildcard_match.h"

int WildcardMatch(const char* name, const char* pattern) {
  // Only the latest star is ever retried. Any match that an earlier star could
  // still reach by taking more bytes, the latest star reaches as well, so going
  // back further only repeats work; that is what keeps the time bounded.
  const char* afterStar = nullptr;  // pattern just past the latest star
  const char* starEnd = nullptr;    // name where that star's run ends for now
  while (*name != '\0') {
    if (*pattern == '*') {
      afterStar = ++pattern;
      // A star that ends the pattern takes whatever is left of the name;
      // walking it byte by byte would only confirm that.
      if (*afterStar == '\0') return 1;
      starEnd = name;
    } else if (*pattern == '?' || *pattern == *name) {
      ++pattern;
      ++name;
    } else if (afterStar != nullptr) {
      pattern = afterStar;
      name = ++starEnd;
    } else {
      return 0;
    }
  }
  // The name is used up: only stars, each matching the empty run, may remain.
  while (*pattern == '*') ++pattern;
  return *pattern == '\0' ? 1 : 0;
}
