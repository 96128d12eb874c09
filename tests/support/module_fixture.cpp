#include "tests/support/module_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace qztest {

const std::vector<std::string> kCommandNames = {
    "QZ_Sel_Child",   "QZ_Sel_Parent",    "QZ_Sel_Descendant", "QZ_Sel_Hierarchy",
    "QZ_Sel_Sibling", "QZ_Sel_Throwback", "QZ_Sel_AllNulls",   "QZ_Sel_AllObjects",
    "QZ_Add_Child",   "QZ_Add_Parent",    "QZ_Sel_ByName",
};

const hostsim::ModuleLibrary& Module() {
  static std::unique_ptr<hostsim::ModuleLibrary> module = [] {
    const std::string path = hostsim::DefaultModulePath();
    try {
      return hostsim::ModuleLibrary::Open(path);
    } catch (const hostsim::LoadError& error) {
      std::fprintf(stderr, "%s\n", error.what());
      std::abort();
    }
  }();
  return *module;
}

hostsim::RunResult RunCommand(hostsim::Host& host, std::string_view command) {
  hostsim::RunResult result = host.Run(Module(), command);
  for (const std::string& error : result.protocolErrors) {
    ADD_FAILURE() << command << " in " << hostsim::UpdateModeName(host.updateMode()) << " mode: " << error;
  }
  return result;
}

}  // namespace qztest
