// Validation of a module file before it ships: a table of named checks, each
// loading or driving the module as the host would and reporting passed, failed
// or skipped, per command where that applies.
#ifndef QZ_HOSTSIM_VALIDATE_H
#define QZ_HOSTSIM_VALIDATE_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hostsim {

enum class CheckStatus { Passed, Failed, Skipped };
const char* CheckStatusName(CheckStatus status);

struct CheckResult {
  std::string check;
  CheckStatus status = CheckStatus::Passed;
  std::string command;                // empty for checks of the whole module
  std::string scene;                  // where the failing run was, or what was run
  std::optional<std::uint64_t> seed;  // random scenes: "hostsim save F --random SEED"
  std::string updates;
  std::vector<std::uint32_t> selection;
  std::string message;
};

// Told what validate is about to run before each run of the module, and when
// the run is over, so that a crash handler can say where a module crashed.
class StepListener {
 public:
  virtual void Starting(const std::string& step) = 0;
  virtual void Finished() = 0;

 protected:
  ~StepListener() = default;
};

struct ValidateOptions {
  std::string modulePath;
  std::uint64_t seed = 1;
  int randomScenes = 24;          // scene i is made from seed + i
  StepListener* steps = nullptr;  // may be null
};

struct Check {
  const char* name;
  const char* description;
  void (*run)(class Validation& validation);
};

// In the order they run.
const std::vector<Check>& Checks();

std::vector<CheckResult> Validate(const ValidateOptions& options);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_VALIDATE_H
