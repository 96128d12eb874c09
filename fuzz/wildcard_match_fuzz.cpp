// The matcher against the rules as written. Input: pattern, a NUL, name.
// Every input goes through the matcher, so the sanitizers see any length;
// only inputs small enough for the recursive rules are compared.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "byname/wildcard_match.h"
#include "tests/support/reference_match.h"

namespace {

constexpr std::size_t kMaxComparedPattern = 24;
constexpr std::size_t kMaxComparedName = 48;
constexpr int kMaxComparedStars = 4;

bool SmallEnoughForTheRules(const std::string& name, const std::string& pattern) {
  int stars = 0;
  for (const char byte : pattern) stars += byte == '*';
  return pattern.size() <= kMaxComparedPattern && name.size() <= kMaxComparedName && stars <= kMaxComparedStars;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const auto* separator = static_cast<const char*>(std::memchr(bytes, '\0', size));
  const std::size_t patternLength = separator != nullptr ? static_cast<std::size_t>(separator - bytes) : size;
  // Fresh copies, each ended by its own NUL, so a read past either end is caught.
  const std::string pattern(bytes, patternLength);
  std::string name;
  if (separator != nullptr) {
    const std::size_t rest = size - patternLength - 1;
    const auto* end = static_cast<const char*>(std::memchr(separator + 1, '\0', rest));
    name.assign(separator + 1, end != nullptr ? end : separator + 1 + rest);
  }

  const int answer = WildcardMatch(name.c_str(), pattern.c_str());
  if (answer != 0 && answer != 1) std::abort();
  if (!SmallEnoughForTheRules(name, pattern)) return 0;
  if (answer != qztest::ReferenceMatch(name.c_str(), pattern.c_str())) {
    std::fprintf(stderr, "name '%s', pattern '%s': matcher says %d\n", name.c_str(), pattern.c_str(), answer);
    std::abort();
  }
  return 0;
}
