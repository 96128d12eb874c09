#include "hostsim/cli/cli_run.h"

#include <memory>

#include "hostsim/cli/loading.h"
#include "hostsim/cli/run_report.h"
#include "hostsim/cli/run_step.h"
#include "hostsim/cli/svg_view.h"

namespace hostsim {

namespace {

const OptionSpec kSvgOption{"--svg", "FILE", false, "also draw the scene list before and after as an SVG picture"};

const std::vector<OptionSpec> kRunOptions = {kModuleOption,  kSceneOption,   kContentOption, kSelectOption,
                                             kUpdatesOption, kPatternOption, kKindOption,    kKeysOption,
                                             kDismissOption, kJsonOption,    kColorOption,   kSvgOption};

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

Exit status: 0 done, 1 the module broke the host's rules, 2 the request could not be
carried out.
)";

HelpText RunHelp() { return {"run COMMAND [options]", kRunAbout, kRunOptions, kRunAfterOptions}; }

int Run(const Options& options, Console& console) {
  const bool color = UseColor(options, console);
  const std::unique_ptr<ModuleLibrary> module = LoadModule(options);
  const LoadedScene loaded = LoadScene(options);
  const RunRecord record = Execute(*module, loaded, options);
  if (options.Has("--svg"))
    WriteRunSvg(options.Value("--svg"), loaded.scene,
                {record.command, record.mode, {record.before, record.after}, record.result, record.panel});
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
