#include "hostsim/cli/text.h"

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

}  // namespace hostsim
