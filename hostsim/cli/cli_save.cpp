#include "hostsim/cli/cli_save.h"

#include <fstream>

#include "hostsim/cli/loading.h"
#include "hostsim/scene/random_scene.h"
#include "hostsim/scene/text.h"
#include "hostsim/scene_file/scene_file.h"

namespace hostsim {

namespace {

const std::vector<OptionSpec> kSaveOptions = {
    kSceneOption, kContentOption, {"--random", "SEED", false, "save the random scene validate made from SEED instead"}};

// The paragraphs of "hostsim save --help", as they print.
constexpr char kSaveAbout[] = R"(Writes a scene as a version-5 scene file (OUTPUT '-' for standard output): a scene of
any version, the bundled demo, or the random scene validate reports by its seed, so
that it can be shared and run again with --scene.
)";

HelpText SaveHelp() { return {"save OUTPUT [options]", kSaveAbout, kSaveOptions}; }

int Save(const Options& options, Console& console) {
  if (options.positional.empty()) throw CliError("where to? name the OUTPUT file, or '-' for standard output");
  if (options.Has("--random") && options.Has("--scene")) throw CliError("give --scene or --random, not both");
  SceneFileOptions fileOptions;
  fileOptions.contentDirectory = options.Value("--content", fileOptions.contentDirectory);
  Scene scene;
  if (options.Has("--random")) {
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
  const std::string& output = options.positional[0];
  if (output == "-") {
    console.out << text;
    return kExitDone;
  }
  std::ofstream file(output, std::ios::binary);
  file << text;
  file.close();
  if (!file) throw CliError("cannot write '" + output + "'");
  return kExitDone;
}

}  // namespace

const Subcommand kSaveSubcommand = {"save", "write a scene, or validate's random scene of a seed, as a version-5 file",
                                    SaveHelp, 1, Save};

}  // namespace hostsim
