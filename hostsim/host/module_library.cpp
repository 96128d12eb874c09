#include "hostsim/host/module_library.h"

#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>

#include "hostsim/scene/utf8_path.h"
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include "hostsim/scene/text.h"

namespace hostsim {

namespace {

// A command table without a terminator would walk off into memory; no real
// module comes anywhere near this.
constexpr std::size_t kMaxCommands = 4096;

#if defined(_WIN32)
std::string LastErrorText() { return WindowsErrorText(GetLastError()); }
void* OpenLibrary(const std::string& path, std::string& error) {
  HMODULE handle = LoadLibraryW(WideFromUtf8(path).c_str());
  if (handle == nullptr) error = LastErrorText();
  return reinterpret_cast<void*>(handle);
}
void* FindSymbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void CloseLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
#else
void* OpenLibrary(const std::string& path, std::string& error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* text = dlerror();
    error = text != nullptr ? text : "unknown loader error";
  }
  return handle;
}
void* FindSymbol(void* handle, const char* name) { return dlsym(handle, name); }
void CloseLibrary(void* handle) { dlclose(handle); }
#endif

}  // namespace

std::unique_ptr<ModuleLibrary> ModuleLibrary::Open(const std::string& path) {
  std::unique_ptr<ModuleLibrary> library(new ModuleLibrary());
  library->path_ = path;
  std::string error;
  // A bare file name is a file in the current folder, as for any file a user
  // names; the loaders would search the system's library folders instead.
#if defined(_WIN32)
  const bool bare = path.find_first_of("\\/:") == std::string::npos;
  library->handle_ = OpenLibrary(bare ? ".\\" + path : path, error);
#else
  const bool bare = path.find('/') == std::string::npos;
  library->handle_ = OpenLibrary(bare ? "./" + path : path, error);
#endif
  if (library->handle_ == nullptr) throw LoadError("cannot load module '" + path + "': " + error);

  const auto* descriptor = static_cast<const ModuleDescriptor*>(FindSymbol(library->handle_, kDescriptorSymbol));
  if (descriptor == nullptr)
    throw LoadError("module '" + path + "' does not export the descriptor '" + kDescriptorSymbol + "'");
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
  if (handle_ != nullptr) CloseLibrary(handle_);
}

const CommandInfo* ModuleLibrary::Find(std::string_view name) const {
  for (const CommandInfo& command : commands_) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

std::string DefaultModulePath() {
#if defined(_WIN32)
  if (const wchar_t* fromEnvironment = _wgetenv(L"QZ_LASSO_MODULE"); fromEnvironment != nullptr && *fromEnvironment)
    return Utf8FromWide(fromEnvironment);
  // Long enough for any path Windows starts a program from.
  std::wstring self(32768, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  std::string folder = Utf8FromWide(self);
  const std::size_t slash = folder.find_last_of("\\/");
  folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
  return folder + "QZ_Lasso.p";
#else
  if (const char* fromEnvironment = std::getenv("QZ_LASSO_MODULE"); fromEnvironment != nullptr && *fromEnvironment)
    return fromEnvironment;
  char self[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string folder = length > 0 ? std::string(self, static_cast<std::size_t>(length)) : std::string();
  const std::size_t slash = folder.find_last_of('/');
  folder = slash == std::string::npos ? std::string("./") : folder.substr(0, slash + 1);
  return folder + "QZ_Lasso.so";
#endif
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
