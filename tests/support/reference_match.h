// The four matching rules written out as they read, recursion and all, to
// judge the module's matcher by. Its time grows exponentially with the stars,
// so only short patterns with few stars are ever given to it.
#ifndef QZ_TESTS_SUPPORT_REFERENCE_MATCH_H
#define QZ_TESTS_SUPPORT_REFERENCE_MATCH_H

namespace qztest {

inline int ReferenceMatch(const char* name, const char* pattern) {
  if (*pattern == '\0') return *name == '\0' ? 1 : 0;
  if (*pattern == '*') {
    if (ReferenceMatch(name, pattern + 1)) return 1;
    if (*name == '\0') return 0;
    return ReferenceMatch(name + 1, pattern);
  }
  if (*pattern == '?') return *name == '\0' ? 0 : ReferenceMatch(name + 1, pattern + 1);
  return *pattern == *name ? ReferenceMatch(name + 1, pattern + 1) : 0;
}

}  // namespace qztest

#endif  // QZ_TESTS_SUPPORT_REFERENCE_MATCH_H
