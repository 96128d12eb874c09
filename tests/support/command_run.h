// One command run on a fresh host, for table-driven command tests.
#ifndef QZ_TESTS_SUPPORT_COMMAND_RUN_H
#define QZ_TESTS_SUPPORT_COMMAND_RUN_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hostsim/host/host.h"
#include "hostsim/scene/scene.h"

namespace qztest {

using Ids = std::vector<std::uint32_t>;

// High bits the host may set on every id it hands out; lines must never show them.
constexpr std::uint64_t kIdHighBitVariants[] = {0, 0xABCDull << 48};

struct CommandRun {
  hostsim::RunResult result;
  Ids selectionAfter;  // entry 0 first
  int editModeAfter = -1;
};

// Runs the command on a copy of the scene with the given selection; protocol
// errors fail the current test.
CommandRun RunOnScene(const hostsim::Scene& scene, const Ids& selection, std::string_view command,
                      hostsim::UpdateMode mode, const hostsim::Faults& faults = {});

hostsim::Faults WithIdHighBits(std::uint64_t idHighBits);

// A label for SCOPED_TRACE naming the mode and the high bits.
std::string RunLabel(hostsim::UpdateMode mode, std::uint64_t idHighBits);

}  // namespace qztest

#endif  // QZ_TESTS_SUPPORT_COMMAND_RUN_H
