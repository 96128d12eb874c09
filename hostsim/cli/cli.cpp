#include "hostsim/cli/cli.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "hostsim/cli/cli_run.h"
#include "hostsim/cli/cli_support.h"
#include "hostsim/cli/cli_validate.h"
#include "hostsim/cli/json_writer.h"
#include "hostsim/cli/tree_view.h"
#include "hostsim/scene/random_scene.h"
#include "hostsim/scene_file/scene_file.h"

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

// Errors name the system's reason: a missing folder and a full disk want
// different fixes.
void WriteFile(const std::string& path, const std::string& text) {
  const auto fail = [&path](int error) { return CliError("cannot write " + path + ": " + std::strerror(error)); };
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw fail(errno);
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const int writeError = errno;
  if (!written) {
    std::fclose(file);
    throw fail(writeError);
  }
  if (std::fclose(file) != 0) throw fail(errno);
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
  WriteFile(output, text);
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
  out << "usage: hostsim SUBCOMMAND [options]   (hostsim help SUBCOMMAND for its options)\n\n"
         "A stand-in for the host: it loads the selection module's file, answers its service\n"
         "lookups on a scene, runs its commands and shows every command line they send.\n\n";
  for (const Subcommand& subcommand : kSubcommands) {
    std::string name = std::string("  ") + subcommand.name;
    name.resize(12, ' ');
    out << name << subcommand.summary << "\n";
  }
  out << "\nExample: hostsim run QZ_Sel_Child --select Controls\n";
}

std::vector<std::string> SubcommandNames() {
  std::vector<std::string> names;
  for (const Subcommand& subcommand : kSubcommands) names.emplace_back(subcommand.name);
  return names;
}

const Subcommand& FindSubcommand(const std::string& name) {
  for (const Subcommand& subcommand : kSubcommands) {
    if (name == subcommand.name) return subcommand;
  }
  throw UnknownChoice("subcommand", name, SubcommandNames());
}

int Dispatch(const std::string& name, const std::vector<std::string>& arguments, Console& console) {
  if (name == "--help" || name == "-h") {
    PrintUsage(console.out);
    return kExitDone;
  }
  if (name == "help") {
    if (arguments.empty()) {
      PrintUsage(console.out);
      return kExitDone;
    }
    if (arguments.size() > 1) throw CliError("unexpected argument '" + arguments[1] + "' (hostsim help SUBCOMMAND)");
    return FindSubcommand(arguments[0]).run({"--help"}, console);
  }
  return FindSubcommand(name).run(arguments, console);
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, Console& console) {
  if (arguments.empty()) {
    PrintUsage(console.err);
    return kExitUsage;
  }
  const std::string& name = arguments[0];
  const bool known = name == "help" || std::any_of(std::begin(kSubcommands), std::end(kSubcommands),
                                                   [&name](const Subcommand& s) { return name == s.name; });
  try {
    return Dispatch(name, std::vector<std::string>(arguments.begin() + 1, arguments.end()), console);
  } catch (const CliError& error) {
    console.err << "hostsim" << (known ? " " + name : std::string()) << ": " << error.what() << "\n";
    return error.status;
  }
}

}  // namespace hostsim
