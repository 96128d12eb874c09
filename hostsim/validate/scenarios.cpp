#include "hostsim/validate/scenarios.h"

#include <algorithm>

#include "hostsim/scene/examples.h"
#include "hostsim/scene/random_scene.h"
#include "hostsim/scene_file/demo_scene.h"
#include "hostsim/validate/wire.h"

namespace hostsim {

namespace {

const char* const kPanelCommands[] = {"QZ_Sel_ByName"};

// What the user does in any panel a command opens, taken in turn by the runs
// of every check: each kind, wildcards, the object.bone form, a name nothing
// has, the longest pattern the field takes, keys the panel leaves alone, tab
// and enter, and a cancel. Each is one "hostsim run" can play too.
const PanelScript& ScriptFor(std::size_t run) {
  static const PanelScript kScripts[] = {
      {"object", "*", {}, false},
      {"light", "*", {}, false},
      {"camera", "?*", {}, false},
      {"bone", "*", {}, false},
      {nullptr, "*.*", {}, false},
      {"bone", "no item has this name", {'5', 0x1B}, false},
      {nullptr, std::string(127, '*'), {}, false},
      // Enter closes the panel; where it does not, the user cancels.
      {nullptr, "?", {'\t', '\r'}, true},
      {"light", "*", {}, true},
  };
  return kScripts[run % (sizeof kScripts / sizeof kScripts[0])];
}

std::vector<std::vector<std::uint32_t>> DemoSelections(const Scene& scene, std::uint64_t seed, bool thorough) {
  std::vector<std::vector<std::uint32_t>> selections = {{}};
  std::vector<std::uint32_t> all;
  for (const Item& item : scene.items()) {
    if (item.id == 0) continue;
    all.push_back(item.id);
    if (thorough) selections.push_back({item.id});
  }
  SplitMix64 random(seed);
  for (int extra = 0; extra < (thorough ? 8 : 3); ++extra) selections.push_back(RandomSelection(scene, random));
  selections.push_back(all);
  return selections;
}

}  // namespace

bool ShouldOpenPanel(const std::string& command) {
  return std::find(std::begin(kPanelCommands), std::end(kPanelCommands), command) != std::end(kPanelCommands);
}

Validation::Validation(const ValidateOptions& options, const UserScenes& userScenes, ChildReporter* reporter)
    : options(options), demo(std::make_shared<Scene>(DemoScene())), userScenes(userScenes), reporter_(reporter) {}

void Validation::Report(CheckStatus status, std::string message, std::string command) {
  CheckResult result;
  result.check = current->name;
  result.status = status;
  result.command = std::move(command);
  result.message = std::move(message);
  if (status == CheckStatus::Failed) result.replay = ValidateReplay(options, current->name);
  results.push_back(std::move(result));
}

bool Validation::NeedModule() {
  if (module) return true;
  Report(CheckStatus::Skipped, "the module did not load");
  return false;
}

void Validation::Starting(const std::string& step, CheckResult where) const {
  if (reporter_ != nullptr) {
    where.check = current->name;
    reporter_->Note(WireWriter().Put(step).Put(where).text());
  }
  if (options.steps != nullptr) options.steps->Starting(step);
}

void Validation::Finished() const {
  if (options.steps != nullptr) options.steps->Finished();
}

Activation Validation::ActivationOf(const std::string& command, const Scenario& scenario) {
  // No panel script yet: the caller adds one where the command meets a panel.
  return {command, scenario.sceneFile, scenario.seed, scenario.mode, scenario.selection, scenario.faults, nullptr};
}

CheckResult Validation::ResultOf(const std::string& command, const Scenario& scenario) const {
  CheckResult result;
  result.check = current->name;
  result.command = command;
  result.scene = scenario.sceneLabel;
  result.seed = scenario.seed;
  result.updates = UpdateModeName(scenario.mode);
  result.selection = scenario.selection;
  return result;
}

void Validation::RunScenarios(const std::string& label,
                              const std::function<std::vector<Scenario>(const std::string& command)>& scenariosOf,
                              const char* whenNone, bool (*mustHave)(const std::string& command)) {
  if (!NeedModule()) return;
  for (std::size_t place = 0; place < module->commands().size(); ++place) {
    if (onlyCommand && *onlyCommand != place) continue;
    const CommandInfo& command = module->commands()[place];
    const std::vector<Scenario> scenarios = scenariosOf(command.name);
    if (!scenarios.empty())
      results.push_back(ResultOf(command, scenarios, label));
    else if (mustHave != nullptr && mustHave(command.name))
      Report(CheckStatus::Failed, whenNone, command.name);
    else
      Report(CheckStatus::Skipped, whenNone, command.name);
  }
}

CheckResult Validation::ResultOf(const CommandInfo& command, const std::vector<Scenario>& scenarios,
                                 const std::string& label) {
  std::size_t failures = 0;
  CheckResult first;
  for (std::size_t index = 0; index < scenarios.size(); ++index) {
    const Scenario& scenario = scenarios[index];
    const PanelScript& script = ScriptFor(index);
    bool openedPanel = false;
    const Verdict verdict = RunOne(command, scenario, script, openedPanel);
    if (verdict.problem.empty() || failures++ > 0) continue;
    first = ResultOf(command.name, scenario);
    first.status = CheckStatus::Failed;
    first.message = verdict.problem;
    Activation activation = ActivationOf(command.name, scenario);
    if (openedPanel || ShouldOpenPanel(command.name)) activation.script = &script;
    if (!verdict.needsEarlierRuns) first.replay = RunReplay(options, activation);
    if (first.replay.empty()) first.replay = ValidateReplay(options, current->name);
  }
  if (failures == 0) {
    CheckResult passed;
    passed.check = current->name;
    passed.command = command.name;
    passed.scene = label;
    passed.message = std::to_string(scenarios.size()) + (scenarios.size() == 1 ? " run" : " runs");
    return passed;
  }
  if (failures > 1)
    first.message += " (and " + std::to_string(failures - 1) + " more failing run" + (failures > 2 ? "s)" : ")");
  return first;
}

Verdict Validation::RunOne(const CommandInfo& command, const Scenario& scenario, const PanelScript& script,
                           bool& openedPanel) {
  CheckResult where = ResultOf(command.name, scenario);
  Activation activation = ActivationOf(command.name, scenario);
  if (ShouldOpenPanel(command.name)) activation.script = &script;
  where.replay = RunReplay(options, activation);
  Starting(std::string("check ") + current->name + ", " + command.name + " on " + scenario.sceneLabel +
               (scenario.seed ? " (seed " + std::to_string(*scenario.seed) + ")" : "") + ", " +
               UpdateModeName(scenario.mode) + " updates",
           where);
  Host host(*scenario.scene);
  host.SetUpdateMode(scenario.mode);
  host.faults() = scenario.faults;
  host.panels().user() = script.User();
  host.Select(scenario.selection);
  const RunResult result = host.Run(command.activate);
  Finished();
  openedPanel = host.panels().createCalls() > 0;
  if (!result.protocolErrors.empty()) return {"protocol error: " + result.protocolErrors.front()};
  if (result.code != scenario.expectedCode)
    return {"returned " + std::to_string(result.code) + ", expected " + std::to_string(scenario.expectedCode)};
  if (scenario.expectSilent && !result.lines.empty()) return {"sent '" + result.lines.front() + "'"};
  if (scenario.expectSilent && !result.messages.empty()) return {"showed '" + result.messages.front().text + "'"};
  return scenario.verify ? scenario.verify(host, result) : Verdict();
}

std::vector<Scenario> SceneScenarios(const std::shared_ptr<const Scene>& scene, const std::string& label,
                                     const std::string& file, std::uint64_t seed, bool thorough, const Faults& faults) {
  std::vector<Scenario> scenarios;
  for (const auto& selection : DemoSelections(*scene, seed, thorough)) {
    // Every run of a scene is expected to answer 0; the check adds its own rules.
    for (const UpdateMode mode : kModes)
      scenarios.push_back({scene, label, file, std::nullopt, selection, mode, faults, 0, false, nullptr});
  }
  return scenarios;
}

std::vector<Scenario> DemoScenarios(const Validation& validation, bool thorough, const Faults& faults) {
  return SceneScenarios(validation.demo, kDemoSceneName, "", validation.options.seed, thorough, faults);
}

std::vector<Scenario> RandomScenarios(const Validation& validation, int picks) {
  std::vector<Scenario> scenarios;
  for (int index = 0; index < validation.options.randomScenes; ++index) {
    const std::uint64_t seed = validation.options.seed + static_cast<std::uint64_t>(index);
    auto scene = std::make_shared<const Scene>(RandomScene(seed));
    SplitMix64 random(seed ^ 0x5E1EC7u);
    for (int pick = 0; pick < picks; ++pick) {
      const std::vector<std::uint32_t> selection = RandomSelection(*scene, random);
      for (const UpdateMode mode : kModes) {
        Scenario scenario;
        scenario.scene = scene;
        scenario.sceneLabel = "random scene";
        scenario.seed = seed;
        scenario.selection = selection;
        scenario.mode = mode;
        scenarios.push_back(std::move(scenario));
      }
    }
  }
  return scenarios;
}

}  // namespace hostsim
