#include "hostsim/scene_file/windows_path.h"

#include <algorithm>
#include <vector>

namespace hostsim {

namespace {

bool IsDriveAbsolute(std::string_view path) {
  return path.size() >= 2 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
         path[1] == ':';
}

}  // namespace

std::string WindowsPath(std::string_view scenePath, std::string_view directory) {
  std::string path(scenePath);
  std::replace(path.begin(), path.end(), '/', '\\');
  std::string base(directory);
  std::replace(base.begin(), base.end(), '/', '\\');
  while (base.size() > 1 && base.back() == '\\') base.pop_back();

  std::string root, rest;
  if (path.compare(0, 2, "\\\\") == 0) {
    return path;  // a network path is already absolute
  } else if (IsDriveAbsolute(path)) {
    root = path.substr(0, 2);
    rest = path.substr(2);
  } else if (!path.empty() && path[0] == '\\') {
    root = IsDriveAbsolute(base) ? base.substr(0, 2) : std::string();
    rest = path;
  } else if (IsDriveAbsolute(base)) {
    root = base.substr(0, 2);
    rest = base.substr(2) + "\\" + path;
  } else {
    root = base;
    rest = path;
  }
  // "..", "." and doubled separators go, but never above the drive.
  std::vector<std::string_view> parts;
  std::string_view remaining(rest);
  while (!remaining.empty()) {
    const std::size_t end = std::min(remaining.find('\\'), remaining.size());
    const std::string_view part = remaining.substr(0, end);
    remaining.remove_prefix(std::min(end + 1, remaining.size()));
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string result = root;
  for (const std::string_view part : parts) {
    result += '\\';
    result += part;
  }
  if (parts.empty()) result += '\\';
  return result;
}

// Case is kept: the file name must read back unchanged.
std::string ScenePath(const std::string& path, const std::string& content) {
  std::vector<std::string> forms;
  const std::string prefix = content + "\\";
  if (!content.empty() && path.compare(0, prefix.size(), prefix) == 0) forms.push_back(path.substr(prefix.size()));
  if (IsDriveAbsolute(path) && path.size() > 2 && path[2] == '\\') forms.push_back(path.substr(0, 2) + path.substr(3));
  for (std::string form : forms) {
    std::replace(form.begin(), form.end(), '\\', '/');
    if (WindowsPath(form, content) == path) return form;
  }
  return path;
}

}  // namespace hostsim
