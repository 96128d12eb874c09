#include "byname/wildcard_match.h"

namespace {

// Where the run of a star may end next: at the next byte the rest of the
// pattern starts with, when that is a plain byte. Every position before it
// fails on the very first comparison, so stepping over them changes nothing
// but the time.
const char* NextStart(const char* name, const char* afterStar) {
  const char wanted = *afterStar;
  if (wanted == '?' || wanted == '*') return name;
  while (*name != '\0' && *name != wanted) ++name;
  return name;
}

}  // namespace

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
      name = starEnd = NextStart(name, afterStar);
    } else if (*pattern == '?' || *pattern == *name) {
      ++pattern;
      ++name;
    } else if (afterStar != nullptr) {
      pattern = afterStar;
      name = starEnd = NextStart(starEnd + 1, afterStar);
    } else {
      return 0;
    }
  }
  // The name is used up: only stars, each matching the empty run, may remain.
  while (*pattern == '*') ++pattern;
  return *pattern == '\0' ? 1 : 0;
}
