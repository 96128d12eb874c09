#include "tests/support/command_run.h"

#include <cstdio>

#include "tests/support/module_fixture.h"

namespace qztest {

CommandRun RunOnScene(const hostsim::Scene& scene, const Ids& selection, std::string_view command,
                      hostsim::UpdateMode mode, const hostsim::Faults& faults) {
  hostsim::Host host(scene);
  host.SetUpdateMode(mode);
  host.faults() = faults;
  host.Select(selection);
  CommandRun run;
  run.result = RunCommand(host, command);
  run.selectionAfter = host.selection();
  run.editModeAfter = host.editMode();
  return run;
}

hostsim::Faults WithIdHighBits(std::uint64_t idHighBits) {
  hostsim::Faults faults;
  faults.idHighBits = idHighBits;
  return faults;
}

std::string RunLabel(hostsim::UpdateMode mode, std::uint64_t idHighBits) {
  char bits[32];
  std::snprintf(bits, sizeof bits, "%llx", static_cast<unsigned long long>(idHighBits));
  return std::string(hostsim::UpdateModeName(mode)) + " mode, id high bits 0x" + bits;
}

}  // namespace qztest
