// Object paths as a Windows host gives them: absolute, with backslashes.
// Scene files hold them relative to the content directory, in the host's own
// "E:dir/file.lwo" form, or as they stand.
#ifndef QZ_HOSTSIM_SCENE_FILE_WINDOWS_PATH_H
#define QZ_HOSTSIM_SCENE_FILE_WINDOWS_PATH_H

#include <string>
#include <string_view>

namespace hostsim {

// A scene file's path as the Windows host reports it, taken from `directory`.
std::string WindowsPath(std::string_view scenePath, std::string_view directory);

// The shortest form a scene file can hold that reads back as this very path
// from the content directory `content` (backslashes, no trailing one).
std::string ScenePath(const std::string& windowsPath, const std::string& content);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_SCENE_FILE_WINDOWS_PATH_H
