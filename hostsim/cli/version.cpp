#include "hostsim/cli/version.h"

#include <string>

#include "hostsim/cli/console.h"
#include "hostsim/host/module_library.h"
#include "qz_release_version.h"

#if defined(_WIN32)
#include <windows.h>

#include <vector>

#include "hostsim/scene/utf8_path.h"
#endif

namespace hostsim {

namespace {

#if defined(_WIN32)
std::string VersionText(DWORD high, DWORD low) {
  return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) + "." +
         std::to_string(LOWORD(low));
}

// Read from the file, not from a loaded module: a module that fails to load
// is the very one a problem report is about.
std::string ModuleVersions(const std::string& path) {
  const std::wstring widePath = WideFromUtf8(path);
  if (GetFileAttributesW(widePath.c_str()) == INVALID_FILE_ATTRIBUTES) return "not found";
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(widePath.c_str(), &ignored);
  std::vector<unsigned char> data(size);
  void* fixed = nullptr;
  UINT length = 0;
  if (size == 0 || !GetFileVersionInfoW(widePath.c_str(), 0, size, data.data()) ||
      !VerQueryValueW(data.data(), L"\\", &fixed, &length) || length < sizeof(VS_FIXEDFILEINFO))
    return "no version resource";
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  return "file version " + VersionText(info->dwFileVersionMS, info->dwFileVersionLS) + ", product version " +
         VersionText(info->dwProductVersionMS, info->dwProductVersionLS);
}
#endif

}  // namespace

int PrintVersion(std::ostream& out) {
  out << "hostsim (QZ_Lasso) " << QZ_RELEASE_VERSION << "\n";
#if defined(_WIN32)
  const std::string module = DefaultModulePath();
  out << module << ": " << ModuleVersions(module) << "\n";
#endif
  return kExitDone;
}

}  // namespace hostsim
