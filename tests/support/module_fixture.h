// Shared by every test that drives the real module binary through hostsim.
#ifndef QZ_TESTS_SUPPORT_MODULE_FIXTURE_H
#define QZ_TESTS_SUPPORT_MODULE_FIXTURE_H

#include <string>
#include <string_view>
#include <vector>

#include "hostsim/host/host.h"
#include "hostsim/host/module_library.h"

namespace qztest {

using Lines = std::vector<std::string>;

// The module under test, loaded once for the whole test program.
const hostsim::ModuleLibrary& Module();

// Runs the command and fails the current test on any protocol error.
hostsim::RunResult RunCommand(hostsim::Host& host, std::string_view command);

constexpr hostsim::UpdateMode kAllModes[] = {hostsim::UpdateMode::Deferred, hostsim::UpdateMode::Live,
                                             hostsim::UpdateMode::Snapshot};

// The eleven command names, in table order.
extern const std::vector<std::string> kCommandNames;

}  // namespace qztest

#endif  // QZ_TESTS_SUPPORT_MODULE_FIXTURE_H
