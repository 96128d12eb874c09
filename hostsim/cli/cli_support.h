// What the subcommands share: options, errors, and loading what they name.
#ifndef QZ_HOSTSIM_CLI_SUPPORT_H
#define QZ_HOSTSIM_CLI_SUPPORT_H

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "hostsim/cli/cli.h"
#include "hostsim/host/module_library.h"
#include "hostsim/scene/scene.h"
#include "hostsim/scene_file/scene_file.h"

namespace hostsim {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Ends a subcommand with one line on stderr and an exit status.
struct CliError : std::runtime_error {
  explicit CliError(const std::string& message, int status = kExitUsage)
      : std::runtime_error(message), status(status) {}
  int status;
};

struct OptionSpec {
  std::string_view name;   // "--scene"
  std::string_view value;  // "FILE"; empty for a flag
  bool many;               // takes every argument up to the next option
  std::string_view help;
};

struct Options {
  std::vector<std::string> positional;
  std::map<std::string, std::vector<std::string>, std::less<>> values;

  bool Has(std::string_view name) const { return values.find(name) != values.end(); }
  // The last value given, or `fallback`.
  std::string Value(std::string_view name, const std::string& fallback = "") const;
  std::vector<std::string> All(std::string_view name) const;
};

// Throws CliError naming the unknown option and the valid ones.
Options ParseOptions(const std::vector<std::string>& arguments, const std::vector<OptionSpec>& specs,
                     std::size_t maxPositional);
bool WantsHelp(const std::vector<std::string>& arguments);

struct HelpText {
  std::string_view usage;  // after "usage: hostsim "
  std::string_view about;  // paragraphs, each line ending in a newline
  const std::vector<OptionSpec>& options;
  std::string_view after = "";  // printed below the options
};
int PrintHelp(const HelpText& help, std::ostream& out);  // returns kExitDone

// "--color auto|always|never" against the console.
bool UseColor(const Options& options, const Console& console);

extern const OptionSpec kModuleOption, kSceneOption, kContentOption, kColorOption, kJsonOption;
// "--timeout S": how long a command of the module may run.
extern const OptionSpec kTimeoutOption;

// Seconds above 0 and at most a day, or `fallback` when the option is absent.
double ParseSeconds(const Options& options, std::string_view name, double fallback);

std::unique_ptr<ModuleLibrary> LoadModule(const Options& options);

struct LoadedScene {
  Scene scene;
  std::string label;  // the file as the user named it, or the bundled demo
};
LoadedScene LoadScene(const Options& options);
// --content, checked to be an absolute Windows path.
SceneFileOptions SceneFileOptionsOf(const Options& options);

// A name (which must name one item) or an id as the tree shows it.
std::uint32_t ResolveItem(const Scene& scene, std::string_view text, const std::string& sceneLabel);

std::string JoinedChoices(const std::vector<std::string>& choices);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_SUPPORT_H
