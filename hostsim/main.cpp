// hostsim: loads the module as the host does and lists what it presents.
// (The full command line — scenes, runs, validation — grows here.)
#include <cstdio>
#include <string>

#include "hostsim/module_library.h"

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : hostsim::DefaultModulePath();
  try {
    const auto module = hostsim::ModuleLibrary::Open(path);
    std::printf("%s: %zu commands\n", path.c_str(), module->commands().size());
    for (const hostsim::CommandInfo& command : module->commands())
      std::printf("  %-18s %s\n", command.name.c_str(), command.className.c_str());
    return 0;
  } catch (const hostsim::LoadError& error) {
    std::fprintf(stderr, "hostsim: %s\n", error.what());
    return 2;
  }
}
