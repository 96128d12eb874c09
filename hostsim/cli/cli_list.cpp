#include "hostsim/cli/cli_list.h"

#include "hostsim/scene/json_writer.h"
#include "hostsim/cli/loading.h"
#include "hostsim/cli/tree_view.h"

namespace hostsim {

namespace {

const std::vector<OptionSpec> kListOptions = {kSceneOption, kContentOption, kJsonOption, kColorOption};

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

// The paragraphs of "hostsim list --help", as they print.
constexpr char kListAbout[] = R"(Prints the scene's items as a tree: id, kind (object for a loaded object, null, light,
camera, bone) and name, with the file of each loaded object.
)";

HelpText ListHelp() { return {"list [options]", kListAbout, kListOptions}; }

int List(const Options& options, Console& console) {
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

}  // namespace

const Subcommand kListSubcommand = {"list", "show a scene's items as a tree with ids, kinds and names", ListHelp, 0,
                                    List};

}  // namespace hostsim
