#include "hostsim/cli/cli_run.h"

#include <memory>

#include "hostsim/cli/loading.h"
#include "hostsim/cli/run_report.h"
#include "hostsim/cli/run_step.h"

namespace hostsim {

namespace {

const std::vector<OptionSpec> kRunOptions = {kModuleOption,  kSceneOption,   kContentOption, kSelectOption,
                                             kUpdatesOption, kPatternOption, kKindOption,    kKeysOption,
                                             kDismissOption, kJsonOption,    kColorOption};

HelpText RunHelp() {
  return {"run COMMAND [options]",
          "Runs one command of the module on a scene as the host would, and prints the result\n"
          "code, every line the command sent, the messages it showed, and the scene as a tree\n"
          "with the selection before and after marked by each item's place in it.\n",
          kRunOptions,
          "\nItems are named as 'hostsim list' shows them: by name, or by id (10000004 or 0x10000004)\n"
          "where a name is not unique.\n"
          "\nA panel the command opens (QZ_Sel_ByName asks for a pattern and a kind) meets a scripted\n"
          "user: it chooses --kind, types --pattern (at most 127 bytes), presses --keys in order,\n"
          "then confirms, or cancels with --dismiss. Without these it just confirms what is shown.\n"
          "\nExit status: 0 done, 1 the module broke the host's rules, 2 the request could not be\n"
          "carried out.\n"};
}

int Run(const Options& options, Console& console) {
  const bool color = UseColor(options, console);
  const std::unique_ptr<ModuleLibrary> module = LoadModule(options);
  const LoadedScene loaded = LoadScene(options);
  const RunRecord record = Execute(*module, loaded, options);
  if (options.Has("--json"))
    PrintRunJson(record, loaded, *module, console.out);
  else
    PrintRunText(record, loaded, color, console.out);
  return record.result.protocolErrors.empty() ? kExitDone : kExitFailed;
}

}  // namespace

const Subcommand kRunSubcommand = {"run", "run one command of the module on a scene and show what it selected", RunHelp,
                                   1, Run};

}  // namespace hostsim
