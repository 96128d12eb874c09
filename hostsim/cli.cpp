#include "hostsim/cli.h"

#include <cstdio>

#include "hostsim/cli_run.h"
#include "hostsim/cli_support.h"
#include "hostsim/cli_validate.h"
#include "hostsim/cli_version.h"
#include "hostsim/json_writer.h"
#include "hostsim/random_scene.h"
#include "hostsim/scene_file.h"
#include "hostsim/tree_view.h"
#include "hostsim/utf8_path.h"

namespace hostsim {

namespace {

const std::vector<OptionSpec> kListOptions = {kSceneOption, kContentOption, kJsonOption, kColorOption};
const std::vector<OptionSpec> kSaveOptions = {
    kSceneOption, kContentOption, {"--random", "SEED", false, "save the random scene validate made from SEED instead"}};

std::string Counts(const Scene& scene) {
  std::size_t loaded = 0, nulls = 0;
  for (std::size_t index = scene.FirstOfKind(Kind::Object); index != kNoItem; index = scene.At(index).nextOfKind)
    (scene.At(index).fileName.empty() ? nulls : loaded) += 1;
  const auto count = [](std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  return count(scene.size(), "item", "items") + ": " + count(loaded, "loaded object", "loaded objects") + ", " +
         count(nulls, "null", "nulls") + ", " + count(scene.CountOfKind(Kind::Bone), "bone", "bones") + ", " +
         count(scene.CountOfKind(Kind::Light), "light", "lights") + ", " +
         count(scene.CountOfKind(Kind::Camera), "camera", "cameras");
}

int ListSubcommand(const std::vector<std::string>& arguments, Console& console) {
  if (WantsHelp(arguments)) {
    return PrintHelp({"list [options]",
                      "Prints the scene's items as a tree: id, kind (object for a loaded object, null, light,\n"
                      "camera, bone) and name, with the file of each loaded object.\n",
                      kListOptions},
                     console.out);
  }
  const Options options = ParseOptions(arguments, kListOptions, 0);
  TreeStyle style;
  style.color = UseColor(options, console);
  style.files = true;
  const LoadedScene loaded = LoadScene(options);
  if (options.Has("--json")) {
    JsonWriter json;
    json.BeginObject();
    json.Key("scene").String(loaded.label);
    json.Key("items");
    WriteItemsJson(json, loaded.scene, nullptr);
    json.EndObject();
    console.out << json.text() << "\n";
    return kExitDone;
  }
  console.out << loaded.label << ", " << Counts(loaded.scene) << "\n" << RenderTree(loaded.scene, nullptr, style);
  return kExitDone;
}

int SaveSubcommand(const std::vector<std::string>& arguments, Console& console) {
  if (WantsHelp(arguments)) {
    return PrintHelp({"save OUTPUT [options]",
                      "Writes a scene as a version-5 scene file (OUTPUT '-' for standard output): a scene of\n"
                      "any version, the bundled demo, or the random scene validate reports by its seed, so\n"
                      "that it can be shared and run again with --scene.\n",
                      kSaveOptions},
                     console.out);
  }
  const Options options = ParseOptions(arguments, kSaveOptions, 1);
  if (options.positional.empty()) throw CliError("where to? name the OUTPUT file, or '-' for standard output");
  if (options.Has("--random") && options.Has("--scene")) throw CliError("give --scene or --random, not both");
  SceneFileOptions fileOptions;
  fileOptions.contentDirectory = options.Value("--content", fileOptions.contentDirectory);
  Scene scene;
  if (options.Has("--random")) {
    const std::string seed = options.Value("--random");
    char* end = nullptr;
    const unsigned long long value = std::strtoull(seed.c_str(), &end, 0);
    if (seed.empty() || *end != '\0' || seed[0] == '-') throw CliError("--random needs a number, not '" + seed + "'");
    scene = RandomScene(value);
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
  if (!WriteWholeFile(output, text)) throw CliError("cannot write '" + output + "'");
  return kExitDone;
}

struct Subcommand {
  const char* name;
  const char* summary;
  int (*run)(const std::vector<std::string>& arguments, Console& console);
};

const Subcommand kSubcommands[] = {
    {"run", "run one command of the module on a scene and show what it selected", RunSubcommand},
    {"list", "show a scene's items as a tree with ids, kinds and names", ListSubcommand},
    {"validate", "check a module file as the host would load and drive it", ValidateSubcommand},
    {"tour", "run the demo tour, or your own, printing each step's selection", TourSubcommand},
    {"save", "write a scene, or validate's random scene of a seed, as a version-5 file", SaveSubcommand},
};

void PrintUsage(std::ostream& out) {
  out << "usage: hostsim SUBCOMMAND [options]   (hostsim SUBCOMMAND --help for its options)\n\n"
         "A stand-in for the host: it loads the selection module's file, answers its service\n"
         "lookups on a scene, runs its commands and shows every command line they send.\n\n";
  for (const Subcommand& subcommand : kSubcommands) {
    std::string name = std::string("  ") + subcommand.name;
    name.resize(12, ' ');
    out << name << subcommand.summary << "\n";
  }
  out << "  --version   the release, and the version of the module beside hostsim\n";
  out << "\nExample: hostsim run QZ_Sel_Child --select Controls\n";
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, Console& console) {
  if (arguments.empty()) {
    PrintUsage(console.err);
    return kExitUsage;
  }
  const std::string& name = arguments[0];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintUsage(console.out);
    return kExitDone;
  }
  if (name == "--version") {
    if (arguments.size() > 1) {
      console.err << "hostsim: --version takes no further arguments\n";
      return kExitUsage;
    }
    return PrintVersion(console.out);
  }
  for (const Subcommand& subcommand : kSubcommands) {
    if (name != subcommand.name) continue;
    try {
      return subcommand.run(std::vector<std::string>(arguments.begin() + 1, arguments.end()), console);
    } catch (const CliError& error) {
      console.err << "hostsim " << name << ": " << error.what() << "\n";
      return error.status;
    }
  }
  std::vector<std::string> valid;
  for (const Subcommand& subcommand : kSubcommands) valid.emplace_back(subcommand.name);
  console.err << "hostsim: unknown subcommand '" << name << "' (valid: " << JoinedChoices(valid) << ")\n";
  return kExitUsage;
}

}  // namespace hostsim
