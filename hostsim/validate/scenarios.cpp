#include "hostsim/validate/scenarios.h"

#include "hostsim/scene/examples.h"
#include "hostsim/scene/random_scene.h"
#include "hostsim/scene_file/demo_scene.h"

namespace hostsim {

namespace {

// What the user does in any panel a command opens, taken in turn by the runs
// of every check: each kind, wildcards, the object.bone form, a name nothing
// has, the longest pattern the field takes, keys the panel leaves alone,
// enter, and a cancel.
PanelUser ScriptedUser(std::size_t run) {
  switch (run % 9) {
    case 0: return PanelUser().Presses('1').Types("*").Confirms();
    case 1: return PanelUser().Presses('2').Types("*").Confirms();
    case 2: return PanelUser().Presses('3').Types("?*").Confirms();
    case 3: return PanelUser().Presses('4').Types("*").Confirms();
    case 4: return PanelUser().Types("*.*").Confirms();
    case 5: return PanelUser().Presses('4').Types("no item has this name").Presses('5').Presses(0x1B).Confirms();
    case 6: return PanelUser().Types(std::string(127, '*')).Confirms();
    case 7: return PanelUser().Presses('\t').Types("?").Presses('\r');
    default: return PanelUser().Presses('2').Types("*").Dismisses();
  }
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

Validation::Validation(const ValidateOptions& options) : options(options), demo(std::make_shared<Scene>(DemoScene())) {}

void Validation::Report(CheckStatus status, std::string message, std::string command) {
  CheckResult result;
  result.check = current->name;
  result.status = status;
  result.command = std::move(command);
  result.message = std::move(message);
  results.push_back(std::move(result));
}

bool Validation::NeedModule() {
  if (module) return true;
  Report(CheckStatus::Skipped, "the module did not load");
  return false;
}

void Validation::Starting(const std::string& step) const {
  if (options.steps != nullptr) options.steps->Starting(step);
}

void Validation::Finished() const {
  if (options.steps != nullptr) options.steps->Finished();
}

void Validation::RunScenarios(const std::string& label,
                              const std::function<std::vector<Scenario>(const std::string& command)>& scenariosOf,
                              const char* whenNone) {
  if (!NeedModule()) return;
  for (const CommandInfo& command : module->commands()) {
    const std::vector<Scenario> scenarios = scenariosOf(command.name);
    if (scenarios.empty())
      Report(CheckStatus::Skipped, whenNone, command.name);
    else
      results.push_back(ResultOf(command, scenarios, label));
  }
}

CheckResult Validation::ResultOf(const CommandInfo& command, const std::vector<Scenario>& scenarios,
                                 const std::string& label) {
  std::size_t failures = 0;
  CheckResult first;
  for (std::size_t index = 0; index < scenarios.size(); ++index) {
    const Scenario& scenario = scenarios[index];
    const std::string problem = RunOne(command, scenario, ScriptedUser(index));
    if (problem.empty() || failures++ > 0) continue;
    first.check = current->name;
    first.status = CheckStatus::Failed;
    first.command = command.name;
    first.scene = scenario.sceneLabel;
    first.seed = scenario.seed;
    first.updates = UpdateModeName(scenario.mode);
    first.selection = scenario.selection;
    first.message = problem;
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

std::string Validation::RunOne(const CommandInfo& command, const Scenario& scenario, const PanelUser& user) {
  Starting(std::string("check ") + current->name + ", " + command.name + " on " + scenario.sceneLabel +
           (scenario.seed ? " (seed " + std::to_string(*scenario.seed) + ")" : "") + ", " +
           UpdateModeName(scenario.mode) + " updates");
  Host host(*scenario.scene);
  host.SetUpdateMode(scenario.mode);
  host.faults() = scenario.faults;
  host.panels().user() = user;
  host.Select(scenario.selection);
  const RunResult result = host.Run(command.activate);
  Finished();
  if (!result.protocolErrors.empty()) return "protocol error: " + result.protocolErrors.front();
  if (result.code != scenario.expectedCode)
    return "returned " + std::to_string(result.code) + ", expected " + std::to_string(scenario.expectedCode);
  if (scenario.expectSilent && !result.lines.empty()) return "sent '" + result.lines.front() + "'";
  if (scenario.expectSilent && !result.messages.empty()) return "showed '" + result.messages.front().text + "'";
  return scenario.verify ? scenario.verify(host, result) : "";
}

std::vector<Scenario> DemoScenarios(const Validation& validation, bool thorough, const Faults& faults) {
  std::vector<Scenario> scenarios;
  for (const auto& selection : DemoSelections(*validation.demo, validation.options.seed, thorough)) {
    for (const UpdateMode mode : kModes) {
      Scenario scenario;
      scenario.scene = validation.demo;
      scenario.sceneLabel = kDemoSceneName;
      scenario.selection = selection;
      scenario.mode = mode;
      scenario.faults = faults;
      scenarios.push_back(std::move(scenario));
    }
  }
  return scenarios;
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
