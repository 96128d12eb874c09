// The runs the checks ask for. A scenario is one activation of one command
// and what it must come to; a Validation runs every command of the module
// through the scenarios a check gives it and keeps one result per command.
#ifndef QZ_HOSTSIM_VALIDATE_SCENARIOS_H
#define QZ_HOSTSIM_VALIDATE_SCENARIOS_H

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostsim/host/host.h"
#include "hostsim/host/module_library.h"
#include "hostsim/process/child_process.h"
#include "hostsim/validate/replay.h"
#include "hostsim/validate/validate.h"

namespace hostsim {

constexpr UpdateMode kModes[] = {UpdateMode::Deferred, UpdateMode::Live, UpdateMode::Snapshot};

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

// A scene file of the user's, as read.
struct UserScene {
  std::string path;
  std::shared_ptr<const Scene> scene;
};
using UserScenes = std::vector<UserScene>;

// One validation under way: what it was asked, the module as loaded, and
// the results so far; the check running reports into it.
class Validation {
 public:
  // `reporter`, when there is one, hears of each run before it starts.
  Validation(const ValidateOptions& options, const UserScenes& userScenes, ChildReporter* reporter);

  const ValidateOptions& options;
  std::shared_ptr<const Scene> demo;
  const UserScenes& userScenes;
  std::unique_ptr<ModuleLibrary> module;
  std::vector<CheckResult> results;
  const Check* current = nullptr;
  std::optional<std::size_t> onlyCommand;  // by its place in the module's table

  // A failure also gets the validate line that repeats the check.
  void Report(CheckStatus status, std::string message, std::string command = "");
  // Reports the check skipped when the module did not load.
  bool NeedModule();

  // Every command of the module through its scenarios; one result each,
  // naming the first run that broke the contract. A command without
  // scenarios is skipped with `whenNone`, or fails with it if `mustHave`.
  void RunScenarios(const std::string& label,
                    const std::function<std::vector<Scenario>(const std::string& command)>& scenariosOf,
                    const char* whenNone = "nothing known to check for this command",
                    bool (*mustHave)(const std::string& command) = nullptr);

  // Around each run of the module, for whoever listens: `step` for people,
  // `where` (command, scene, seed, mode, selection and replay) for a report
  // of a crash or hang.
  void Starting(const std::string& step, CheckResult where) const;
  void Finished() const;

  // The run a check set up, as replay.h repeats it.
  static Activation ActivationOf(const std::string& command, const Scenario& scenario);
  // A result naming the scenario's run.
  CheckResult ResultOf(const std::string& command, const Scenario& scenario) const;

 private:
  CheckResult ResultOf(const CommandInfo& command, const std::vector<Scenario>& scenarios, const std::string& label);
  // What the run broke; empty when it kept every rule.
  Verdict RunOne(const CommandInfo& command, const Scenario& scenario, const PanelScript& script, bool& openedPanel);

  ChildReporter* reporter_;
};

// The commands that ask the user through a panel.
bool ShouldOpenPanel(const std::string& command);

// The demo scene with nothing selected, random selections and everything
// selected (thorough: every single item too, and more random ones), in
// every update mode.
std::vector<Scenario> DemoScenarios(const Validation& validation, bool thorough, const Faults& faults);

// The same on any scene; `file` names a scene of the user's.
std::vector<Scenario> SceneScenarios(const std::shared_ptr<const Scene>& scene, const std::string& label,
                                     const std::string& file, std::uint64_t seed, bool thorough, const Faults& faults);

// Scene i from seed + i, with `picks` random selections, in every mode.
std::vector<Scenario> RandomScenarios(const Validation& validation, int picks);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_VALIDATE_SCENARIOS_H
