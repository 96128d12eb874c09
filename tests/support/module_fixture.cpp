#include "tests/support/module_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace qztest {

const std::vector<std::string> kCommandNames = {
    "QZ_Sel_Child",   "QZ_Sel_Parent",    "QZ_Sel_Descendant", "QZ_Sel_Hierarchy",
    "QZ_Sel_Sibling", "QZ_Sel_Throwback", "QZ_Sel_AllNulls",   "QZ_Sel_AllObjects",
    "QZ_Add_Child",   "QZ_Add_Parent",    "QZ_Sel_ByName",
};

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
