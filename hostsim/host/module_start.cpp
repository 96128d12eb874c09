// What every way of finding the module shares once it has the descriptor:
// the checks the host makes, the command table read, the start-up routine.
#include <cstdio>
#include <cstdlib>

#include "hostsim/host/module_library.h"
#include "hostsim/scene/text.h"

namespace hostsim {

namespace {

// A command table without a terminator would walk off into memory; no real
// module comes anywhere near this.
constexpr std::size_t kMaxCommands = 4096;

}  // namespace

void ModuleLibrary::Start(const ModuleDescriptor* descriptor) {
  if (descriptor->sync != kModuleSync)
    throw LoadError("module '" + path_ + "' has sync value 0x" + IdText(descriptor->sync) + ", expected 0x" +
                    IdText(kModuleSync));
  if (descriptor->version != kModuleInterfaceVersion)
    throw LoadError("module '" + path_ + "' has interface version " + std::to_string(descriptor->version) +
                    ", expected " + std::to_string(kModuleInterfaceVersion));
  if (descriptor->startup == nullptr || descriptor->shutdown == nullptr || descriptor->commands == nullptr)
    throw LoadError("module '" + path_ + "' has a descriptor with a null start-up, shutdown or command table");
  descriptor_ = descriptor;

  std::size_t count = 0;
  for (const CommandEntry* entry = descriptor->commands; entry->className != nullptr; ++entry) {
    if (++count > kMaxCommands) throw LoadError("module '" + path_ + "' has a command table without terminator");
    if (entry->name == nullptr || entry->activate == nullptr)
      throw LoadError("module '" + path_ + "' has command entry " + std::to_string(count) +
                      " without a name or activation routine");
    CommandInfo info;
    info.className = entry->className;
    info.name = entry->name;
    info.activate = entry->activate;
    for (const CommandTag* tag = entry->tags; tag != nullptr && tag->text != nullptr; ++tag)
      info.tags.emplace_back(tag->text, tag->code);
    commands_.push_back(std::move(info));
  }

  token_ = descriptor->startup();
  if (token_ == nullptr) {
    descriptor_ = nullptr;  // a module that failed to start is not shut down
    throw LoadError("module '" + path_ + "' returned a null token from its start-up routine");
  }
}

const CommandInfo* ModuleLibrary::Find(std::string_view name) const {
  for (const CommandInfo& command : commands_) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

const ModuleLibrary& ProgramModule(const char* program) {
  static const std::unique_ptr<ModuleLibrary> module = [program] {
    try {
      return ModuleLibrary::Open(DefaultModulePath());
    } catch (const LoadError& error) {
      std::fprintf(stderr, "%s: %s\n", program, error.what());
      std::exit(2);
    }
  }();
  return *module;
}

}  // namespace hostsim
