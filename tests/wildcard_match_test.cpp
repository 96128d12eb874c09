// The matcher, linked directly: fixed answers, agreement with the rules as
// written, and inputs on which the rules as written would never finish.
#include "byname/wildcard_match.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/support/reference_match.h"

namespace {

struct MatchCase {
  std::string name;
  std::string pattern;
  int expected;
};

TEST(WildcardMatch, AnswersFixedCases) {
  const MatchCase cases[] = {
      {"Bone", "B?ne", 1},   {"Bone", "b*", 0},  // case-sensitive
      {"", "*", 1},          {"", "", 1},
      {"a", "", 0},          {"abc", "a*c*", 1},
      {"ab", "a?b", 0},      {"Arm.L", "Arm?L", 1},
      {"abc", "ab", 0},  // anchored at the end
      {"abc", "bc", 0},  // and at the start
      {"abc", "ab*", 1},     {"", "?", 0},
      {"", "**", 1},         {"a", "**a**", 1},
      {"Arm.L", "Arm.R", 0}, {"abcbc", "*bc", 1},  // the star must give back what it first took
      {"abcbd", "*bc", 0},   {"ab", "*?*?*", 1},
      {"a", "*?*?*", 0},     {"a*b", "a\\*b", 0},   // no escapes: the backslash is a byte to match
      {"a\\b", "a\\b", 1},   {"a", "[ab]", 0},      // no classes either
      {"[ab]", "[ab]", 1},   {"\xC3\xA9", "?", 0},  // bytes, not characters
      {"\xC3\xA9", "??", 1}, {"\xC3\xA9", "\xC3?", 1},
  };
  for (const MatchCase& c : cases) {
    EXPECT_EQ(WildcardMatch(c.name.c_str(), c.pattern.c_str()), c.expected)
        << "name '" << c.name << "', pattern '" << c.pattern << "'";
  }
}

// After a mismatch only the latest star's run grows, one byte at a time in
// effect, and the pattern resumes just after that star: a run cut short or
// grown by more skips the one alignment that matches.
TEST(WildcardMatch, StarRunsGrowOnlyAsFarAsTheMatchNeeds) {
  const MatchCase cases[] = {
      {"aaab", "*aab", 1},
      {"aaaab", "*aab", 1},
      {"aaa", "*aab", 0},
      {"abab", "*ab", 1},
      {"xaab", "x*ab", 1},
      {"abcabcabd", "*abcabd", 1},
      {"aab", "*?ab", 1},
      {"aab", "*a?b", 1},
      {"abaa", "*b?b", 0},
      {"abaab", "*a*ab", 1},
      {"mississippi", "m*issip*", 1},
  };
  for (const MatchCase& c : cases) {
    EXPECT_EQ(WildcardMatch(c.name.c_str(), c.pattern.c_str()), c.expected)
        << "name '" << c.name << "', pattern '" << c.pattern << "'";
  }
}

// Every string over the alphabet up to the length, the empty one first.
template <typename Visit>
void ForEachString(const std::string& alphabet, std::size_t maxLength, std::string& text, Visit visit) {
  visit(text);
  if (text.size() == maxLength) return;
  for (const char byte : alphabet) {
    text.push_back(byte);
    ForEachString(alphabet, maxLength, text, visit);
    text.pop_back();
  }
}

std::string RandomText(std::mt19937& random, const std::string& alphabet, std::size_t maxLength) {
  std::string text(random() % (maxLength + 1), ' ');
  for (char& byte : text) byte = alphabet[random() % alphabet.size()];
  return text;
}

TEST(WildcardMatch, AgreesWithTheRecursiveRules) {
  int disagreements = 0;
  const auto expectAgrees = [&disagreements](const std::string& name, const std::string& pattern) {
    const int expected = qztest::ReferenceMatch(name.c_str(), pattern.c_str());
    if (WildcardMatch(name.c_str(), pattern.c_str()) == expected) return;
    if (++disagreements <= 10)
      ADD_FAILURE() << "name '" << name << "', pattern '" << pattern << "': rules say " << expected;
  };

  // Short inputs exhaustively, so every arrangement of stars is met.
  std::string name;
  std::string pattern;
  ForEachString("ab.", 4, name, [&](const std::string& eachName) {
    ForEachString("a.*?", 5, pattern, [&](const std::string& eachPattern) { expectAgrees(eachName, eachPattern); });
  });

  // Longer ones at random, with wildcard bytes and a high byte in names too,
  // and few enough stars that the rules stay quick.
  std::mt19937 random(20240604u);
  for (int round = 0; round < 50000; ++round) {
    std::string randomPattern = RandomText(random, "ab.*?", 10);
    int stars = 0;
    for (char& byte : randomPattern) {
      if (byte == '*' && ++stars > 4) byte = 'a';
    }
    expectAgrees(RandomText(random, "ab.*?\xE9", 14), randomPattern);
  }
  EXPECT_EQ(disagreements, 0);
}

// Each of these would keep the recursive rules busy for years; the suite's
// time-out is what catches a matcher that backtracks.
TEST(WildcardMatch, AnswersInputsThatDefeatBacktracking) {
  std::string manyStarsThenB;
  for (int star = 0; star < 63; ++star) manyStarsThenB += "*a";
  manyStarsThenB += "*b";  // 128 bytes: one past the panel's longest pattern
  std::string pairs;
  for (int pair = 0; pair < 2000; ++pair) pairs += "ab";

  const MatchCase cases[] = {
      {std::string(4000, 'a'), "*a*a*a*a*a*a*a*a*b", 0},
      {std::string(4000, 'a') + "b", "*a*a*a*a*a*a*a*a*b", 1},
      {std::string(4000, 'a'), manyStarsThenB, 0},
      {std::string(4000, 'a') + "b", manyStarsThenB, 1},
      {pairs, "*ab*ab*ab*ab*ab*ac", 0},
      {pairs, "*ab*ab*ab*ab*ab*?b", 1},
      {std::string(4000, 'a'), std::string(127, '*') + "?", 1},
      // Not exponential, but the worst the matcher meets: every retry of the
      // star compares the long run again.
      {std::string(4000, 'a'), "*" + std::string(126, 'a') + "b", 0},
  };
  for (const MatchCase& c : cases) {
    EXPECT_EQ(WildcardMatch(c.name.c_str(), c.pattern.c_str()), c.expected)
        << "name of " << c.name.size() << " bytes, pattern '" << c.pattern << "'";
  }
}

}  // namespace
