// Whole-name matching against the pattern typed into the by-name panel.
#ifndef QZ_BYNAME_WILDCARD_MATCH_H
#define QZ_BYNAME_WILDCARD_MATCH_H

// 1 when the whole name matches the whole pattern, else 0. '*' stands for any
// run of bytes, the empty one included, and '?' for exactly one byte; every
// other byte, the dot too, stands for itself, compared case-sensitively. Both
// texts are NUL-terminated and non-null.
//
// Time is at most proportional to name length times pattern length, with no
// recursion and no memory beyond a few pointers, so no pattern a user can type
// stalls the host.
int WildcardMatch(const char* name, const char* pattern);

#endif  // QZ_BYNAME_WILDCARD_MATCH_H
