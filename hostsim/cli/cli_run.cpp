#include "hostsim/cli/cli_run.h"

#include <algorithm>
#include <memory>

#include "hostsim/cli/loading.h"
#include "hostsim/cli/run_report.h"
#include "hostsim/cli/run_step.h"
#include "hostsim/cli/svg_view.h"
#include "hostsim/cli/watchdog.h"

namespace hostsim {

namespace {

const OptionSpec kSvgOption{"--svg", "FILE", false, "also draw the scene list before and after as an SVG picture"};

const std::vector<OptionSpec> kRunOptions = {
    kModuleOption,  kSceneOption, kContentOption, kSelectOption, kUpdatesOption, kPatternOption,
    kKindOption,    kKeysOption,  kDismissOption, kJsonOption,   kColorOption,   kNoTreeOption,
    kSvgOption,     kRandomOption, kFaultOption,  kTimeoutOption};

// The paragraphs of "hostsim run --help", as they print.
constexpr char kRunAbout[] = R"(Runs one command of the module on a scene as the host would, and prints the result
code, every line the command sent, the messages it showed, and the scene as a tree
with the selection before and after marked by each item's place in it.
)";

// And what it prints below the options.
constexpr char kRunAfterOptions[] = R"(
Items are named as 'hostsim list' shows them: by name, or by id (10000004 or 0x10000004)
where a name is not unique. Names are matched case-sensitively; option values are not.

A panel the command opens (QZ_Sel_ByName asks for a pattern and a kind) meets a scripted
user: it chooses --kind, types --pattern (at most 127 bytes), presses --keys in order,
then confirms, or cancels with --dismiss. Without these it just confirms what is shown.
A command that sends or shows anything after its panel was dismissed breaks the rules.

--updates all runs the command in each mode on a freshly loaded module and marks with *
what differs between them. Measured on random and real scenes, live changes what
QZ_Sel_Child and QZ_Add_Child select, and QZ_Sel_Descendant, QZ_Sel_Sibling and
QZ_Sel_Throwback differ only in lines sent again for items already added; the other
commands agree in every mode.

Exit status: 0 done, 1 the module broke the host's rules, crashed, or did not return
within --timeout, 2 the request could not be carried out.
)";

// The commands of the module the run would load, as far as the arguments
// beside --help say which.
std::string ModuleCommands(const std::vector<std::string>& arguments) {
  std::vector<std::string> rest;
  for (const std::string& argument : arguments) {
    if (argument != "--help" && argument != "-h") rest.push_back(argument);
  }
  try {
    const std::unique_ptr<ModuleLibrary> module = LoadModule(ParseOptions(rest, kRunOptions, 1));
    std::string text = "\ncommands of " + module->path() + ":\n";
    for (const std::string& name : CommandNames(*module)) text += "  " + name + "\n";
    return text;
  } catch (const CliError& error) {
    return std::string("\ncommands: cannot list them: ") + error.what() + "\n";
  }
}

HelpText RunHelp() { return {"run COMMAND [options]", kRunAbout, kRunOptions, kRunAfterOptions, ModuleCommands}; }

int Run(const Options& options, Console& console) {
  const TextStyle style{UseColor(options, console), !options.Has("--no-tree")};
  const double timeout = ParseSeconds(options, "--timeout", kDefaultTimeoutSeconds);
  const std::unique_ptr<ModuleLibrary> module = LoadModule(options);
  const LoadedScene loaded = LoadRunScene(options);
  const RunRequest request = Prepare(*module, loaded, options);
  if (options.Has("--svg") && request.modes.size() != 1)
    throw CliError("--svg draws one run: choose one --updates mode for it");
  Watchdog watchdog(console.err, timeout, console.validationSteps);
  const std::vector<RunRecord> records = ExecuteEachMode(*module, loaded, request, watchdog, "hostsim run: ");
  if (options.Has("--svg")) {
    const RunRecord& record = records[0];
    WriteRunSvg(options.Value("--svg"), loaded.scene,
                {record.command, record.mode, {record.before, record.after}, record.result, record.panel});
  }
  if (options.Has("--json"))
    PrintRunJson(records, loaded, *module, console.out);
  else if (records.size() == 1)
    PrintRunText(records[0], loaded, style, console.out);
  else
    PrintModesText(records, loaded, style, console.out);
  const bool clean = std::all_of(records.begin(), records.end(),
                                 [](const RunRecord& record) { return record.result.protocolErrors.empty(); });
  return clean ? kExitDone : kExitFailed;
}

}  // namespace

const Subcommand kRunSubcommand = {"run", "run one command of the module on a scene and show what it selected", RunHelp,
                                   1, Run};

}  // namespace hostsim
