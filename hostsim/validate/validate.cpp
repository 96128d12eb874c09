#include "hostsim/validate/validate.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>

#include "hostsim/host/host.h"
#include "hostsim/host/module_library.h"
#include "hostsim/scene/examples.h"
#include "hostsim/scene/random_scene.h"
#include "hostsim/scene_file/demo_scene.h"
#include "hostsim/scene_file/scene_file.h"
#include "hostsim/validate/child_process.h"
#include "hostsim/validate/replay.h"
#include "hostsim/validate/wire.h"

namespace hostsim {

namespace {

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

// The commands that ask the user through a panel.
const char* const kPanelCommands[] = {"QZ_Sel_ByName"};

bool ShouldOpenPanel(const std::string& command) {
  return std::find(std::begin(kPanelCommands), std::end(kPanelCommands), command) != std::end(kPanelCommands);
}

constexpr UpdateMode kModes[] = {UpdateMode::Deferred, UpdateMode::Live, UpdateMode::Snapshot};

// A scene of the user's adds this much to the demo-scene check's time limit
// for every so many items, as a part of --timeout.
constexpr double kItemsPerTimeout = 10000;

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

struct UserScene {
  std::string path;
  std::shared_ptr<const Scene> scene;
};
using UserScenes = std::vector<UserScene>;

UserScenes ReadUserScenes(const ValidateOptions& options) {
  SceneFileOptions fileOptions;
  if (!options.contentDirectory.empty()) fileOptions.contentDirectory = options.contentDirectory;
  UserScenes scenes;
  for (const std::string& path : options.scenes)
    scenes.push_back({path, std::make_shared<const Scene>(ReadSceneFile(path, fileOptions))});
  return scenes;
}

// What a check's rules make of one run; an empty problem means it kept them.
struct Verdict {
  std::string problem;
  bool needsEarlierRuns = false;  // a single activation would not show it
};

// One activation the checks ask for, and what it must come to.
struct Scenario {
  std::shared_ptr<const Scene> scene;
  std::string sceneLabel;
  std::string sceneFile;  // a scene of the user's
  std::optional<std::uint64_t> seed;
  std::vector<std::uint32_t> selection;
  UpdateMode mode = UpdateMode::Deferred;
  Faults faults;
  int expectedCode = 0;
  bool expectSilent = false;  // no line and no message
  // Further rules of one check.
  std::function<Verdict(Host& host, const RunResult& result)> verify;
};

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

CheckResult ResultOf(const std::string& check, const std::string& command, const Scenario& scenario) {
  CheckResult result;
  result.check = check;
  result.command = command;
  result.scene = scenario.sceneLabel;
  result.seed = scenario.seed;
  result.updates = UpdateModeName(scenario.mode);
  result.selection = scenario.selection;
  return result;
}

}  // namespace

class Validation {
 public:
  Validation(const ValidateOptions& options, const UserScenes& userScenes, ChildReporter* reporter)
      : options(options), demo(std::make_shared<Scene>(DemoScene())), userScenes(userScenes), reporter_(reporter) {}

  const ValidateOptions& options;
  std::shared_ptr<const Scene> demo;
  const UserScenes& userScenes;
  std::unique_ptr<ModuleLibrary> module;
  std::vector<CheckResult> results;
  const Check* current = nullptr;
  std::optional<std::size_t> onlyCommand;  // by its place in the module's table

  void Report(CheckStatus status, std::string message, std::string command = "") {
    CheckResult result;
    result.check = current->name;
    result.status = status;
    result.command = std::move(command);
    result.message = std::move(message);
    if (status == CheckStatus::Failed) result.replay = ValidateReplay(options, current->name);
    results.push_back(std::move(result));
  }

  bool NeedModule() {
    if (module) return true;
    Report(CheckStatus::Skipped, "the module did not load");
    return false;
  }

  // Tells the parent what is about to run, for a crash or a hang to name.
  void Note(CheckResult note) {
    if (reporter_ == nullptr) return;
    note.check = current->name;
    reporter_->Note(WireWriter().Put(note).text());
  }

