// What a run of one command is shown as: the text "hostsim run" prints, its
// JSON, and the pieces a tour's transcript shares with them.
#ifndef QZ_HOSTSIM_CLI_RUN_REPORT_H
#define QZ_HOSTSIM_CLI_RUN_REPORT_H

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "hostsim/cli/loading.h"
#include "hostsim/cli/run_step.h"
#include "hostsim/host/module_library.h"
#include "hostsim/scene/scene.h"

namespace hostsim {

void PrintRunText(const RunRecord& record, const LoadedScene& loaded, bool color, std::ostream& out);
void PrintRunJson(const RunRecord& record, const LoadedScene& loaded, const ModuleLibrary& module, std::ostream& out);

// The items by name, entry 0 first, each after its id when `withIds`.
std::string NamedSelection(const Scene& scene, const std::vector<std::uint32_t>& ids, bool withIds);

// A line each for the messages shown, the panel, and the protocol errors.
void PrintOutcome(const RunRecord& record, bool color, std::ostream& out);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_RUN_REPORT_H
