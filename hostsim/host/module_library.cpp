#include "hostsim/host/module_library.h"

#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>

#include "hostsim/scene/utf8_path.h"
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace hostsim {

namespace {

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
  library->Start(descriptor);
  return library;
}

ModuleLibrary::~ModuleLibrary() {
  if (descriptor_ != nullptr && token_ != nullptr) descriptor_->shutdown(token_);
  if (handle_ != nullptr) CloseLibrary(handle_);
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

}  // namespace hostsim
