// How the command line dresses text for people: colours on a terminal,
// lists of choices, padded columns, and arguments quoted as typed.
#ifndef QZ_HOSTSIM_CLI_TEXT_H
#define QZ_HOSTSIM_CLI_TEXT_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace hostsim {

// ANSI styles, for Styled.
constexpr char kGreen[] = "\033[32m";
constexpr char kBoldGreen[] = "\033[1;32m";
constexpr char kRed[] = "\033[31m";
constexpr char kBoldRed[] = "\033[1;31m";
constexpr char kYellow[] = "\033[33m";
constexpr char kBold[] = "\033[1m";
constexpr char kDim[] = "\033[2m";

// The text in the style, reset after it; the text alone without colour.
std::string Styled(std::string_view text, const char* style, bool color);

// "a, b, c": the valid choices an error names.
std::string JoinedChoices(const std::vector<std::string>& choices);

std::string PadLeft(const std::string& text, std::size_t width);
std::string PadRight(const std::string& text, std::size_t width);

// The arguments as a user would type them: an empty one, or one with a
// blank, in double quotes.
std::string QuotedArguments(const std::vector<std::string>& arguments);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_TEXT_H
