// One command run as "hostsim run" and each step of "hostsim tour" ask for
// it: the step's options, the scripted user they describe, and the run.
#ifndef QZ_HOSTSIM_CLI_RUN_STEP_H
#define QZ_HOSTSIM_CLI_RUN_STEP_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hostsim/cli/loading.h"
#include "hostsim/cli/options.h"
#include "hostsim/host/host.h"
#include "hostsim/host/module_library.h"
#include "hostsim/host/scripted_run.h"

namespace hostsim {

inline constexpr OptionSpec kSelectOption{"--select", "NAME|ID", true,
                                          "the selection before the command, first entry first"};
inline constexpr OptionSpec kUpdatesOption{
    "--updates", "MODE", false,
    "when sent lines reach the selection: deferred, live or snapshot, or all three in turn (default: deferred)"};
inline constexpr OptionSpec kPatternOption{"--pattern", "TEXT", false, "what the user types into a panel's field"};
inline constexpr OptionSpec kKindOption{
    "--kind", "KIND", false, "object, light, camera or bone: the user presses 1 to 4 unless it is already chosen"};
inline constexpr OptionSpec kKeysOption{
    "--keys", "KEY", true, "further keys the user presses: a character, tab, enter, or a code such as 0x64"};
inline constexpr OptionSpec kDismissOption{"--dismiss", "", false,
                                           "the user cancels the panel instead of confirming it"};

inline constexpr OptionSpec kNoTreeOption{"--no-tree", "", false, "print the result without the scene tree"};

// What validate found can be run again: its random scenes and host faults.
inline constexpr OptionSpec kRandomOption{
    "--random", "SEED", false, "validate's random scene of SEED instead, as 'hostsim save --random SEED' writes it"};
inline constexpr OptionSpec kFaultOption{"--fault", "FAULT", true,
                                         "a host fault validate runs with: high-id-bits, null-names, "
                                         "missing-service=NAME"};

// What a tour step may say; the module and scene are the tour's.
extern const std::vector<OptionSpec> kStepOptions;

// What a run line asks for, checked against the module and scene before
// anything runs.
struct RunRequest {
  std::string command;
  std::vector<UpdateMode> modes;  // one, or all three to compare
  std::vector<std::uint32_t> before;
  Faults faults;
  PanelUser user;
  bool scriptedPanel = false;  // the user was told what to do in a panel
};

struct RunRecord {
  std::string command;
  UpdateMode mode = UpdateMode::Deferred;
  std::vector<std::string> faults;  // as --fault names them
  std::vector<std::uint32_t> before, after;
  RunResult result;
  std::optional<PanelRecord> panel;  // the last the command opened
  bool scriptedPanel = false;        // the user was told what to do in one
};

std::vector<std::string> CommandNames(const ModuleLibrary& module);

// Throws CliError for anything the step names that the module or scene does
// not have, or any value out of place; runs nothing.
RunRequest Prepare(const ModuleLibrary& module, const LoadedScene& loaded, const Options& options);

// Runs the step's command in one mode on a fresh host over a copy of the
// scene. `steps` hears of the run, named after `prefix` ("hostsim run: "),
// before it starts and when it is over. A line or message after a dismissed
// panel is a protocol error here as in validate.
RunRecord Execute(const ModuleLibrary& module, const LoadedScene& loaded, const RunRequest& request, UpdateMode mode,
                  StepListener& steps, const std::string& prefix);

// Each of the request's modes, from a newly loaded module each, so that what
// the module remembers from one run (the by-name panel's pattern and kind)
// cannot pass for a difference the mode makes.
std::vector<RunRecord> ExecuteEachMode(const ModuleLibrary& module, const LoadedScene& loaded,
                                       const RunRequest& request, StepListener& steps, const std::string& prefix);

// The scene of --scene, the bundled demo, or validate's random scene of --random.
LoadedScene LoadRunScene(const Options& options);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_RUN_STEP_H
