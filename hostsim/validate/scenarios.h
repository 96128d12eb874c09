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
#include "hostsim/validate/validate.h"

namespace hostsim {

constexpr UpdateMode kModes[] = {UpdateMode::Deferred, UpdateMode::Live, UpdateMode::Snapshot};

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

// One validation under way: what it was asked, the module as loaded, and
// the results so far; the check running reports into it.
class Validation {
 public:
  explicit Validation(const ValidateOptions& options);

  const ValidateOptions& options;
  std::shared_ptr<const Scene> demo;
  std::unique_ptr<ModuleLibrary> module;
  std::vector<CheckResult> results;
  const Check* current = nullptr;

  void Report(CheckStatus status, std::string message, std::string command = "");
  // Reports the check skipped when the module did not load.
  bool NeedModule();

  // Every command of the module through its scenarios; one result each,
  // naming the first run that broke the contract.
  void RunScenarios(const std::string& label,
                    const std::function<std::vector<Scenario>(const std::string& command)>& scenariosOf,
                    const char* whenNone = "nothing known to check for this command");

  // Around each run of the module, for whoever listens.
  void Starting(const std::string& step) const;
  void Finished() const;

 private:
  CheckResult ResultOf(const CommandInfo& command, const std::vector<Scenario>& scenarios, const std::string& label);
  // What the run broke; empty when it kept every rule.
  std::string RunOne(const CommandInfo& command, const Scenario& scenario, const PanelUser& user);
};

// The demo scene with nothing selected, random selections and everything
// selected (thorough: every single item too, and more random ones), in
// every update mode.
std::vector<Scenario> DemoScenarios(const Validation& validation, bool thorough, const Faults& faults);

// Scene i from seed + i, with `picks` random selections, in every mode.
std::vector<Scenario> RandomScenarios(const Validation& validation, int picks);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_VALIDATE_SCENARIOS_H
