#include "hostsim/validate/panel_rules.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "hostsim/scene/examples.h"
#include "hostsim/validate/scenarios.h"

namespace hostsim {

namespace {

struct PanelValues {
  std::string text;
  std::int32_t choice = 0;
  bool operator==(const PanelValues& other) const { return text == other.text && choice == other.choice; }
};

PanelValues ValuesOf(const std::vector<ControlRecord>& controls) {
  PanelValues values;
  for (const ControlRecord& control : controls) {
    if (control.typeName == kEditControlName) values.text = control.text;
    if (control.typeName == kChoiceControlName) values.choice = control.choice;
  }
  return values;
}

std::string Describe(const PanelValues& values) {
  return "\"" + values.text + "\" with item " + std::to_string(values.choice);
}

bool Selects(const std::string& line) {
  return line.compare(0, 11, "SelectItem ") == 0 || line.compare(0, 15, "AddToSelection ") == 0;
}

// The rules a panel run must keep. `remembered` is what the last confirmed
// panel held, which the next one must show: the module keeps it, and a
// dismissed panel must leave it alone.
Verdict PanelRules(Host& host, const RunResult& result, std::optional<PanelValues>& remembered) {
  const PanelRecord* panel = host.panels().last();
  if (panel == nullptr) return {"opened no panel this time"};
  if (!panel->openResult) return {"never opened the panel it created"};
  const PanelValues shown = ValuesOf(panel->shown);
  if (remembered && !(shown == *remembered))
    return {"the panel showed " + Describe(shown) + ", not the last confirmed " + Describe(*remembered), true};
  if (*panel->openResult == 0) return {DismissedPanelProblem(*panel, result)};
  remembered = ValuesOf(panel->controls);
  const bool selected = std::any_of(result.lines.begin(), result.lines.end(), Selects);
  for (const Message& message : result.messages) {
    if (message.text != "Not Found" || message.secondText) return {"showed '" + message.text + "'"};
  }
  if (selected && !result.messages.empty()) return {"showed 'Not Found' but selected items"};
  if (!selected && result.messages.size() != 1) return {"selected nothing without showing 'Not Found' once"};
  return {};
}

// A run with the user cancelling whatever panel opens.
bool OpensPanel(const Validation& validation, const std::string& command) {
  const CommandInfo* info = validation.module->Find(command);
  Scenario scenario;
  scenario.sceneLabel = kDemoSceneName;
  PanelScript dismiss;
  dismiss.dismisses = true;
  Activation activation = Validation::ActivationOf(command, scenario);
  activation.script = &dismiss;
  CheckResult where = validation.ResultOf(command, scenario);
  where.replay = RunReplay(validation.options, activation);
  validation.Starting(std::string("check panel, whether ") + command + " opens a panel", where);
  Host host(*validation.demo);
  host.panels().user() = dismiss.User();
  host.Run(info->activate);
  validation.Finished();
  return host.panels().createCalls() > 0;
}

}  // namespace

void CheckPanel(Validation& validation) {
  if (!validation.NeedModule()) return;
  std::vector<Scenario> scenes = DemoScenarios(validation, false, {});
  for (Scenario& scenario : RandomScenarios(validation, 1)) scenes.push_back(std::move(scenario));
  validation.RunScenarios(
      std::string(kDemoSceneName) + " and " + std::to_string(validation.options.randomScenes) + " random scenes",
      [&validation, &scenes](const std::string& command) {
        if (!OpensPanel(validation, command)) return std::vector<Scenario>();
        auto remembered = std::make_shared<std::optional<PanelValues>>();
        std::vector<Scenario> scenarios = scenes;
        for (Scenario& scenario : scenarios)
          scenario.verify = [remembered](Host& host, const RunResult& result) {
            return PanelRules(host, result, *remembered);
          };
        return scenarios;
      },
      "opens no panel", ShouldOpenPanel);
}

}  // namespace hostsim
