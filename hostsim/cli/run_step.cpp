#include "hostsim/cli/run_step.h"

#include <algorithm>
#include <cstdint>

#include "hostsim/cli/text.h"
#include "hostsim/scene/random_scene.h"
#include "hostsim/scene/text.h"

namespace hostsim {

const std::vector<OptionSpec> kStepOptions = {kSelectOption, kUpdatesOption, kPatternOption,
                                              kKindOption,   kKeysOption,    kDismissOption};

namespace {

// The panel's field hands the module at most this many bytes; a longer
// pattern could only arrive cut short, which would search for something else.
constexpr std::size_t kLongestPattern = 127;

constexpr char kAllModes[] = "all";

std::uint32_t ParseKey(const std::string& text) {
  // A character is itself, whatever its case: 'D' and 'd' are other keys.
  if (text.size() == 1) return static_cast<unsigned char>(text[0]);
  std::vector<std::string> names;
  for (const NamedKey& named : kNamedKeys) {
    if (EqualsIgnoringCase(text, named.name)) return named.key;
    names.emplace_back(named.name);
  }
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    if (const std::optional<std::uint32_t> code = ParseHex(std::string_view(text).substr(2))) return *code;
  }
  throw CliError("unknown key '" + text + "'" + DidYouMean(text, names) +
                 " (valid: one character such as 4, tab, enter, or a code such as 0x64)");
}

// The same script validate's panel check plays, so that its run lines replay it.
PanelScript ScriptOf(const Options& options) {
  PanelScript script;
  if (options.Has("--kind")) {
    std::vector<std::string> kinds;
    for (const PanelKind& known : kPanelKinds) kinds.emplace_back(known.name);
    // The panel counts nulls among the objects; a user thinking of the
    // outliner's kinds asks for them by name.
    const std::string asked = options.Value("--kind");
    if (EqualsIgnoringCase(asked, "null") || EqualsIgnoringCase(asked, "nulls"))
      throw CliError("the panel has no kind '" + asked +
                     "': nulls are objects to it, so use --kind object (valid: " + JoinedChoices(kinds) + ")");
    script.kind = FindPanelKind(ChooseIgnoringCase("kind", asked, kinds))->name;
  }
  if (options.Has("--pattern")) {
    const std::string pattern = options.Value("--pattern");
    if (pattern.size() > kLongestPattern)
      throw CliError("--pattern is " + std::to_string(pattern.size()) + " bytes; the panel's field holds at most " +
                     std::to_string(kLongestPattern));
    script.pattern = pattern;
  }
  for (const std::string& key : options.All("--keys")) script.keys.push_back(ParseKey(key));
  script.dismisses = options.Has("--dismiss");
  return script;
}

bool HasPanelOptions(const Options& options) {
  return options.Has("--pattern") || options.Has("--kind") || options.Has("--keys") || options.Has("--dismiss");
}

Faults ParseFaults(const Options& options) {
  Faults faults;
  for (const std::string& name : options.All("--fault")) {
    if (!AddFault(name, faults)) throw CliError("unknown fault '" + name + "' (valid: " + kFaultChoices + ")");
  }
  return faults;
}

// The one command a run line names. Items come after --select up to the next
// option, so a command written after them is taken for an item: say so
// rather than ask which command was meant.
std::string RequestedCommand(const ModuleLibrary& module, const Options& options) {
  const std::vector<std::string> commands = CommandNames(module);
  if (options.positional.empty()) {
    for (const char* many : {"--select", "--keys"}) {
      for (const std::string& value : options.All(many)) {
        const auto named = std::find_if(commands.begin(), commands.end(), [&value](const std::string& command) {
          return EqualsIgnoringCase(command, value);
        });
        if (named == commands.end()) continue;
        throw CliError(std::string(many) + " took the command name '" + value + "' as one of its values: put the " +
                       "command first (hostsim run " + *named + " " + many + " ...), or end " + many + " with --");
      }
    }
    throw CliError("which command? (valid: " + JoinedChoices(commands) + ")");
  }
  const std::string& command = options.positional[0];
  if (module.Find(command) == nullptr) throw UnknownChoice("command", command, commands);
  return command;
}

}  // namespace

std::vector<std::string> CommandNames(const ModuleLibrary& module) {
  std::vector<std::string> names;
  for (const CommandInfo& command : module.commands()) names.push_back(command.name);
  return names;
}

RunRequest Prepare(const ModuleLibrary& module, const LoadedScene& loaded, const Options& options) {
  RunRequest request;
  request.command = RequestedCommand(module, options);
  const std::string updates = ChooseIgnoringCase("update mode", options.Value("--updates", "deferred"),
                                                 {"deferred", "live", "snapshot", kAllModes});
  if (updates == kAllModes)
    request.modes = {UpdateMode::Deferred, UpdateMode::Live, UpdateMode::Snapshot};
  else
    request.modes = {*ParseUpdateMode(updates)};
  for (const std::string& name : options.All("--select"))
    request.before.push_back(ResolveItem(loaded.scene, name, loaded.label));
  request.faults = ParseFaults(options);
  request.scriptedPanel = HasPanelOptions(options);
  request.user = ScriptOf(options).User();
  return request;
}

LoadedScene LoadRunScene(const Options& options) {
  if (!options.Has("--random")) return LoadScene(options);
  if (options.Has("--scene")) throw CliError("give --scene or --random, not both");
  const std::string text = options.Value("--random");
  const std::optional<std::uint64_t> seed = ParseUnsigned(text);
  if (!seed) throw CliError("--random needs a number, not '" + text + "'");
  return {RandomScene(*seed), "random scene of seed " + std::to_string(*seed)};
}

RunRecord Execute(const ModuleLibrary& module, const LoadedScene& loaded, const RunRequest& request, UpdateMode mode,
                  StepListener& steps, const std::string& prefix) {
  RunRecord record;
  record.command = request.command;
  record.mode = mode;
  record.faults = FaultNames(request.faults);
  record.scriptedPanel = request.scriptedPanel;
  Host host(loaded.scene);
  host.SetUpdateMode(mode);
  host.faults() = request.faults;
  host.panels().user() = request.user;
  host.Select(request.before);
  record.before = host.selection();
  std::string step = prefix + record.command + " on " + loaded.label + ", " + UpdateModeName(mode) + " updates";
  for (const std::string& fault : record.faults) step += ", fault " + fault;
  steps.Starting(step);
  record.result = host.Run(module, record.command);
  steps.Finished();
  record.after = host.selection();
  if (const PanelRecord* panel = host.panels().last()) {
    record.panel = *panel;
    const std::string problem = DismissedPanelProblem(*panel, record.result);
    if (!problem.empty()) record.result.protocolErrors.push_back(problem);
  }
  return record;
}

std::vector<RunRecord> ExecuteEachMode(const ModuleLibrary& module, const LoadedScene& loaded,
                                       const RunRequest& request, StepListener& steps, const std::string& prefix) {
  std::vector<RunRecord> records;
  for (std::size_t index = 0; index < request.modes.size(); ++index) {
    if (index == 0) {
      records.push_back(Execute(module, loaded, request, request.modes[index], steps, prefix));
      continue;
    }
    const FreshModuleCopy fresh(module.path());
    records.push_back(Execute(fresh.module(), loaded, request, request.modes[index], steps, prefix));
  }
  return records;
}

}  // namespace hostsim
