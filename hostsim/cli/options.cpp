#include "hostsim/cli/options.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "hostsim/cli/text.h"
#include "hostsim/scene/text.h"

namespace hostsim {

namespace {

bool IsOption(const std::string& argument) { return argument.size() > 2 && argument.compare(0, 2, "--") == 0; }

constexpr char kEndOfOptions[] = "--";

}  // namespace

std::string Options::Value(std::string_view name, const std::string& fallback) const {
  const auto found = values.find(name);
  return found == values.end() || found->second.empty() ? fallback : found->second.back();
}

std::vector<std::string> Options::All(std::string_view name) const {
  const auto found = values.find(name);
  return found == values.end() ? std::vector<std::string>() : found->second;
}

bool WantsHelp(const std::vector<std::string>& arguments) {
  const auto end = std::find(arguments.begin(), arguments.end(), kEndOfOptions);
  return std::any_of(arguments.begin(), end,
                     [](const std::string& argument) { return argument == "--help" || argument == "-h"; });
}

CliError UnknownChoice(const std::string& what, std::string_view text, const std::vector<std::string>& choices) {
  return CliError("unknown " + what + " '" + std::string(text) + "'" + DidYouMean(text, choices) +
                  " (valid: " + JoinedChoices(choices) + ")");
}

std::string ChooseIgnoringCase(const std::string& what, std::string_view text,
                               const std::vector<std::string>& choices) {
  for (const std::string& choice : choices) {
    if (EqualsIgnoringCase(choice, text)) return choice;
  }
  throw UnknownChoice(what, text, choices);
}

Options ParseOptions(const std::vector<std::string>& arguments, const std::vector<OptionSpec>& specs,
                     std::size_t maxPositional) {
  Options options;
  bool optionsEnded = false;
  for (std::size_t at = 0; at < arguments.size(); ++at) {
    const std::string& argument = arguments[at];
    if (!optionsEnded && argument == kEndOfOptions) {
      optionsEnded = true;
      continue;
    }
    if (optionsEnded || !IsOption(argument)) {
      if (options.positional.size() >= maxPositional)
        throw CliError("unexpected argument '" + argument + "'" +
                       (maxPositional == 0 ? std::string(" (this command takes options only)") : std::string()));
      options.positional.push_back(argument);
      continue;
    }
    const std::size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    const auto spec = std::find_if(specs.begin(), specs.end(), [&](const OptionSpec& s) { return s.name == name; });
    if (spec == specs.end()) {
      std::vector<std::string> valid;
      valid.reserve(specs.size());
      for (const OptionSpec& s : specs) valid.emplace_back(s.name);
      throw UnknownChoice("option", name, valid);
    }
    std::vector<std::string>& values = options.values[name];
    if (spec->value.empty()) {
      if (equals != std::string::npos) throw CliError("option " + name + " takes no value");
      continue;
    }
    if (equals != std::string::npos) {
      values.push_back(argument.substr(equals + 1));
      continue;
    }
    const std::size_t before = values.size();
    while (at + 1 < arguments.size() && !IsOption(arguments[at + 1]) && arguments[at + 1] != kEndOfOptions) {
      values.push_back(arguments[++at]);
      if (!spec->many) break;
    }
    if (values.size() == before) throw CliError("option " + name + " needs a value (" + std::string(spec->value) + ")");
  }
  return options;
}

int PrintHelp(const HelpText& text, std::ostream& out) {
  std::string help;
  for (const OptionSpec& spec : text.options) {
    std::string left = "  " + std::string(spec.name);
    if (!spec.value.empty()) left += " " + std::string(spec.value) + (spec.many ? " ..." : "");
    if (left.size() < 26)
      left.resize(26, ' ');
    else
      left += "  ";
    help += left + std::string(spec.help) + "\n";
  }
  out << "usage: hostsim " << text.usage << "\n\n" << text.about << "\noptions:\n" << help << text.after;
  return kExitDone;
}

bool UseColor(const Options& options, const Console& console) {
  const std::string when = ChooseIgnoringCase("--color", options.Value("--color", "auto"), {"auto", "always", "never"});
  if (when == "always") return true;
  if (when == "never") return false;
  // The conventions terminals and their users share for "no colour, please".
  const char* noColor = std::getenv("NO_COLOR");
  const char* term = std::getenv("TERM");
  return console.outIsTerminal && (noColor == nullptr || *noColor == '\0') &&
         (term == nullptr || std::string_view(term) != "dumb");
}

double ParseSeconds(const Options& options, std::string_view name, double fallback) {
  if (!options.Has(name)) return fallback;
  const std::string text = options.Value(name);
  char* end = nullptr;
  const double seconds = std::strtod(text.c_str(), &end);
  // A day is far past any command; beyond it a deadline could overflow.
  if (text.empty() || *end != '\0' || !(seconds > 0) || seconds > 86400)
    throw CliError(std::string(name) + " needs a number of seconds above 0, not '" + text + "'");
  return seconds;
}

std::uint64_t ParseCount(const Options& options, std::string_view name, std::uint64_t fallback, std::uint64_t most) {
  if (!options.Has(name)) return fallback;
  const std::string text = options.Value(name);
  const std::optional<std::uint64_t> value = ParseUnsigned(text);
  if (!value || *value == 0 || *value > most)
    throw CliError(std::string(name) + " needs a whole number from 1 to " + std::to_string(most) + ", not '" + text +
                   "'");
  return *value;
}

}  // namespace hostsim
