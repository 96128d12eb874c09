#include "hostsim/validate/validate.h"

#include <memory>
#include <string>

#include "hostsim/host/host.h"
#include "hostsim/host/module_library.h"
#include "hostsim/scene/examples.h"
#include "hostsim/scene/text.h"
#include "hostsim/validate/expected_module.h"
#include "hostsim/validate/panel_rules.h"
#include "hostsim/validate/scenarios.h"

namespace hostsim {

namespace {

// The tag as the reports show it: "DArover" 0x00020000.
std::string ExpectedTagText() { return Quoted(kExpectedTag) + " 0x" + IdText(kExpectedTagCode); }

void CheckLoad(Validation& validation) {
  try {
    validation.module = ModuleLibrary::Open(validation.options.modulePath);
    validation.Report(CheckStatus::Passed, "sync 0x" + IdText(validation.module->descriptor().sync) + ", version " +
                                               std::to_string(validation.module->descriptor().version));
  } catch (const LoadError& error) {
    validation.Report(CheckStatus::Failed, error.what());
  }
}

void CheckDescriptor(Validation& validation) {
  if (!validation.NeedModule()) return;
  const std::uint32_t machine = validation.module->descriptor().machine;
  if (machine == kModuleMachineType)
    validation.Report(CheckStatus::Passed, "machine type 0x" + IdText(machine));
  else
    validation.Report(CheckStatus::Failed,
                      "machine type 0x" + IdText(machine) + ", expected 0x" + IdText(kModuleMachineType));
}

void CheckCommandTable(Validation& validation) {
  if (!validation.NeedModule()) return;
  const std::vector<CommandInfo>& commands = validation.module->commands();
  const std::size_t expected = kExpectedCommandCount;
  for (std::size_t index = 0; index < commands.size() || index < expected; ++index) {
    const std::string position = "entry " + std::to_string(index + 1) + ": ";
    if (index >= commands.size()) {
      validation.Report(CheckStatus::Failed, position + "the table ends before " + kExpectedCommands[index].name);
      return;
    }
    const CommandInfo& command = commands[index];
    if (index >= expected || command.name != kExpectedCommands[index].name) {
      validation.Report(CheckStatus::Failed,
                        position + "'" + command.name + "', expected " +
                            (index < expected ? "'" + std::string(kExpectedCommands[index].name) + "'"
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
        command.tags.size() == 1 && command.tags[0].first == kExpectedTag && command.tags[0].second == kExpectedTagCode;
    if (!right) {
      validation.Report(CheckStatus::Failed, "does not carry exactly the tag " + ExpectedTagText(), command.name);
      return;
    }
    if (table[index].tags != table[0].tags) {
      validation.Report(CheckStatus::Failed, "has a tag list of its own instead of the shared one", command.name);
      return;
    }
  }
  validation.Report(CheckStatus::Passed, "every command tagged " + ExpectedTagText() + " from one list");
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
        CheckResult where = validation.ResultOf(module->commands()[0].name, scenario);
        where.replay = ValidateReplay(validation.options, validation.current->name);
        validation.Starting("check load-unload, load " + std::to_string(round), where);
        Host host(*validation.demo);
        host.Select(scenario.selection);
        // Whether the run kept the rules is for the other checks; here it
        // must only come back, after a fresh load.
        host.Run(module->commands()[0].activate);
        validation.Finished();
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
    for (const ExpectedCommand& expected : kExpectedCommands) {
      if (command != expected.name) continue;
      for (const char* missing : expected.startServices) {
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
  // Made for each command: a child process runs one.
  validation.RunScenarios(std::to_string(validation.options.randomScenes) + " random scenes from seed " +
                              std::to_string(validation.options.seed),
                          [&validation](const std::string&) { return RandomScenarios(validation, 4); });
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

}  // namespace

const char* CheckStatusName(CheckStatus status) {
  const char* const names[] = {"passed", "failed", "skipped", "crashed", "timedOut"};
  const auto index = static_cast<std::size_t>(status);
  return index < std::size(names) ? names[index] : "?";
}

const std::vector<Check>& Checks() { return kChecks; }

const Check* FindCheck(std::string_view name) {
  for (const Check& check : kChecks) {
    if (name == check.name) return &check;
  }
  return nullptr;
}

}  // namespace hostsim
