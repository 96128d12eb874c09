// The options of hostsim's subcommands: how they are declared, parsed and
// listed in each subcommand's help, and the ones several subcommands share.
#ifndef QZ_HOSTSIM_CLI_OPTIONS_H
#define QZ_HOSTSIM_CLI_OPTIONS_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "hostsim/cli/console.h"

namespace hostsim {

struct OptionSpec {
  std::string_view name;   // "--scene"
  std::string_view value;  // "FILE"; empty for a flag
  bool many;               // takes every argument up to the next option
  std::string_view help;
};

inline constexpr OptionSpec kModuleOption{"--module", "PATH", false,
                                          "the module file (default: the one beside hostsim)"};
inline constexpr OptionSpec kSceneOption{"--scene", "FILE", false,
                                         "a scene file, versions 1 to 5 (default: the bundled demo)"};
inline constexpr OptionSpec kContentOption{"--content", "DIR", false,
                                           "the absolute Windows folder relative object paths start from"};
inline constexpr OptionSpec kColorOption{"--color", "WHEN", false,
                                         "auto, always or never (default: auto, on a terminal)"};
inline constexpr OptionSpec kJsonOption{"--json", "", false, "print JSON for scripts instead of text"};
// How long a command of the module may run.
inline constexpr OptionSpec kTimeoutOption{"--timeout", "S", false,
                                           "end a command of the module still running after S seconds (default: 10)"};

struct Options {
  std::vector<std::string> positional;
  std::map<std::string, std::vector<std::string>, std::less<>> values;

  bool Has(std::string_view name) const { return values.find(name) != values.end(); }
  // The last value given, or `fallback`.
  std::string Value(std::string_view name, const std::string& fallback = "") const;
  std::vector<std::string> All(std::string_view name) const;
};

// Throws CliError naming the unknown option and the valid ones. "--" ends
// the options: every argument after it is positional.
Options ParseOptions(const std::vector<std::string>& arguments, const std::vector<OptionSpec>& specs,
                     std::size_t maxPositional);
// --help or -h before any "--".
bool WantsHelp(const std::vector<std::string>& arguments);

// "unknown WHAT 'TEXT'; did you mean ...? (valid: ...)", the one form every
// unknown word on the command line is reported in.
CliError UnknownChoice(const std::string& what, std::string_view text, const std::vector<std::string>& choices);
// The choice `text` names, ignoring case: option values are words, not names.
// Throws UnknownChoice otherwise.
std::string ChooseIgnoringCase(const std::string& what, std::string_view text, const std::vector<std::string>& choices);

struct HelpText {
  std::string_view usage;  // after "usage: hostsim "
  std::string_view about;  // paragraphs, each line ending in a newline
  const std::vector<OptionSpec>& options;
  std::string after = "";  // printed below the options
  // Printed between the options and `after`: what the arguments given beside
  // --help name ("run --help --module M" lists M's commands).
  std::string (*aboutArguments)(const std::vector<std::string>& arguments) = nullptr;
};
int PrintHelp(const HelpText& help, std::ostream& out);  // returns kExitDone

// "--color auto|always|never" against the console and the environment's
// NO_COLOR and TERM=dumb.
bool UseColor(const Options& options, const Console& console);

// Seconds above 0 and at most a day, or `fallback` when the option is absent.
double ParseSeconds(const Options& options, std::string_view name, double fallback);
// A whole number from 1 to `most`, or `fallback` when the option is absent.
std::uint64_t ParseCount(const Options& options, std::string_view name, std::uint64_t fallback, std::uint64_t most);

// A subcommand of hostsim: its help, whose options are the ones it parses,
// and what it does with them.
struct Subcommand {
  const char* name;
  const char* summary;  // its line in "hostsim --help"
  HelpText (*help)();
  std::size_t maxPositional;
  int (*run)(const Options& options, Console& console);
};

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_OPTIONS_H
