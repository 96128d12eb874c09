// What the subcommands load from what the user named: the module, the scene,
// and the items of the selection.
#ifndef QZ_HOSTSIM_CLI_LOADING_H
#define QZ_HOSTSIM_CLI_LOADING_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "hostsim/cli/options.h"
#include "hostsim/host/module_library.h"
#include "hostsim/scene/scene.h"
#include "hostsim/scene_file/scene_file.h"

namespace hostsim {

// Throws CliError when `path` is a folder or no file; `howToName` (" with
// --module PATH") is said when the user named no module, and hostsim looked
// for it beside itself.
void CheckModuleFile(const std::string& path, const std::string& howToName);
std::unique_ptr<ModuleLibrary> LoadModule(const Options& options);

// A private copy of a module file, loaded on its own, so that what the module
// remembers between runs starts as a newly loaded module's does. The copy is
// unloaded and removed again at the end.
class FreshModuleCopy {
 public:
  explicit FreshModuleCopy(const std::string& path);  // throws CliError
  ~FreshModuleCopy();
  FreshModuleCopy(const FreshModuleCopy&) = delete;
  FreshModuleCopy& operator=(const FreshModuleCopy&) = delete;
  const ModuleLibrary& module() const { return *module_; }

 private:
  std::string copy_;
  std::unique_ptr<ModuleLibrary> module_;
};

struct LoadedScene {
  Scene scene;
  std::string label;  // the file as the user named it, or the bundled demo
};
LoadedScene LoadScene(const Options& options);

// A scene generated in one of the benchmarks' shapes, for time to measure on
// and save to write out: the same items for the same shape and size on every
// machine.
inline constexpr OptionSpec kShapeOption{"--shape", "SHAPE", false,
                                         "a generated scene instead: wide, deep, balanced or mixed, of --items items"};
inline constexpr OptionSpec kItemsOption{"--items", "N", false, "the generated scene's size (default: 100000)"};
// The scene --shape and --items ask for, or nothing without --shape. Throws
// CliError for --items alone, for --shape beside --scene or --random, and for
// an unknown shape or a size out of range.
std::optional<LoadedScene> LoadShapeScene(const Options& options);
// --content, checked to be an absolute Windows path.
SceneFileOptions SceneFileOptionsOf(const Options& options);

// A name (which must name one item), as typed or as the output shows it
// (bytes that are not UTF-8 as "\xE9"), or an id as the tree shows it.
std::uint32_t ResolveItem(const Scene& scene, std::string_view text, const std::string& sceneLabel);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_LOADING_H
