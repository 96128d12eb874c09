// Validation of a module file before it ships: a table of named checks, each
// loading or driving the module as the host would and reporting passed, failed
// or skipped, per command where that applies.
//
// Each check, per command where it runs per command, runs in a child process
// of its own (process/child_process.h): a module that crashes, hangs or eats memory
// there is reported as a row like any other, and the other checks go on.
#ifndef QZ_HOSTSIM_VALIDATE_H
#define QZ_HOSTSIM_VALIDATE_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostsim/host/host.h"
#include "hostsim/host/scripted_run.h"

namespace hostsim {

enum class CheckStatus { Passed, Failed, Skipped, Crashed, TimedOut };
// "passed", "failed", "skipped", "crashed", "timedOut"
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
  // A crash: the signal ("SIGSEGV"), the Windows exception code
  // ("0xC0000005 (access violation)") or "memory"; empty when nothing tells.
  std::string cause;
  // A failure, crash or hang: a hostsim command line that repeats it.
  std::string replay;
};

constexpr std::uint64_t kDefaultMemoryMiB = 1024;
constexpr int kDefaultRandomScenes = 24;

struct ValidateOptions {
  std::string modulePath;
  std::uint64_t seed = 1;
  int randomScenes = kDefaultRandomScenes;  // scene i is made from seed + i
  StepListener* steps = nullptr;            // may be null
  std::vector<std::string> checks;          // run only these, in table order; all when empty
  // Scene files the demo-scene check runs on too, read with this content
  // directory (empty: the default).
  std::vector<std::string> scenes;
  std::string contentDirectory;
  // For each run of a command, and for a check's start; the demo-scene check
  // gets more for larger scenes of the user's.
  double timeoutSeconds = kDefaultTimeoutSeconds;
  std::uint64_t memoryMiB = kDefaultMemoryMiB;
};

struct Check {
  const char* name;
  const char* description;
  void (*run)(class Validation& validation);
  bool perCommand;  // one result, and one child process, per command
};

// In the order they run.
const std::vector<Check>& Checks();
const Check* FindCheck(std::string_view name);

// Throws SceneFileError for a scene that cannot be read, std::invalid_argument
// for a check that does not exist, std::runtime_error when no child process
// can be started.
std::vector<CheckResult> Validate(const ValidateOptions& options);

// Windows: main() hands its arguments here when the first is kChildArgument
// (process/child_process.h); the child runs one check and reports to its parent.
[[noreturn]] void ServeValidationChild(const std::vector<std::string>& arguments);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_VALIDATE_H
