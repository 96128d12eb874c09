// The host's text scene files ("LWSC", format versions 1 to 5): what hostsim
// reads of them is the items and their hierarchy, and the frame range and
// rate, so that a scene written back keeps them.
//
// Conventions the files themselves do not settle:
// - A loaded object's file name is given as a Windows host gives it: an
//   absolute path with backslashes (windows_path.h). Relative paths are taken
//   from the content directory; the host's "E:dir/file.lwo" becomes
//   "E:\dir\file.lwo".
// - A loaded object is named after its file (layer_naming.h).
// - Lights, cameras and bones without a name line get the host's default
//   name ("Light", "Camera", "Bone"); a version-1 scene's implicit camera is
//   "Camera".
// - A bone without a parent line hangs under its object. A bone's owner is the
//   object whose block it sits in.
// - A whole scene holds, after its cameras, one of the settings the host
//   writes there (SolidBackdrop, FogType, RenderMode, ViewConfiguration,
//   GridNumber, CurrentObject); every block holds what it announces (a
//   motion's channels, an envelope's keys, an old motion's rows). Without them
//   the file was cut short.
//
// A file that is not a scene, or is cut short or inconsistent, is rejected as a
// whole with the file name and line number (for a cut, its last line); no
// partial scene is returned. A misspelt line that would make an item or set a
// parent is an error on its line; other unknown lines are skipped.
#ifndef QZ_HOSTSIM_SCENE_FILE_H
#define QZ_HOSTSIM_SCENE_FILE_H

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "hostsim/scene/scene.h"

namespace hostsim {

struct SceneFileError : std::runtime_error {
  SceneFileError(const std::string& file, int line, const std::string& message);
  std::string file;
  int line;  // 0 when the problem is not on one line
  std::string message;
};

struct SceneFileOptions {
  std::string contentDirectory = Scene::DefaultContentDirectory();
};

constexpr int kNewestSceneVersion = 5;

// A text editor's UTF-8 byte-order mark, if the text starts with one, is not
// part of the text.
std::string_view WithoutByteOrderMark(std::string_view text);

// `fileName` only labels errors. Throws SceneFileError.
Scene ReadSceneText(std::string_view text, const std::string& fileName, const SceneFileOptions& options = {});
Scene ReadSceneFile(const std::string& path, const SceneFileOptions& options = {});

// The scene as a version-5 file, ending with the current items as a whole
// scene does. Files list objects, then lights, then cameras, so top-level items of different kinds read back in that
// order; everything else reads back as it was. A scene file keeps no names for loaded objects, so any such name that
// would read back differently is reported in `warnings`. Throws SceneError for a name that cannot be written at all.
std::string WriteSceneText(const Scene& scene, const SceneFileOptions& options = {},
                           std::vector<std::string>* warnings = nullptr);

// Tab is the one control character a scene's text may hold.
constexpr bool IsSceneTextByte(char c) { return c == '\t' || static_cast<unsigned char>(c) >= 0x20; }

}  // namespace hostsim

#endif  // QZ_HOSTSIM_SCENE_FILE_H
