#include "hostsim/cli/text.h"

#include <algorithm>

#include "hostsim/scene/text.h"

namespace hostsim {

namespace {

constexpr char kReset[] = "\033[0m";

}  // namespace

std::string Styled(std::string_view text, const char* style, bool color) {
  return color ? style + std::string(text) + kReset : std::string(text);
}

std::string JoinedChoices(const std::vector<std::string>& choices) {
  std::string joined;
  for (const std::string& choice : choices) joined += (joined.empty() ? "" : ", ") + choice;
  return joined;
}

std::string PadLeft(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string PadRight(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string QuotedArguments(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) {
    if (!text.empty()) text += ' ';
    const bool quote = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
    text += quote ? "\"" + argument + "\"" : argument;
  }
  return text;
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> twoAbove(b.size() + 1), above(b.size() + 1), row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    twoAbove.swap(above);
    above.swap(row);
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      row[j] = std::min({above[j] + 1, row[j - 1] + 1, above[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        row[j] = std::min(row[j], twoAbove[j - 2] + 1);
    }
  }
  return row[b.size()];
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && Lowered(a) == Lowered(b);
}

std::vector<std::string> Closest(std::string_view text, const std::vector<std::string>& choices) {
  // Each comparison costs a distance matrix; nobody mistypes a word this long.
  constexpr std::size_t kLongest = 64;
  constexpr std::size_t kMostShown = 3;
  const std::string lowered = Lowered(text);
  std::size_t best = static_cast<std::size_t>(-1);
  std::vector<std::string> closest;
  for (const std::string& choice : choices) {
    if (lowered.size() > kLongest || choice.size() > kLongest) continue;
    const std::size_t distance = EditDistance(lowered, Lowered(choice));
    if (distance > std::max<std::size_t>(1, choice.size() / 4) || distance > best) continue;
    if (distance < best) closest.clear();
    best = distance;
    if (closest.size() < kMostShown) closest.push_back(choice);
  }
  return closest;
}

std::string DidYouMean(std::string_view text, const std::vector<std::string>& choices) {
  std::vector<std::string> quoted;
  for (const std::string& choice : Closest(text, choices)) quoted.push_back("'" + choice + "'");
  return quoted.empty() ? "" : "; did you mean " + JoinedChoices(quoted) + "?";
}

}  // namespace hostsim
