// Command lines that repeat what validate found: "hostsim run ..." for a
// failure one activation shows, "hostsim validate ... --check NAME" for the
// rest.
#ifndef QZ_HOSTSIM_VALIDATE_REPLAY_H
#define QZ_HOSTSIM_VALIDATE_REPLAY_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hostsim/host/host.h"
#include "hostsim/host/scripted_run.h"
#include "hostsim/validate/validate.h"

namespace hostsim {

// One activation as a check set it up.
struct Activation {
  std::string command;
  std::string sceneFile;              // a scene of the user's; empty for the demo or a random scene
  std::optional<std::uint64_t> seed;  // a random scene
  UpdateMode mode = UpdateMode::Deferred;
  std::vector<std::uint32_t> selection;
  Faults faults;
  const PanelScript* script = nullptr;  // when the command meets a panel
};

// "hostsim run ..." for the activation; with `timeout`, the time limit that
// ended it. Empty when the line would be too long to paste.
std::string RunReplay(const ValidateOptions& options, const Activation& activation,
                      std::optional<double> timeout = std::nullopt);
std::string ValidateReplay(const ValidateOptions& options, const std::string& check);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_VALIDATE_REPLAY_H
