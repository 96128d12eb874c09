#include "hostsim/validate/validate.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "hostsim/host/host.h"
#include "hostsim/host/module_library.h"
#include "hostsim/scene/examples.h"
#include "hostsim/scene/random_scene.h"
#include "hostsim/scene_file/demo_scene.h"

namespace hostsim {

namespace {

char g_step[512] = "";

// The two services each command must ask for before anything else, and
// answer with 2 when either is missing.
struct StartServices {
  const char* command;
  const char* first;
  const char* second;
};

const StartServices kStartServices[] = {
    {"QZ_Sel_Child", kItemInfoService, kInterfaceInfoService},
    {"QZ_Sel_Parent", kItemInfoService, kInterfaceInfoService},
    {"QZ_Sel_Descendant", kInterfaceInfoService, kItemInfoService},
    {"QZ_Sel_Hierarchy", kInterfaceInfoService, kItemInfoService},
    {"QZ_Sel_Sibling", kItemInfoService, kInterfaceInfoService},
    {"QZ_Sel_Throwback", kItemInfoService, kInterfaceInfoService},
    {"QZ_Sel_AllNulls", kObjectInfoService, kItemInfoService},
    {"QZ_Sel_AllObjects", kObjectInfoService, kItemInfoService},
    {"QZ_Add_Child", kItemInfoService, kInterfaceInfoService},
    {"QZ_Add_Parent", kItemInfoService, kInterfaceInfoService},
    {"QZ_Sel_ByName", kItemInfoService, kMessageService},
};

const char* const kExpectedCommands[] = {
    "QZ_Sel_Child",   "QZ_Sel_Parent",    "QZ_Sel_Descendant", "QZ_Sel_Hierarchy",
    "QZ_Sel_Sibling", "QZ_Sel_Throwback", "QZ_Sel_AllNulls",   "QZ_Sel_AllObjects",
    "QZ_Add_Child",   "QZ_Add_Parent",    "QZ_Sel_ByName",
};

constexpr UpdateMode kModes[] = {UpdateMode::Deferred, UpdateMode::Live, UpdateMode::Snapshot};

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

// One activation the checks ask for, and what it must come to.
struct Scenario {
  std::shared_ptr<const Scene> scene;
  std::string sceneLabel;
  std::optional<std::uint64_t> seed;
  std::vector<std::uint32_t> selection;
  UpdateMode mode = UpdateMode::Deferred;
  Faults faults;
  int expectedCode = 0;
  bool expectSilent = false;  // no line and no message
  // Further rules of one check; an empty answer means the run kept them.
  std::function<std::string(Host& host, const RunResult& result)> verify;
};

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

}  // namespace

class Validation {
 public:
  explicit Validation(const ValidateOptions& options) : options(options), demo(std::make_shared<Scene>(DemoScene())) {}

  const ValidateOptions& options;
  std::shared_ptr<const Scene> demo;
  std::unique_ptr<ModuleLibrary> module;
  std::vector<CheckResult> results;
  const Check* current = nullptr;

  void Report(CheckStatus status, std::string message, std::string command = "") {
    CheckResult result;
    result.check = current->name;
    result.status = status;
    result.command = std::move(command);
    result.message = std::move(message);
    results.push_back(std::move(result));
  }

  bool NeedModule() {
    if (module) return true;
    Report(CheckStatus::Skipped, "the module did not load");
    return false;
  }

  // Every command of the module through its scenarios; one result each,
  // naming the first run that broke the contract.
  void RunScenarios(const std::string& label,
                    const std::function<std::vector<Scenario>(const std::string& command)>& scenariosOf,
                    const char* whenNone = "nothing known to check for this command") {
    if (!NeedModule()) return;
    for (const CommandInfo& command : module->commands()) {
      const std::vector<Scenario> scenarios = scenariosOf(command.name);
      if (scenarios.empty()) {
        Report(CheckStatus::Skipped, whenNone, command.name);
        continue;
      }
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
        results.push_back(std::move(passed));
        continue;
      }
      if (failures > 1)
        first.message += " (and " + std::to_string(failures - 1) + " more failing run" + (failures > 2 ? "s)" : ")");
      results.push_back(std::move(first));
    }
  }

