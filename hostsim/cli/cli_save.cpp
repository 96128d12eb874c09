#include "hostsim/cli/cli_save.h"

#include <optional>
#include <string>
#include <utility>

#include "hostsim/cli/loading.h"
#include "hostsim/scene/random_scene.h"
#include "hostsim/scene/text.h"
#include "hostsim/scene/utf8_path.h"
#include "hostsim/scene_file/scene_file.h"

namespace hostsim {

namespace {

const std::vector<OptionSpec> kSaveOptions = {
    kSceneOption, kContentOption, {"--random", "SEED", false, "save the random scene validate made from SEED instead"},
    kShapeOption, kItemsOption,   {"--force", "", false, "replace OUTPUT when it exists (never the scene being read)"}};

// The paragraphs of "hostsim save --help", as they print.
constexpr char kSaveAbout[] = R"(Writes a scene as a version-5 scene file (OUTPUT '-' for standard output): a scene of
any version, the bundled demo, the random scene validate reports by its seed, or a
scene generated in one of time's shapes, so that it can be shared and run again with
--scene, or opened where only a file will do.

What is written is what hostsim reads: the items, their names, object files and
hierarchy, and the frame range and rate. Motion, display, light, camera and render
settings are not kept, so OUTPUT never replaces the scene read, and replaces
another existing file only with --force.
)";

// What the file holds and what it lost, for the user deciding what to share.
std::string Kept(const Scene& scene) {
  const std::size_t items = scene.size();
  return std::to_string(items) + (items == 1 ? " item" : " items") +
         ", their names, object files and hierarchy, and the frame range and rate; motion, display, light, camera "
         "and render settings are not kept";
}

// Refuses, before anything is read, to write over the scene being read (by
// whatever name the user reaches it), over a folder, or over any other file
// without --force.
void CheckOutput(const std::string& output, const Options& options) {
  const std::optional<FileIdentity> existing = IdentifyFile(output);
  if (!existing) return;
  if (existing->folder) throw CliError(output + " is a folder: name a file to write, such as " + output + "/scene.lws");
  if (options.Has("--scene")) {
    const std::optional<FileIdentity> scene = IdentifyFile(options.Value("--scene"));
    if (scene && scene->SameFile(*existing))
      throw CliError("will not write over " + output + ": it is the scene being read (--scene " +
                     options.Value("--scene") + "), and the saved scene keeps less; name another file");
  }
  if (!options.Has("--force")) throw CliError(output + " exists; add --force to replace it, or name another file");
}

HelpText SaveHelp() { return {"save OUTPUT [options]", kSaveAbout, kSaveOptions}; }

int Save(const Options& options, Console& console) {
  if (options.positional.empty()) throw CliError("where to? name the OUTPUT file, or '-' for standard output");
  if (options.Has("--random") && options.Has("--scene")) throw CliError("give --scene or --random, not both");
  const std::string& output = options.positional[0];
  if (output != "-") CheckOutput(output, options);
  SceneFileOptions fileOptions;
  fileOptions.contentDirectory = options.Value("--content", fileOptions.contentDirectory);
  Scene scene;
  if (std::optional<LoadedScene> generated = LoadShapeScene(options)) {
    scene = std::move(generated->scene);
  } else if (options.Has("--random")) {
    const std::string seed = options.Value("--random");
    const std::optional<std::uint64_t> value = ParseUnsigned(seed);
    if (!value) throw CliError("--random needs a number, not '" + seed + "'");
    scene = RandomScene(*value);
  } else {
    scene = LoadScene(options).scene;
  }
  std::vector<std::string> warnings;
  std::string text;
  try {
    text = WriteSceneText(scene, fileOptions, &warnings);
  } catch (const SceneError& error) {
    throw CliError(std::string("cannot write the scene: ") + error.what());
  }
  for (const std::string& warning : warnings) console.err << "hostsim save: warning: " << warning << "\n";
  if (output == "-") {
    console.out << text;
    console.err << "hostsim save: wrote the scene to standard output: " << Kept(scene) << "\n";
    return kExitDone;
  }
  // A half-written file never stands where the user's file was.
  const std::string reason = ReplaceWholeFile(output, text);
  if (!reason.empty()) throw CliError("cannot write " + output + ": " + reason);
  console.err << "hostsim save: wrote " << output << ": " << Kept(scene) << "\n";
  return kExitDone;
}

}  // namespace

const Subcommand kSaveSubcommand = {"save", "write a scene, or validate's random scene of a seed, as a version-5 file",
                                    SaveHelp, 1, Save};

}  // namespace hostsim
