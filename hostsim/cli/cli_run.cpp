#include "hostsim/cli/cli_run.h"

#include <memory>

#include "hostsim/cli/loading.h"
#include "hostsim/cli/run_report.h"
#include "hostsim/cli/run_step.h"
#include "hostsim/cli/watchdog.h"

namespace hostsim {

namespace {

const std::vector<OptionSpec> kRunOptions = {
    kModuleOption, kSceneOption,   kContentOption, kSelectOption, kUpdatesOption, kPatternOption, kKindOption,
    kKeysOption,   kDismissOption, kJsonOption,    kColorOption,  kRandomOption,  kFaultOption,   kTimeoutOption};

// The paragraphs of "hostsim run --help", as they print.
constexpr char kRunAbout[] = R"(Runs one command of the module on a scene as the host would, and prints the result
code, every line the command sent, the messages it showed, and the scene as a tree
with the selection before and after marked by each item's place in it.
)";

// And what it prints below the options.
constexpr char kRunAfterOptions[] = R"(
Items are named as 'hostsim list' shows them: by name, or by id (10000004 or 0x10000004)
where a name is not unique.

A panel the command opens (QZ_Sel_ByName asks for a pattern and a kind) meets a scripted
user: it chooses --kind, types --pattern (at most 127 bytes), presses --keys in order,
then confirms, or cancels with --dismiss. Without these it just confirms what is shown.
A command that sends or shows anything after its panel was dismissed breaks the rules.

Exit status: 0 done, 1 the module broke the host's rules, crashed, or did not return
within --timeout, 2 the request could not be carried out.
)";

HelpText RunHelp() { return {"run COMMAND [options]", kRunAbout, kRunOptions, kRunAfterOptions}; }

int Run(const Options& options, Console& console) {
  const bool color = UseColor(options, console);
  const double timeout = ParseSeconds(options, "--timeout", kDefaultTimeoutSeconds);
  const std::unique_ptr<ModuleLibrary> module = LoadModule(options);
  const LoadedScene loaded = LoadRunScene(options);
  Watchdog watchdog(console.err, timeout, console.validationSteps);
  const RunRecord record = Execute(*module, loaded, options, watchdog, "hostsim run: ");
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
