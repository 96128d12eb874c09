#include "hostsim/cli/loading.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>

#include "hostsim/cli/text.h"
#include "hostsim/cli/tree_view.h"
#include "hostsim/scene/utf8.h"
#include "hostsim/scene/examples.h"
#include "hostsim/scene/text.h"
#include "hostsim/scene/utf8_path.h"
#include "hostsim/scene_file/demo_scene.h"
#include "hostsim/scene_file/scene_file.h"

namespace hostsim {

void CheckModuleFile(const std::string& path, const std::string& howToName) {
  const std::optional<FileIdentity> found = IdentifyFile(path);
  if (found && found->folder)
    throw CliError("'" + path + "' is a folder, not a module file: name the module file in it");
  if (std::FILE* probe = OpenFile(path, "rb")) {
    std::fclose(probe);
    return;
  }
  throw CliError("no module file '" + path + "'" +
                 (howToName.empty() ? std::string()
                                    : " (hostsim looks for it in its own folder: keep the two together, or name one" +
                                          howToName + ")"));
}

std::unique_ptr<ModuleLibrary> LoadModule(const Options& options) {
  const std::string path = options.Value("--module", DefaultModulePath());
  CheckModuleFile(path, options.Has("--module") ? "" : " with --module PATH");
  try {
    return ModuleLibrary::Open(path);
  } catch (const LoadError& error) {
    throw CliError(error.what());
  }
}

FreshModuleCopy::FreshModuleCopy(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path original(path);
  // A name of its own: a host loading the same path again gets the module
  // already loaded, with all it remembers.
  static std::random_device random;
  const fs::path copy =
      fs::temp_directory_path(error) / ("hostsim_fresh_" + std::to_string(random()) + original.extension().string());
  if (!error) fs::copy_file(original, copy, fs::copy_options::overwrite_existing, error);
  if (error) throw CliError("cannot copy " + path + " to load it afresh: " + error.message());
  copy_ = copy.string();
  try {
    module_ = ModuleLibrary::Open(copy_);
  } catch (const LoadError& loadError) {
    fs::remove(copy, error);
    throw CliError(loadError.what());
  }
}

FreshModuleCopy::~FreshModuleCopy() {
  module_.reset();
  std::error_code ignored;
  std::filesystem::remove(copy_, ignored);
}

SceneFileOptions SceneFileOptionsOf(const Options& options) {
  SceneFileOptions fileOptions;
  fileOptions.contentDirectory = options.Value("--content", fileOptions.contentDirectory);
  const std::string& content = fileOptions.contentDirectory;
  const bool absolute = (content.size() >= 3 && content[1] == ':' && (content[2] == '\\' || content[2] == '/')) ||
                        content.compare(0, 2, "\\\\") == 0;
  if (!absolute) throw CliError("--content '" + content + "' is not an absolute Windows path such as D:\\Content");
  return fileOptions;
}

LoadedScene LoadScene(const Options& options) {
  const SceneFileOptions fileOptions = SceneFileOptionsOf(options);
  try {
    if (!options.Has("--scene")) return {DemoScene(fileOptions), std::string(kDemoSceneName) + " (bundled)"};
    const std::string path = options.Value("--scene");
    return {ReadSceneFile(path, fileOptions), path};
  } catch (const SceneFileError& error) {
    // The message may quote names from the file; the file's own name is as
    // the user typed it.
    throw CliError(error.file + (error.line > 0 ? ":" + std::to_string(error.line) : std::string()) + ": " +
                   EscapedText(error.message));
  }
}

namespace {

// "bone 40040001 of Head", "object 10000002": enough to tell items of one
// name apart.
std::string Described(const Scene& scene, std::uint32_t id) {
  const Item& item = scene.Get(id);
  std::string text = std::string(KindLabel(item)) + " " + IdText(id);
  if (item.kind == Kind::Bone && item.owner != kNoItem) text += " of " + EscapedText(scene.At(item.owner).name);
  return text;
}

}  // namespace

std::uint32_t ResolveItem(const Scene& scene, std::string_view text, const std::string& sceneLabel) {
  // As typed, then as the output shows a name that is not UTF-8 ("H\xE9ros").
  std::vector<std::uint32_t> named;
  const std::string bytes = UnescapedText(text);
  for (const std::string_view name : {text, std::string_view(bytes)}) {
    for (const Item& item : scene.items()) {
      if (item.id != 0 && item.name == name) named.push_back(item.id);
    }
    if (!named.empty() || bytes == text) break;
  }
  const std::string shown = "'" + EscapedText(named.empty() ? text : std::string_view(scene.Get(named[0]).name)) + "'";
  if (named.size() == 1) return named[0];
  if (named.size() > 1) {
    std::vector<std::string> items;
    items.reserve(named.size());
    for (const std::uint32_t id : named) items.push_back(Described(scene, id));
    throw CliError(shown + " names " + std::to_string(named.size()) + " items (" + JoinedChoices(items) +
                   "); select one by its id");
  }
  std::string_view digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits.remove_prefix(2);
  if (const std::optional<std::uint32_t> id = ParseHex(digits); id && scene.Contains(*id)) return *id;
  std::vector<std::string> close;
  const std::string lowered = Lowered(bytes);
  for (const Item& item : scene.items()) {
    if (item.id == 0 || item.name.empty() || close.size() >= 5) continue;
    const bool alike = Lowered(item.name) == lowered ||
                       (item.name.size() < 64 && bytes.size() < 64 && EditDistance(Lowered(item.name), lowered) <= 2);
    const std::string quoted = "'" + EscapedText(item.name) + "'";
    if (alike && std::find(close.begin(), close.end(), quoted) == close.end()) close.push_back(quoted);
  }
  std::string hint = close.empty() ? "" : "; did you mean " + JoinedChoices(close) + "?";
  throw CliError("no item " + shown + " in " + sceneLabel + hint + " (names and ids: hostsim list" +
                 (sceneLabel.find("(bundled)") == std::string::npos ? " --scene FILE" : "") + ")");
}

}  // namespace hostsim
