// What a run of one command is shown as: the text "hostsim run" prints, its
// JSON, and the pieces a tour's transcript shares with them.
#ifndef QZ_HOSTSIM_CLI_RUN_REPORT_H
#define QZ_HOSTSIM_CLI_RUN_REPORT_H

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "hostsim/scene/json_writer.h"
#include "hostsim/cli/loading.h"
#include "hostsim/cli/run_step.h"
#include "hostsim/host/module_library.h"
#include "hostsim/scene/scene.h"

namespace hostsim {

struct TextStyle {
  bool color = false;
  bool tree = true;  // the scene tree below each result
};

void PrintRunText(const RunRecord& record, const LoadedScene& loaded, const TextStyle& style, std::ostream& out);
// The runs of one command in each update mode, one after another; a part of
// the result not the same in all of them is starred at each of its lines.
void PrintModesText(const std::vector<RunRecord>& records, const LoadedScene& loaded, const TextStyle& style,
                    std::ostream& out);
// One run, or each mode's run with "differs", with the scene's items.
void PrintRunJson(const std::vector<RunRecord>& records, const LoadedScene& loaded, const ModuleLibrary& module,
                  std::ostream& out);
// One run, or each mode's, as members of the object being written, from the
// update mode on.
void WriteRunJson(JsonWriter& json, const std::vector<RunRecord>& records, const Scene& scene);

// The items by name, entry 0 first: each after its id when `withIds`, else
// with its id after any name that more than one item of the scene has.
std::string NamedSelection(const Scene& scene, const std::vector<std::uint32_t>& ids, bool withIds);

// A line each for the messages shown, the panel, and the protocol errors.
void PrintOutcome(const RunRecord& record, bool color, std::ostream& out);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_RUN_REPORT_H
