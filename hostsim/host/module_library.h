// Loads a module file the way the host does: the platform's own loader, the
// exported descriptor found by name, its sync value and version checked, then
// the start-up routine. Unloading calls the shutdown routine first. The
// WebAssembly build, with the module linked in, takes its descriptor from the
// linker instead (web/module_library_linked.cpp in place of module_library.cpp).
#ifndef QZ_HOSTSIM_MODULE_LIBRARY_H
#define QZ_HOSTSIM_MODULE_LIBRARY_H

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_records.h"

namespace hostsim {

struct LoadError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct CommandInfo {
  std::string className;
  std::string name;
  ActivateFunc activate = nullptr;
  std::vector<std::pair<std::string, std::uint32_t>> tags;
};

class ModuleLibrary {
 public:
  // Throws LoadError naming the file and what is wrong with it.
  static std::unique_ptr<ModuleLibrary> Open(const std::string& path);
  ~ModuleLibrary();
  ModuleLibrary(const ModuleLibrary&) = delete;
  ModuleLibrary& operator=(const ModuleLibrary&) = delete;

  const std::string& path() const { return path_; }
  const ModuleDescriptor& descriptor() const { return *descriptor_; }
  const std::vector<CommandInfo>& commands() const { return commands_; }
  void* startupToken() const { return token_; }
  // nullptr when the module has no such command.
  const CommandInfo* Find(std::string_view name) const;

 private:
  ModuleLibrary() = default;
  // Checks the descriptor, reads its command table and starts the module;
  // throws LoadError naming path_.
  void Start(const ModuleDescriptor* descriptor);

  std::string path_;
  void* handle_ = nullptr;
  const ModuleDescriptor* descriptor_ = nullptr;
  void* token_ = nullptr;
  std::vector<CommandInfo> commands_;
};

// The module built beside the running program: $QZ_LASSO_MODULE when set,
// else QZ_Lasso.so (QZ_Lasso.p on Windows) in the program's own folder.
std::string DefaultModulePath();

// The module at DefaultModulePath, loaded once for the whole process, for the
// programs that drive it (tests, benchmarks, fuzzers, soak). One that cannot
// be loaded ends the program: the reason on stderr after `program`, status 2.
const ModuleLibrary& ProgramModule(const char* program);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_MODULE_LIBRARY_H
