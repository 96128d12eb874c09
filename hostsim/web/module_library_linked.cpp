// ModuleLibrary for the WebAssembly build, in place of host/module_library.cpp:
// there is no library file to load, the module's sources are linked into the
// same program, so its exported descriptor is found by the linker rather than
// by name. Everything after that is as the loader does it: the sync value and
// version checked, the command table read, the start-up routine called, and
// the shutdown routine when the library goes.
#include <cstdio>
#include <cstdlib>

#include "hostsim/host/module_library.h"
#include "hostsim/scene/text.h"

// The module's one export, under the name the host looks up.
extern "C" const ModuleDescriptor _mod_descrip;

namespace hostsim {

namespace {

constexpr std::size_t kMaxCommands = 4096;
constexpr char kLinkedModuleName[] = "QZ_Lasso (linked in)";

}  // namespace

std::unique_ptr<ModuleLibrary> ModuleLibrary::Open(const std::string& path) {
  std::unique_ptr<ModuleLibrary> library(new ModuleLibrary());
  library->path_ = path;
  library->handle_ = nullptr;  // nothing loaded, so nothing to unload
  const ModuleDescriptor* descriptor = &_mod_descrip;
  if (descriptor->sync != kModuleSync)
    throw LoadError("module '" + path + "' has sync value 0x" + IdText(descriptor->sync) + ", expected 0x" +
                    IdText(kModuleSync));
  if (descriptor->version != kModuleInterfaceVersion)
    throw LoadError("module '" + path + "' has interface version " + std::to_string(descriptor->version) +
                    ", expected " + std::to_string(kModuleInterfaceVersion));
  if (descriptor->startup == nullptr || descriptor->shutdown == nullptr || descriptor->commands == nullptr)
    throw LoadError("module '" + path + "' has a descriptor with a null start-up, shutdown or command table");
  library->descriptor_ = descriptor;

  std::size_t count = 0;
  for (const CommandEntry* entry = descriptor->commands; entry->className != nullptr; ++entry) {
    if (++count > kMaxCommands) throw LoadError("module '" + path + "' has a command table without terminator");
    if (entry->name == nullptr || entry->activate == nullptr)
      throw LoadError("module '" + path + "' has command entry " + std::to_string(count) +
                      " without a name or activation routine");
    CommandInfo info;
    info.className = entry->className;
    info.name = entry->name;
    info.activate = entry->activate;
    for (const CommandTag* tag = entry->tags; tag != nullptr && tag->text != nullptr; ++tag)
      info.tags.emplace_back(tag->text, tag->code);
    library->commands_.push_back(std::move(info));
  }

  library->token_ = descriptor->startup();
  if (library->token_ == nullptr) {
    library->descriptor_ = nullptr;  // a module that failed to start is not shut down
    throw LoadError("module '" + path + "' returned a null token from its start-up routine");
  }
  return library;
}

ModuleLibrary::~ModuleLibrary() {
  if (descriptor_ != nullptr && token_ != nullptr) descriptor_->shutdown(token_);
}

const CommandInfo* ModuleLibrary::Find(std::string_view name) const {
  for (const CommandInfo& command : commands_) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

std::string DefaultModulePath() { return kLinkedModuleName; }

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
