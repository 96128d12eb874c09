#include "hostsim/scene/text.h"

#include <algorithm>
#include <cstdlib>

namespace hostsim {

std::string Hex(std::uint64_t value, int digits, HexCase letters) {
  const char* const alphabet = letters == HexCase::Upper ? "0123456789ABCDEF" : "0123456789abcdef";
  int length = 0;
  for (std::uint64_t rest = value; rest != 0; rest >>= 4) ++length;
  // Filled from the end in place: ids are written by the hundred thousand for
  // the page, where every call out of a loop is dear.
  std::string text(static_cast<std::size_t>(std::max(length, digits)), '0');
  for (std::size_t at = text.size(); value != 0; value >>= 4) text[--at] = alphabet[value & 0xF];
  return text;
}

std::string Lowered(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return lowered;
}

std::string_view TrimmedRight(std::string_view text, std::string_view blanks) {
  while (!text.empty() && blanks.find(text.back()) != std::string_view::npos) text.remove_suffix(1);
  return text;
}

std::string_view Trimmed(std::string_view text, std::string_view blanks) {
  text = TrimmedRight(text, blanks);
  while (!text.empty() && blanks.find(text.front()) != std::string_view::npos) text.remove_prefix(1);
  return text;
}

std::optional<std::uint32_t> ParseHex(std::string_view digits, std::size_t maxDigits) {
  if (digits.empty() || digits.size() > maxDigits || digits.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : digits) {
    int digit = -1;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    if (digit < 0) return std::nullopt;
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  return value;
}

std::optional<std::uint32_t> ParsePositive(std::string_view digits) {
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (value == 0) return std::nullopt;
  return value;
}

std::optional<std::uint64_t> ParseUnsigned(const std::string& text) {
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || text[0] == '-') return std::nullopt;
  return value;
}

std::string Grouped(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

std::string ShellWord(const std::string& word) {
  const bool bare = !word.empty() && word.find_first_not_of(
                                         "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                         "0123456789_-./:=@%+,") == std::string::npos;
  if (bare) return word;
  // Double quotes read the same in a POSIX shell and in cmd.exe for all but
  // these, which the POSIX shell needs escaped.
  std::string quoted = "\"";
  for (std::size_t at = 0; at < word.size(); ++at) {
    const char c = word[at];
    const bool last = at + 1 == word.size();
    if (c == '"' || c == '$' || c == '`' || (c == '\\' && (last || word[at + 1] == '"'))) quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace hostsim
