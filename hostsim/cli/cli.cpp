#include "hostsim/cli/cli.h"

#include "hostsim/cli/cli_list.h"
#include "hostsim/cli/cli_run.h"
#include "hostsim/cli/cli_save.h"
#include "hostsim/cli/cli_tour.h"
#include "hostsim/cli/cli_validate.h"
#include "hostsim/cli/options.h"
#include "hostsim/cli/text.h"

namespace hostsim {

namespace {

const Subcommand* const kSubcommands[] = {&kRunSubcommand, &kListSubcommand, &kValidateSubcommand, &kTourSubcommand,
                                          &kSaveSubcommand};

void PrintUsage(std::ostream& out) {
  out << "usage: hostsim SUBCOMMAND [options]   (hostsim SUBCOMMAND --help for its options)\n\n"
         "A stand-in for the host: it loads the selection module's file, answers its service\n"
         "lookups on a scene, runs its commands and shows every command line they send.\n\n";
  for (const Subcommand* subcommand : kSubcommands)
    out << PadRight(std::string("  ") + subcommand->name, 12) << subcommand->summary << "\n";
  out << "\nExample: hostsim run QZ_Sel_Child --select Controls\n";
}

int RunSubcommand(const Subcommand& subcommand, const std::vector<std::string>& arguments, Console& console) {
  const HelpText help = subcommand.help();
  if (WantsHelp(arguments)) return PrintHelp(help, console.out);
  return subcommand.run(ParseOptions(arguments, help.options, subcommand.maxPositional), console);
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, Console& console) {
  if (arguments.empty()) {
    PrintUsage(console.err);
    return kExitUsage;
  }
  const std::string& name = arguments[0];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintUsage(console.out);
    return kExitDone;
  }
  for (const Subcommand* subcommand : kSubcommands) {
    if (name != subcommand->name) continue;
    try {
      return RunSubcommand(*subcommand, std::vector<std::string>(arguments.begin() + 1, arguments.end()), console);
    } catch (const CliError& error) {
      console.err << "hostsim " << name << ": " << error.what() << "\n";
      return error.status;
    }
  }
  std::vector<std::string> valid;
  for (const Subcommand* subcommand : kSubcommands) valid.emplace_back(subcommand->name);
  console.err << "hostsim: unknown subcommand '" << name << "' (valid: " << JoinedChoices(valid) << ")\n";
  return kExitUsage;
}

}  // namespace hostsim
