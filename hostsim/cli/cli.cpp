#include "hostsim/cli/cli.h"

#include <algorithm>

#include "hostsim/cli/cli_list.h"
#include "hostsim/cli/cli_run.h"
#include "hostsim/cli/cli_save.h"
#include "hostsim/cli/cli_time.h"
#include "hostsim/cli/cli_tour.h"
#include "hostsim/cli/cli_validate.h"
#include "hostsim/cli/options.h"
#include "hostsim/cli/text.h"
#include "hostsim/cli/version.h"

namespace hostsim {

namespace {

const Subcommand* const kSubcommands[] = {&kRunSubcommand,  &kListSubcommand, &kValidateSubcommand,
                                          &kTourSubcommand, &kSaveSubcommand, &kTimeSubcommand};

void PrintUsage(std::ostream& out) {
  out << "usage: hostsim SUBCOMMAND [options]   (hostsim help SUBCOMMAND for its options)\n\n"
         "A stand-in for the host: it loads the selection module's file, answers its service\n"
         "lookups on a scene, runs its commands and shows every command line they send.\n\n";
  for (const Subcommand* subcommand : kSubcommands)
    out << PadRight(std::string("  ") + subcommand->name, 12) << subcommand->summary << "\n";
  out << "  --version   the release, and the version of the module beside hostsim\n";
  out << "\nExample: hostsim run QZ_Sel_Child --select Controls\n";
}

int RunSubcommand(const Subcommand& subcommand, const std::vector<std::string>& arguments, Console& console) {
  HelpText help = subcommand.help();
  if (WantsHelp(arguments)) {
    if (help.aboutArguments != nullptr) help.after = help.aboutArguments(arguments) + help.after;
    return PrintHelp(help, console.out);
  }
  return subcommand.run(ParseOptions(arguments, help.options, subcommand.maxPositional), console);
}

std::vector<std::string> SubcommandNames() {
  std::vector<std::string> names;
  for (const Subcommand* subcommand : kSubcommands) names.emplace_back(subcommand->name);
  return names;
}

const Subcommand& FindSubcommand(const std::string& name) {
  for (const Subcommand* subcommand : kSubcommands) {
    if (name == subcommand->name) return *subcommand;
  }
  throw UnknownChoice("subcommand", name, SubcommandNames());
}

int Dispatch(const std::string& name, const std::vector<std::string>& arguments, Console& console) {
  const bool helpOnHelp = name == "help" && (arguments.empty() || arguments[0] == "--help" || arguments[0] == "-h");
  if (name == "--help" || name == "-h" || helpOnHelp) {
    PrintUsage(console.out);
    return kExitDone;
  }
  if (name != "help") return RunSubcommand(FindSubcommand(name), arguments, console);
  if (arguments.size() > 1) throw CliError("unexpected argument '" + arguments[1] + "' (hostsim help SUBCOMMAND)");
  return RunSubcommand(FindSubcommand(arguments[0]), {"--help"}, console);
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, Console& console) {
  if (arguments.empty()) {
    PrintUsage(console.err);
    return kExitUsage;
  }
  const std::string& name = arguments[0];
  if (name == "--version") {
    if (arguments.size() > 1) {
      console.err << "hostsim: --version takes no further arguments\n";
      return kExitUsage;
    }
    return PrintVersion(console.out);
  }
  const std::vector<std::string> names = SubcommandNames();
  // An unknown subcommand is the program's error, not a subcommand's.
  const bool known = name == "help" || std::find(names.begin(), names.end(), name) != names.end();
  try {
    return Dispatch(name, std::vector<std::string>(arguments.begin() + 1, arguments.end()), console);
  } catch (const CliError& error) {
    console.err << "hostsim" << (known ? " " + name : std::string()) << ": " << error.what() << "\n";
    return error.status;
  }
}

}  // namespace hostsim