 private:
  std::string RunOne(const CommandInfo& command, const Scenario& scenario, const PanelUser& user) {
    std::snprintf(g_step, sizeof g_step, "check %s, %s on %s%s, %s updates", current->name, command.name.c_str(),
                  scenario.sceneLabel.c_str(),
                  scenario.seed ? (" (seed " + std::to_string(*scenario.seed) + ")").c_str() : "",
                  UpdateModeName(scenario.mode));
    Host host(*scenario.scene);
    host.SetUpdateMode(scenario.mode);
    host.faults() = scenario.faults;
    host.panels().user() = user;
    host.Select(scenario.selection);
    const RunResult result = host.Run(command.activate);
    g_step[0] = '\0';
    if (!result.protocolErrors.empty()) return "protocol error: " + result.protocolErrors.front();
    if (result.code != scenario.expectedCode)
      return "returned " + std::to_string(result.code) + ", expected " + std::to_string(scenario.expectedCode);
    if (scenario.expectSilent && !result.lines.empty()) return "sent '" + result.lines.front() + "'";
    if (scenario.expectSilent && !result.messages.empty()) return "showed '" + result.messages.front().text + "'";
    return scenario.verify ? scenario.verify(host, result) : "";
  }
};

namespace {

// ---- selections -----------------------------------------------------------

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

// Scene i from seed + i, with `picks` random selections, in every mode.
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

// ---- the checks -------------------------------------------------------------

void CheckLoad(Validation& validation) {
  try {
    validation.module = ModuleLibrary::Open(validation.options.modulePath);
    validation.Report(CheckStatus::Passed, "sync " + Hex32(validation.module->descriptor().sync) + ", version " +
                                               std::to_string(validation.module->descriptor().version));
  } catch (const LoadError& error) {
    validation.Report(CheckStatus::Failed, error.what());
  }
}

void CheckDescriptor(Validation& validation) {
  if (!validation.NeedModule()) return;
  const std::uint32_t machine = validation.module->descriptor().machine;
  if (machine == kModuleMachineType)
    validation.Report(CheckStatus::Passed, "machine type " + Hex32(machine));
  else
    validation.Report(CheckStatus::Failed,
                      "machine type " + Hex32(machine) + ", expected " + Hex32(kModuleMachineType));
}

void CheckCommandTable(Validation& validation) {
  if (!validation.NeedModule()) return;
  const std::vector<CommandInfo>& commands = validation.module->commands();
  const std::size_t expected = sizeof kExpectedCommands / sizeof kExpectedCommands[0];
  for (std::size_t index = 0; index < commands.size() || index < expected; ++index) {
    const std::string position = "entry " + std::to_string(index + 1) + ": ";
    if (index >= commands.size()) {
      validation.Report(CheckStatus::Failed, position + "the table ends before " + kExpectedCommands[index]);
      return;
    }
    const CommandInfo& command = commands[index];
    if (index >= expected || command.name != kExpectedCommands[index]) {
      validation.Report(CheckStatus::Failed, position + "'" + command.name + "', expected " +
                                                 (index < expected ? "'" + std::string(kExpectedCommands[index]) + "'"
                                                                   : std::string("the end of the table")));
      return;
    }
    if (command.className != kCommandClass) {
      validation.Report(CheckStatus::Failed, position + command.name + " has class '" + command.className +
                                                 "', expected '" + kCommandClass + "'");
      return;
    }
  }
  validation.Report(CheckStatus::Passed,
                    std::to_string(commands.size()) + " commands of class LayoutGeneric, in order");
}

void CheckCommandTags(Validation& validation) {
  if (!validation.NeedModule()) return;
  const CommandEntry* table = validation.module->descriptor().commands;
  for (std::size_t index = 0; index < validation.module->commands().size(); ++index) {
    const CommandInfo& command = validation.module->commands()[index];
    const bool right =
        command.tags.size() == 1 && command.tags[0].first == "DArover" && command.tags[0].second == 0x00020000u;
    if (!right) {
      validation.Report(CheckStatus::Failed, "does not carry exactly the tag \"DArover\" 0x00020000", command.name);
      return;
    }
    if (table[index].tags != table[0].tags) {
      validation.Report(CheckStatus::Failed, "has a tag list of its own instead of the shared one", command.name);
      return;
    }
  }
  validation.Report(CheckStatus::Passed, "every command tagged \"DArover\" 0x00020000 from one list");
}

void CheckLoadUnload(Validation& validation) {
  if (!validation.NeedModule()) return;
  validation.module.reset();
  std::string problem;
  for (int round = 1; round <= 3 && problem.empty(); ++round) {
    try {
      const std::unique_ptr<ModuleLibrary> module = ModuleLibrary::Open(validation.options.modulePath);
      if (!module->commands().empty()) {
        std::snprintf(g_step, sizeof g_step, "check load-unload, load %d", round);
        Host host(*validation.demo);
        host.Select({validation.demo->At(validation.demo->FirstOfKind(Kind::Object)).id});
        // Whether the run kept the rules is for the other checks; here it
        // must only come back, after a fresh load.
        host.Run(module->commands()[0].activate);
        g_step[0] = '\0';
      }
    } catch (const LoadError& error) {
      problem = "load " + std::to_string(round) + ": " + error.what();
    }
  }
  try {
    validation.module = ModuleLibrary::Open(validation.options.modulePath);
  } catch (const LoadError& error) {
    if (problem.empty()) problem = std::string("load after unloading: ") + error.what();
  }
  if (problem.empty())
    validation.Report(CheckStatus::Passed, "loaded, started, shut down and unloaded 3 times");
  else
    validation.Report(CheckStatus::Failed, problem);
}

void CheckMissingServices(Validation& validation) {
  validation.RunScenarios(std::string(kDemoSceneName) + " without either", [&validation](const std::string& command) {
    std::vector<Scenario> scenarios;
    for (const StartServices& start : kStartServices) {
      if (command != start.command) continue;
      for (const char* missing : {start.first, start.second}) {
        for (const UpdateMode mode : kModes) {
          Scenario scenario;
          scenario.scene = validation.demo;
          scenario.sceneLabel = std::string(kDemoSceneName) + " without \"" + missing + "\"";
          scenario.selection = {0x10000000u, 0x10000001u};
          scenario.mode = mode;
          scenario.faults.missingServices = {missing};
          scenario.expectedCode = 2;
          scenario.expectSilent = true;
          scenarios.push_back(std::move(scenario));
        }
      }
    }
    return scenarios;
  });
}

void CheckDemoScene(Validation& validation) {
  validation.RunScenarios(kDemoSceneName,
                          [&validation](const std::string&) { return DemoScenarios(validation, true, {}); });
}

void CheckRandomScenes(Validation& validation) {
  const std::vector<Scenario> scenarios = RandomScenarios(validation, 4);
  validation.RunScenarios(std::to_string(validation.options.randomScenes) + " random scenes from seed " +
                              std::to_string(validation.options.seed),
                          [&scenarios](const std::string&) { return scenarios; });
}

void CheckHighIdBits(Validation& validation) {
  Faults faults;
  faults.idHighBits = sizeof(ItemId) >= 8 ? 0xABCD0000ull << 32 : 0;
  validation.RunScenarios(kDemoSceneName, [&](const std::string&) { return DemoScenarios(validation, false, faults); });
}

void CheckNullNames(Validation& validation) {
  Faults faults;
  faults.nullNames = true;
  validation.RunScenarios(kDemoSceneName, [&](const std::string&) { return DemoScenarios(validation, false, faults); });
}

// ---- panels -------------------------------------------------------------------

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
std::string PanelRules(Host& host, const RunResult& result, std::optional<PanelValues>& remembered) {
  const PanelRecord* panel = host.panels().last();
  if (panel == nullptr) return "opened no panel this time";
  if (!panel->openResult) return "never opened the panel it created";
  const PanelValues shown = ValuesOf(panel->shown);
  if (remembered && !(shown == *remembered))
    return "the panel showed " + Describe(shown) + ", not the last confirmed " + Describe(*remembered);
  if (*panel->openResult == 0) {
    if (!result.lines.empty()) return "sent '" + result.lines.front() + "' after the panel was dismissed";
    if (!result.messages.empty()) return "showed '" + result.messages.front().text + "' after the panel was dismissed";
    return "";
  }
  remembered = ValuesOf(panel->controls);
  const bool selected = std::any_of(result.lines.begin(), result.lines.end(), Selects);
  for (const Message& message : result.messages) {
    if (message.text != "Not Found" || message.secondText) return "showed '" + message.text + "'";
  }
  if (selected && !result.messages.empty()) return "showed 'Not Found' but selected items";
  if (!selected && result.messages.size() != 1) return "selected nothing without showing 'Not Found' once";
  return "";
}

bool OpensPanel(const Validation& validation, const std::string& command) {
  const CommandInfo* info = validation.module->Find(command);
  Host host(*validation.demo);
  host.panels().user() = PanelUser().Dismisses();
  host.Run(info->activate);
  return host.panels().createCalls() > 0;
}

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
      "opens no panel");
}

