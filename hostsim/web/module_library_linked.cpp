// ModuleLibrary for the WebAssembly build, in place of host/module_library.cpp:
// there is no library file to load, the module's sources are linked into the
// same program, so its exported descriptor is found by the linker rather than
// by name. Everything after that is as for a loaded file (host/module_start.cpp).

#include "hostsim/host/module_library.h"

// The module's one export, under the name the host looks up.
extern "C" const ModuleDescriptor _mod_descrip;

namespace hostsim {

namespace {

constexpr char kLinkedModuleName[] = "QZ_Lasso (linked in)";

}  // namespace

std::unique_ptr<ModuleLibrary> ModuleLibrary::Open(const std::string& path) {
  std::unique_ptr<ModuleLibrary> library(new ModuleLibrary());
  library->path_ = path;
  library->handle_ = nullptr;  // nothing loaded, so nothing to unload
  library->Start(&_mod_descrip);
  return library;
}

ModuleLibrary::~ModuleLibrary() {
  if (descriptor_ != nullptr && token_ != nullptr) descriptor_->shutdown(token_);
}

std::string DefaultModulePath() { return kLinkedModuleName; }

}  // namespace hostsim
