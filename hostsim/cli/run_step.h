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
#include "hostsim/validate/validate.h"

namespace hostsim {

inline constexpr OptionSpec kSelectOption{"--select", "NAME|ID", true,
                                          "the selection before the command, first entry first"};
inline constexpr OptionSpec kUpdatesOption{
    "--updates", "MODE", false, "when sent lines reach the selection: deferred, live or snapshot (default: deferred)"};
inline constexpr OptionSpec kPatternOption{"--pattern", "TEXT", false, "what the user types into a panel's field"};
inline constexpr OptionSpec kKindOption{
    "--kind", "KIND", false, "object, light, camera or bone: the user presses 1 to 4 unless it is already chosen"};
inline constexpr OptionSpec kKeysOption{
    "--keys", "KEY", true, "further keys the user presses: a character, tab, enter, or a code such as 0x64"};
inline constexpr OptionSpec kDismissOption{"--dismiss", "", false,
                                           "the user cancels the panel instead of confirming it"};

// What a tour step may say; the module and scene are the tour's.
extern const std::vector<OptionSpec> kStepOptions;

struct RunRecord {
  std::string command;
  UpdateMode mode = UpdateMode::Deferred;
  std::vector<std::string> faults;  // as --fault names them
  std::vector<std::uint32_t> before, after;
  RunResult result;
  std::optional<PanelRecord> panel;  // the last the command opened
  bool scriptedPanel = false;        // the user was told what to do in one
};

// Runs the step's command on a fresh host over a copy of the scene. `steps`
// hears of the run, named after `prefix` ("hostsim run: "), before it starts
// and when it is over. A line or message after a dismissed panel is a
// protocol error here as in validate.
RunRecord Execute(const ModuleLibrary& module, const LoadedScene& loaded, const Options& options, StepListener& steps,
                  const std::string& prefix);

// What validate found can be run again: its random scenes and host faults.
inline constexpr OptionSpec kRandomOption{
    "--random", "SEED", false, "validate's random scene of SEED instead, as 'hostsim save --random SEED' writes it"};
inline constexpr OptionSpec kFaultOption{"--fault", "FAULT", true,
                                         "a host fault validate runs with: high-id-bits, null-names, "
                                         "missing-service=NAME"};

// The scene of --scene, the bundled demo, or validate's random scene of --random.
LoadedScene LoadRunScene(const Options& options);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_RUN_STEP_H