const std::vector<Check> kChecks = {
    {"load",
     "The file loads with the platform's loader and exports _mod_descrip, whose sync value is 0x04121994 "
     "and interface version 3; its command table is terminated and its start-up routine returns a token.",
     CheckLoad},
    {"descriptor", "The descriptor's machine type is 0x300.", CheckDescriptor},
    {"command-table", "The command table lists the eleven commands in their order, each of class LayoutGeneric.",
     CheckCommandTable},
    {"command-tags", "Every command carries the one tag \"DArover\" with code 0x00020000, from one shared list.",
     CheckCommandTags},
    {"load-unload", "The module loads, starts, runs a command, shuts down and unloads three times in a row.",
     CheckLoadUnload},
    {"missing-services",
     "With either of the two services a command looks up first missing, it returns 2 and "
     "sends and shows nothing, in every update mode.",
     CheckMissingServices},
    {"demo-scene",
     "On the demo scene, with no selection, every single item, random selections and everything "
     "selected, in every update mode: result 0 and no protocol error (every id, line and host "
     "context it hands back is one the host gave).",
     CheckDemoScene},
    {"random-scenes",
     "The same on seeded random scenes; scene i comes from seed + i and can be saved with "
     "'hostsim save FILE --random SEED'.",
     CheckRandomScenes},
    {"high-id-bits",
     "The demo runs again with ids whose upper 32 bits are set: the module must hand them back "
     "whole and write only the low 32 bits into lines.",
     CheckHighIdBits},
    {"null-names",
     "The demo runs again with the host giving no name and no file name (null): no crash, result "
     "0, no protocol error.",
     CheckNullNames},
    {"panel",
     "A command that opens a panel meets a scripted user who types, presses keys, confirms or "
     "dismisses, on the demo scene and on random scenes, in every update mode: the panel is "
     "destroyed before the command returns; dismissed, nothing is sent or shown; confirmed, "
     "'Not Found' is shown exactly when nothing was selected; each panel first shows what the "
     "last confirmed one held.",
     CheckPanel},
};

}  // namespace

const char* CheckStatusName(CheckStatus status) {
  switch (status) {
    case CheckStatus::Passed: return "passed";
    case CheckStatus::Failed: return "failed";
    case CheckStatus::Skipped: return "skipped";
  }
  return "?";
}

const std::vector<Check>& Checks() { return kChecks; }

std::vector<CheckResult> Validate(const ValidateOptions& options) {
  Validation validation(options);
  for (const Check& check : kChecks) {
    validation.current = &check;
    check.run(validation);
  }
  return std::move(validation.results);
}

const char* CurrentValidationStep() { return g_step; }

}  // namespace hostsim