  // Every command of the module through its scenarios; one result each,
  // naming the first run that broke the contract. A command without
  // scenarios is skipped with `whenNone`, or fails with it if `mustHave`.
  void RunScenarios(const std::string& label,
                    const std::function<std::vector<Scenario>(const std::string& command)>& scenariosOf,
                    const char* whenNone = "nothing known to check for this command",
                    bool (*mustHave)(const std::string& command) = nullptr) {
    if (!NeedModule()) return;
    for (std::size_t place = 0; place < module->commands().size(); ++place) {
      if (onlyCommand && *onlyCommand != place) continue;
      const CommandInfo& command = module->commands()[place];
      const std::vector<Scenario> scenarios = scenariosOf(command.name);
      if (scenarios.empty()) {
        const bool fails = mustHave != nullptr && mustHave(command.name);
        Report(fails ? CheckStatus::Failed : CheckStatus::Skipped, whenNone, command.name);
        continue;
      }
      std::size_t failures = 0;
      CheckResult first;
      for (std::size_t index = 0; index < scenarios.size(); ++index) {
        const Scenario& scenario = scenarios[index];
        const PanelScript& script = ScriptFor(index);
        Activation activation = ActivationOf(command.name, scenario);
        if (ShouldOpenPanel(command.name)) activation.script = &script;
        CheckResult note = ResultOf(current->name, command.name, scenario);
        note.replay = RunReplay(options, activation);
        Note(std::move(note));
        bool openedPanel = false;
        const Verdict verdict = RunOne(command, scenario, script.User(), openedPanel);
        if (verdict.problem.empty() || failures++ > 0) continue;
        first = ResultOf(current->name, command.name, scenario);
        first.status = CheckStatus::Failed;
        first.message = verdict.problem;
        if (openedPanel) activation.script = &script;
        first.replay = verdict.needsEarlierRuns ? "" : RunReplay(options, activation);
        if (first.replay.empty()) first.replay = ValidateReplay(options, current->name);
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

  static Activation ActivationOf(const std::string& command, const Scenario& scenario) {
    Activation activation;
    activation.command = command;
    activation.sceneFile = scenario.sceneFile;
    activation.seed = scenario.seed;
    activation.mode = scenario.mode;
    activation.selection = scenario.selection;
    activation.faults = scenario.faults;
    return activation;
  }

 private:
  static Verdict RunOne(const CommandInfo& command, const Scenario& scenario, const PanelUser& user,
                        bool& openedPanel) {
    Host host(*scenario.scene);
    host.SetUpdateMode(scenario.mode);
    host.faults() = scenario.faults;
    host.panels().user() = user;
    host.Select(scenario.selection);
    const RunResult result = host.Run(command.activate);
    openedPanel = host.panels().createCalls() > 0;
    if (!result.protocolErrors.empty()) return {"protocol error: " + result.protocolErrors.front()};
    if (result.code != scenario.expectedCode)
      return {"returned " + std::to_string(result.code) + ", expected " + std::to_string(scenario.expectedCode)};
    if (scenario.expectSilent && !result.lines.empty()) return {"sent '" + result.lines.front() + "'"};
    if (scenario.expectSilent && !result.messages.empty()) return {"showed '" + result.messages.front().text + "'"};
    return scenario.verify ? scenario.verify(host, result) : Verdict();
  }

  ChildReporter* reporter_;
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

// On the demo, or a scene of the user's: no selection, random ones and
// everything, and when `thorough`, every single item too.
std::vector<Scenario> SceneScenarios(const std::shared_ptr<const Scene>& scene, const std::string& label,
                                     const std::string& file, std::uint64_t seed, bool thorough, const Faults& faults) {
  std::vector<Scenario> scenarios;
  for (const auto& selection : DemoSelections(*scene, seed, thorough)) {
    for (const UpdateMode mode : kModes) {
      Scenario scenario;
      scenario.scene = scene;
      scenario.sceneLabel = label;
      scenario.sceneFile = file;
      scenario.selection = selection;
      scenario.mode = mode;
      scenario.faults = faults;
      scenarios.push_back(std::move(scenario));
    }
  }
  return scenarios;
}

std::vector<Scenario> DemoScenarios(const Validation& validation, bool thorough, const Faults& faults) {
  return SceneScenarios(validation.demo, kDemoSceneName, "", validation.options.seed, thorough, faults);
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
        Scenario scenario;
        scenario.sceneLabel = std::string(kDemoSceneName) + ", load " + std::to_string(round);
        scenario.selection = {validation.demo->At(validation.demo->FirstOfKind(Kind::Object)).id};
        CheckResult note = ResultOf(validation.current->name, module->commands()[0].name, scenario);
        note.replay = ValidateReplay(validation.options, validation.current->name);
        validation.Note(std::move(note));
        Host host(*validation.demo);
        host.Select(scenario.selection);
        // Whether the run kept the rules is for the other checks; here it
        // must only come back, after a fresh load.
        host.Run(module->commands()[0].activate);
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
  std::string label = kDemoSceneName;
  const std::size_t count = validation.userScenes.size();
  if (count > 0) label += " and " + std::to_string(count) + (count == 1 ? " scene" : " scenes");
  validation.RunScenarios(label, [&validation](const std::string&) {
    std::vector<Scenario> scenarios = DemoScenarios(validation, true, {});
    for (const UserScene& user : validation.userScenes) {
      for (Scenario& scenario :
           SceneScenarios(user.scene, user.path, user.path, validation.options.seed, false, Faults()))
        scenarios.push_back(std::move(scenario));
    }
    return scenarios;
  });
}

void CheckRandomScenes(Validation& validation) {
  const std::vector<Scenario> scenarios = RandomScenarios(validation, 4);
  validation.RunScenarios(std::to_string(validation.options.randomScenes) + " random scenes from seed " +
                              std::to_string(validation.options.seed),
                          [&scenarios](const std::string&) { return scenarios; });
}

void CheckHighIdBits(Validation& validation) {
  Faults faults;
  AddFault("high-id-bits", faults);
  validation.RunScenarios(kDemoSceneName, [&](const std::string&) { return DemoScenarios(validation, false, faults); });
}

void CheckNullNames(Validation& validation) {
  Faults faults;
  AddFault("null-names", faults);
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

bool OpensPanel(Validation& validation, const std::string& command) {
  const CommandInfo* info = validation.module->Find(command);
  Scenario scenario;
  scenario.sceneLabel = kDemoSceneName;
  PanelScript dismiss;
  dismiss.dismisses = true;
  Activation activation = Validation::ActivationOf(command, scenario);
  activation.script = &dismiss;
  CheckResult note = ResultOf(validation.current->name, command, scenario);
  note.replay = RunReplay(validation.options, activation);
  validation.Note(std::move(note));
  Host host(*validation.demo);
  host.panels().user() = dismiss.User();
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
      "opens no panel", ShouldOpenPanel);
}

const std::vector<Check> kChecks = {
    {"load",
     "The file loads with the platform's loader and exports _mod_descrip, whose sync value is 0x04121994 "
     "and interface version 3; its command table is terminated and its start-up routine returns a token.",
     CheckLoad, false},
    {"descriptor", "The descriptor's machine type is 0x300.", CheckDescriptor, false},
    {"command-table", "The command table lists the eleven commands in their order, each of class LayoutGeneric.",
     CheckCommandTable, false},
    {"command-tags", "Every command carries the one tag \"DArover\" with code 0x00020000, from one shared list.",
     CheckCommandTags, false},
    {"load-unload", "The module loads, starts, runs a command, shuts down and unloads three times in a row.",
     CheckLoadUnload, false},
    {"missing-services",
     "With either of the two services a command looks up first missing, it returns 2 and "
     "sends and shows nothing, in every update mode.",
     CheckMissingServices, true},
    {"demo-scene",
     "On the demo scene, with no selection, every single item, random selections and everything "
     "selected, in every update mode: result 0 and no protocol error (every id, line and host "
     "context it hands back is one the host gave). The scenes given with --scene too, without the "
     "single items.",
     CheckDemoScene, true},
    {"random-scenes",
     "The same on seeded random scenes; scene i comes from seed + i and can be saved with "
     "'hostsim save FILE --random SEED'.",
     CheckRandomScenes, true},
    {"high-id-bits",
     "The demo runs again with ids whose upper 32 bits are set: the module must hand them back "
     "whole and write only the low 32 bits into lines.",
     CheckHighIdBits, true},
    {"null-names",
     "The demo runs again with the host giving no name and no file name (null): no crash, result "
     "0, no protocol error.",
     CheckNullNames, true},
    {"panel",
     "A command that opens a panel meets a scripted user who types, presses keys, confirms or "
     "dismisses, on the demo scene and on random scenes, in every update mode: the panel is "
     "destroyed before the command returns; dismissed, nothing is sent or shown; confirmed, "
     "'Not Found' is shown exactly when nothing was selected; each panel first shows what the "
     "last confirmed one held. QZ_Sel_ByName must open one.",
     CheckPanel, true},
};

// ---- one check in a child -----------------------------------------------------

constexpr std::uint64_t kNoCommand = ~std::uint64_t{0};

std::string EncodeRequest(const ValidateOptions& options, const Check& check, std::optional<std::size_t> command) {
  WireWriter wire;
  wire.Put(options.modulePath).Put(options.seed).Put(static_cast<std::uint64_t>(options.randomScenes));
  wire.Put(options.scenes).Put(options.contentDirectory).Put(SecondsText(options.timeoutSeconds));
  wire.Put(options.memoryMiB).Put(check.name).Put(command ? *command : kNoCommand);
  return wire.text();
}

// The child's work: one check, for one command where it runs per command.
// Returns the results, and for the load check the module's command names.
std::string RunCheck(const std::string& request, ChildReporter& reporter, const UserScenes* readScenes) {
  WireReader wire(request);
  ValidateOptions options;
  options.modulePath = wire.Take();
  options.seed = wire.TakeNumber();
  options.randomScenes = static_cast<int>(wire.TakeNumber());
  options.scenes = wire.TakeList();
  options.contentDirectory = wire.Take();
  options.timeoutSeconds = std::strtod(wire.Take().c_str(), nullptr);
  options.memoryMiB = wire.TakeNumber();
  const Check* check = FindCheck(wire.Take());
  const std::uint64_t command = wire.TakeNumber();
  if (check == nullptr) throw WireError("a request for a check that does not exist");

  const UserScenes scenes = readScenes != nullptr ? UserScenes() : ReadUserScenes(options);
  Validation validation(options, readScenes != nullptr ? *readScenes : scenes, &reporter);
  validation.current = check;
  if (command != kNoCommand) validation.onlyCommand = static_cast<std::size_t>(command);
  if (check->run != CheckLoad) {
    try {
      validation.module = ModuleLibrary::Open(options.modulePath);
    } catch (const LoadError&) {
      // Reported by the check as a module that did not load.
    }
  }
  check->run(validation);
  WireWriter result;
  result.Put(static_cast<std::uint64_t>(validation.results.size()));
  for (const CheckResult& row : validation.results) result.Put(row);
  std::vector<std::string> names;
  if (validation.module) {
    for (const CommandInfo& info : validation.module->commands()) names.push_back(info.name);
  }
  result.Put(names);
  return result.text();
}

struct CheckRun {
  std::vector<CheckResult> results;
  std::vector<std::string> commands;
};

// The row for a child that ended without its results.
CheckResult FailedChild(const ValidateOptions& options, const Check& check, const std::string& command,
                        const ChildOutcome& outcome, double seconds) {
  CheckResult row;
  bool running = false;
  if (!outcome.note.empty()) {
    try {
      row = WireReader(outcome.note).TakeResult();
      running = true;
    } catch (const WireError&) {
      row = CheckResult();
    }
  }
  row.check = check.name;
  if (!running) row.command = command;
  const std::string where = running                  ? ""
                            : check.run == CheckLoad ? " while loading the module"
                                                     : " before its first run";
  switch (outcome.end) {
    case ChildEnd::OutOfMemory:
      row.status = CheckStatus::Crashed;
      row.cause = "memory";
      row.message =
          "crashed (memory)" + where + ": went past the limit of " + std::to_string(options.memoryMiB) + " MiB";
      // Only validate holds the child to the limit.
      row.replay = ValidateReplay(options, check.name);
      break;
    case ChildEnd::TimedOut:
      row.status = CheckStatus::TimedOut;
      row.message = "still running after " + SecondsText(seconds) + " s" + where + "; ended";
      if (!row.replay.empty() && row.replay.compare(0, 12, "hostsim run ") == 0)
        row.replay += " --timeout " + SecondsText(options.timeoutSeconds);
      break;
    default:
      row.status = CheckStatus::Crashed;
      row.cause = outcome.cause;
      if (row.cause.size() == 10 && row.cause.compare(0, 2, "0x") == 0)
        row.cause = ExceptionCodeText(static_cast<std::uint32_t>(std::strtoul(row.cause.c_str(), nullptr, 16)));
      row.message = "crashed" + where + ": " +
                    (!row.cause.empty() ? row.cause : "ended without a result (" + outcome.detail + ")");
      break;
  }
  if (row.replay.empty()) row.replay = ValidateReplay(options, check.name);
  return row;
}

CheckRun RunIsolated(const ValidateOptions& options, const UserScenes& scenes, const Check& check,
                     std::optional<std::size_t> command, const std::string& commandName) {
  ChildLimits limits;
  limits.seconds = options.timeoutSeconds;
  limits.memoryMiB = options.memoryMiB;
  if (check.run == CheckDemoScene) {
    std::size_t items = 0;
    for (const UserScene& scene : scenes) items += scene.scene->size();
    limits.seconds += options.timeoutSeconds * static_cast<double>(items) / kItemsPerTimeout;
  }
  const ChildOutcome outcome = RunInChild(
      EncodeRequest(options, check, command),
      [&scenes](const std::string& request, ChildReporter& reporter) { return RunCheck(request, reporter, &scenes); },
      limits);
  CheckRun run;
  if (outcome.end == ChildEnd::Finished) {
    try {
      WireReader wire(outcome.result);
      const std::uint64_t count = wire.TakeNumber();
      for (std::uint64_t index = 0; index < count; ++index) run.results.push_back(wire.TakeResult());
      run.commands = wire.TakeList();
      return run;
    } catch (const WireError& error) {
      ChildOutcome garbled = outcome;
      garbled.end = ChildEnd::Crashed;
      garbled.cause = std::string("a result that cannot be read: ") + error.what();
      run.results.clear();
      run.results.push_back(FailedChild(options, check, commandName, garbled, limits.seconds));
      return run;
    }
  }
  run.results.push_back(FailedChild(options, check, commandName, outcome, limits.seconds));
  return run;
}

std::vector<const Check*> ChecksToRun(const ValidateOptions& options) {
  std::vector<const Check*> checks;
  for (const std::string& name : options.checks) {
    if (FindCheck(name) == nullptr) {
      std::string valid;
      for (const Check& check : kChecks) valid += (valid.empty() ? "" : ", ") + std::string(check.name);
      throw std::invalid_argument("unknown check '" + name + "' (valid: " + valid + ")");
    }
  }
  for (const Check& check : kChecks) {
    if (options.checks.empty() ||
        std::find(options.checks.begin(), options.checks.end(), check.name) != options.checks.end())
      checks.push_back(&check);
  }
  return checks;
}

}  // namespace

const char* CheckStatusName(CheckStatus status) {
  switch (status) {
    case CheckStatus::Passed: return "passed";
    case CheckStatus::Failed: return "failed";
    case CheckStatus::Skipped: return "skipped";
    case CheckStatus::Crashed: return "crashed";
    case CheckStatus::TimedOut: return "timedOut";
  }
  return "?";
}

const std::vector<Check>& Checks() { return kChecks; }

const Check* FindCheck(std::string_view name) {
  for (const Check& check : kChecks) {
    if (name == check.name) return &check;
  }
  return nullptr;
}

std::string DismissedPanelProblem(const PanelRecord& panel, const RunResult& result) {
  if (!panel.openResult || *panel.openResult != 0) return "";
  if (!result.lines.empty()) return "sent '" + result.lines.front() + "' after the panel was dismissed";
  if (!result.messages.empty()) return "showed '" + result.messages.front().text + "' after the panel was dismissed";
  return "";
}

std::vector<CheckResult> Validate(const ValidateOptions& options) {
  const std::vector<const Check*> checks = ChecksToRun(options);
  const UserScenes scenes = ReadUserScenes(options);

  // The module is loaded in a child like every check: its start-up routine is
  // the module's code too. The other checks need the command names it finds.
  const Check& load = kChecks.front();
  CheckRun loaded = RunIsolated(options, scenes, load, std::nullopt, "");
  const CheckResult& loadRow = loaded.results.front();
  std::vector<CheckResult> results;
  if (checks.front() == &load || loadRow.status != CheckStatus::Passed) results.push_back(loadRow);

  std::string notRun;
  if (loadRow.status == CheckStatus::Failed || loadRow.status == CheckStatus::Skipped)
    notRun = "not run: the module did not load";
  else if (loadRow.status == CheckStatus::Crashed)
    notRun = "not run: the module crashed while loading";
  else if (loadRow.status == CheckStatus::TimedOut)
    notRun = "not run: loading the module did not finish";
  std::vector<std::string> commands = loaded.commands;
  if (!notRun.empty()) commands.assign(std::begin(kExpectedCommands), std::end(kExpectedCommands));

  for (const Check* check : checks) {
    if (check == &load) continue;
    std::vector<std::optional<std::size_t>> places = {std::nullopt};
    if (check->perCommand) {
      places.clear();
      for (std::size_t place = 0; place < commands.size(); ++place) places.emplace_back(place);
    }
    for (const std::optional<std::size_t>& place : places) {
      const std::string commandName = place ? commands[*place] : "";
      if (!notRun.empty()) {
        CheckResult skipped;
        skipped.check = check->name;
        skipped.status = CheckStatus::Skipped;
        skipped.command = commandName;
        skipped.message = notRun;
        results.push_back(std::move(skipped));
        continue;
      }
      for (CheckResult& row : RunIsolated(options, scenes, *check, place, commandName).results)
        results.push_back(std::move(row));
    }
  }
  return results;
}

void ServeValidationChild(const std::vector<std::string>& arguments) {
  ServeChild(arguments,
             [](const std::string& request, ChildReporter& reporter) { return RunCheck(request, reporter, nullptr); });
}

}  // namespace hostsim
