// Shared by every test that drives the real module binary through hostsim:
// the module, loaded once, and the one way the tests run a command.
#ifndef QZ_TESTS_SUPPORT_MODULE_FIXTURE_H
#define QZ_TESTS_SUPPORT_MODULE_FIXTURE_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "hostsim/host/host.h"
#include "hostsim/host/module_library.h"
#include "hostsim/scene/scene.h"

namespace qztest {

using Ids = std::vector<std::uint32_t>;
using Lines = std::vector<std::string>;

// The module under test, loaded once for the whole test program.
const hostsim::ModuleLibrary& Module();

// What a run sent and showed, and what the host's selection and edit mode
// were when it returned.
struct CommandRun : hostsim::RunResult {
  Ids selectionAfter;  // entry 0 first
  int editModeAfter = -1;
};

// Runs the command and fails the current test on any protocol error.
CommandRun RunCommand(hostsim::Host& host, std::string_view command);

// A host on a copy of the scene, with the selection, update mode and faults.
std::unique_ptr<hostsim::Host> HostOn(const hostsim::Scene& scene, const Ids& selection, hostsim::UpdateMode mode,
                                      const hostsim::Faults& faults = {});

constexpr hostsim::UpdateMode kAllModes[] = {hostsim::UpdateMode::Deferred, hostsim::UpdateMode::Live,
                                             hostsim::UpdateMode::Snapshot};

// High bits the host may set on every id it hands out; lines must never show them.
constexpr std::uint64_t kIdHighBitVariants[] = {0, 0xABCDull << 48};

hostsim::Faults WithIdHighBits(std::uint64_t idHighBits);

// A label for SCOPED_TRACE naming the mode and the high bits.
std::string RunLabel(hostsim::UpdateMode mode, std::uint64_t idHighBits);

// The eleven command names, in table order.
extern const std::vector<std::string> kCommandNames;

}  // namespace qztest

#endif  // QZ_TESTS_SUPPORT_MODULE_FIXTURE_H
