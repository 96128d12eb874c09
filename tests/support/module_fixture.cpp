#include "tests/support/module_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "hostsim/validate/expected_module.h"

namespace qztest {

const std::vector<std::string> kCommandNames = [] {
  std::vector<std::string> names;
  for (const hostsim::ExpectedCommand& command : hostsim::kExpectedCommands) names.emplace_back(command.name);
  return names;
}();

const hostsim::ModuleLibrary& Module() { return hostsim::ProgramModule("qz_tests"); }

CommandRun RunCommand(hostsim::Host& host, std::string_view command) {
  CommandRun run;
  static_cast<hostsim::RunResult&>(run) = host.Run(Module(), command);
  for (const std::string& error : run.protocolErrors) {
    ADD_FAILURE() << command << " in " << hostsim::UpdateModeName(host.updateMode()) << " mode: " << error;
  }
  run.selectionAfter = host.selection();
  run.editModeAfter = host.editMode();
  return run;
}

std::unique_ptr<hostsim::Host> HostOn(const hostsim::Scene& scene, const Ids& selection, hostsim::UpdateMode mode,
                                      const hostsim::Faults& faults) {
  auto host = std::make_unique<hostsim::Host>(scene);
  host->SetUpdateMode(mode);
  host->faults() = faults;
  host->Select(selection);
  return host;
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
