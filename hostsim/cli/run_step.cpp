#include "hostsim/cli/run_step.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

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

struct KindKey {
  const char* name;
  char key;
};
const KindKey kKindKeys[] = {{"object", '1'}, {"light", '2'}, {"camera", '3'}, {"bone", '4'}};

std::uint32_t ParseKey(const std::string& text) {
  if (text.size() == 1) return static_cast<unsigned char>(text[0]);
  if (text == "tab") return 9;
  if (text == "enter") return 13;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    if (const std::optional<std::uint32_t> code = ParseHex(std::string_view(text).substr(2))) return *code;
  }
  throw CliError("unknown key '" + text + "' (valid: one character such as 4, tab, enter, or a code such as 0x64)");
}

// The kind first, as it sits above the field; then the typing, then any
// further keys; then OK or Cancel.
PanelUser ScriptedUser(const Options& options) {
  PanelUser user;
  if (options.Has("--kind")) {
    const std::string kind = options.Value("--kind");
    const auto found = std::find_if(std::begin(kKindKeys), std::end(kKindKeys),
                                    [&kind](const KindKey& known) { return kind == known.name; });
    if (found == std::end(kKindKeys))
      throw CliError("unknown kind '" + kind + "' (valid: object, light, camera, bone)");
    user.PressesToChoose(static_cast<std::uint32_t>(found->key), static_cast<std::int32_t>(found - kKindKeys));
  }
  if (options.Has("--pattern")) {
    const std::string pattern = options.Value("--pattern");
    if (pattern.size() > kLongestPattern)
      throw CliError("--pattern is " + std::to_string(pattern.size()) + " bytes; the panel's field holds at most " +
                     std::to_string(kLongestPattern));
    user.Types(pattern);
  }
  for (const std::string& key : options.All("--keys")) user.Presses(ParseKey(key));
  if (!options.Has("--dismiss")) user.Confirms();
  return user;
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

std::vector<std::string> CommandNames(const ModuleLibrary& module) {
  std::vector<std::string> names;
  for (const CommandInfo& command : module.commands()) names.push_back(command.name);
  return names;
}

}  // namespace

LoadedScene LoadRunScene(const Options& options) {
  if (!options.Has("--random")) return LoadScene(options);
  if (options.Has("--scene")) throw CliError("give --scene or --random, not both");
  const std::string text = options.Value("--random");
  const std::optional<std::uint64_t> seed = ParseUnsigned(text);
  if (!seed) throw CliError("--random needs a number, not '" + text + "'");
  return {RandomScene(*seed), "random scene of seed " + std::to_string(*seed)};
}

RunRecord Execute(const ModuleLibrary& module, const LoadedScene& loaded, const Options& options, StepListener& steps,
                  const std::string& prefix) {
  RunRecord record;
  if (options.positional.empty()) throw CliError("which command? (valid: " + JoinedChoices(CommandNames(module)) + ")");
  record.command = options.positional[0];
  if (module.Find(record.command) == nullptr)
    throw CliError("unknown command '" + record.command + "' (valid: " + JoinedChoices(CommandNames(module)) + ")");
  const std::string updates = options.Value("--updates", "deferred");
  const std::optional<UpdateMode> mode = ParseUpdateMode(updates);
  if (!mode) throw CliError("unknown update mode '" + updates + "' (valid: deferred, live, snapshot)");
  record.mode = *mode;
  for (const std::string& name : options.All("--select"))
    record.before.push_back(ResolveItem(loaded.scene, name, loaded.label));

  const Faults faults = ParseFaults(options);
  record.faults = FaultNames(faults);

  record.scriptedPanel = HasPanelOptions(options);
  const PanelUser user = ScriptedUser(options);

  Host host(loaded.scene);
  host.SetUpdateMode(record.mode);
  host.faults() = faults;
  host.panels().user() = user;
  host.Select(record.before);
  record.before = host.selection();
  std::string step = prefix + record.command + " on " + loaded.label + ", " + UpdateModeName(record.mode) + " updates";
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

}  // namespace hostsim
