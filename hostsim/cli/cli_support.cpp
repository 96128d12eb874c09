#include "hostsim/cli/cli_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "hostsim/cli/tree_view.h"
#include "hostsim/scene/examples.h"
#include "hostsim/scene_file/demo_scene.h"
#include "hostsim/scene_file/scene_file.h"

namespace hostsim {

const OptionSpec kModuleOption{"--module", "PATH", false, "the module file (default: the one built beside hostsim)"};
const OptionSpec kSceneOption{"--scene", "FILE", false, "a scene file, versions 1 to 5 (default: the bundled demo)"};
const OptionSpec kContentOption{"--content", "DIR", false,
                                "the absolute Windows folder relative object paths start from"};
const OptionSpec kColorOption{"--color", "WHEN", false, "auto, always or never (default: auto, on a terminal)"};
const OptionSpec kJsonOption{"--json", "", false, "print JSON for scripts instead of text"};
const OptionSpec kTimeoutOption{"--timeout", "S", false,
                                "end a command of the module still running after S seconds (default: 10)"};

namespace {

bool IsOption(const std::string& argument) { return argument.size() > 2 && argument.compare(0, 2, "--") == 0; }

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string Lower(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lowered;
}

}  // namespace

std::string Options::Value(std::string_view name, const std::string& fallback) const {
  const auto found = values.find(name);
  return found == values.end() || found->second.empty() ? fallback : found->second.back();
}

std::vector<std::string> Options::All(std::string_view name) const {
  const auto found = values.find(name);
  return found == values.end() ? std::vector<std::string>() : found->second;
}

std::string JoinedChoices(const std::vector<std::string>& choices) {
  std::string joined;
  for (const std::string& choice : choices) joined += (joined.empty() ? "" : ", ") + choice;
  return joined;
}

bool WantsHelp(const std::vector<std::string>& arguments) {
  return std::any_of(arguments.begin(), arguments.end(),
                     [](const std::string& argument) { return argument == "--help" || argument == "-h"; });
}

Options ParseOptions(const std::vector<std::string>& arguments, const std::vector<OptionSpec>& specs,
                     std::size_t maxPositional) {
  Options options;
  for (std::size_t at = 0; at < arguments.size(); ++at) {
    const std::string& argument = arguments[at];
    if (!IsOption(argument)) {
      if (options.positional.size() >= maxPositional)
        throw CliError("unexpected argument '" + argument + "'" +
                       (maxPositional == 0 ? std::string(" (this command takes options only)") : std::string()));
      options.positional.push_back(argument);
      continue;
    }
    const std::size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    const auto spec = std::find_if(specs.begin(), specs.end(), [&](const OptionSpec& s) { return s.name == name; });
    if (spec == specs.end()) {
      std::vector<std::string> valid;
      for (const OptionSpec& s : specs) valid.emplace_back(s.name);
      throw CliError("unknown option '" + name + "' (valid: " + JoinedChoices(valid) + ")");
    }
    std::vector<std::string>& values = options.values[name];
    if (spec->value.empty()) {
      if (equals != std::string::npos) throw CliError("option " + name + " takes no value");
      continue;
    }
    if (equals != std::string::npos) {
      values.push_back(argument.substr(equals + 1));
      continue;
    }
    const std::size_t before = values.size();
    while (at + 1 < arguments.size() && !IsOption(arguments[at + 1])) {
      values.push_back(arguments[++at]);
      if (!spec->many) break;
    }
    if (values.size() == before && !spec->many)
      throw CliError("option " + name + " needs a value (" + std::string(spec->value) + ")");
  }
  return options;
}

int PrintHelp(const HelpText& text, std::ostream& out) {
  std::string help;
  for (const OptionSpec& spec : text.options) {
    std::string left = "  " + std::string(spec.name);
    if (!spec.value.empty()) left += " " + std::string(spec.value) + (spec.many ? " ..." : "");
    if (left.size() < 26)
      left.resize(26, ' ');
    else
      left += "  ";
    help += left + std::string(spec.help) + "\n";
  }
  out << "usage: hostsim " << text.usage << "\n\n" << text.about << "\noptions:\n" << help << text.after;
  return kExitDone;
}

bool UseColor(const Options& options, const Console& console) {
  const std::string when = options.Value("--color", "auto");
  if (when == "always") return true;
  if (when == "never") return false;
  if (when != "auto") throw CliError("unknown --color '" + when + "' (valid: auto, always, never)");
  const char* noColor = std::getenv("NO_COLOR");
  return console.outIsTerminal && (noColor == nullptr || *noColor == '\0');
}

double ParseSeconds(const Options& options, std::string_view name, double fallback) {
  if (!options.Has(name)) return fallback;
  const std::string text = options.Value(name);
  char* end = nullptr;
  const double seconds = std::strtod(text.c_str(), &end);
  // A day is far past any command; above it a deadline could overflow.
  if (text.empty() || *end != '\0' || !(seconds > 0) || seconds > 86400)
    throw CliError(std::string(name) + " needs a number of seconds above 0, not '" + text + "'");
  return seconds;
}

std::unique_ptr<ModuleLibrary> LoadModule(const Options& options) {
  const std::string path = options.Value("--module", DefaultModulePath());
  if (std::FILE* probe = std::fopen(path.c_str(), "rb")) {
    std::fclose(probe);
  } else {
    throw CliError("no module file '" + path + "'" +
                   (options.Has("--module") ? std::string() : " (build it, or name one with --module PATH)"));
  }
  try {
    return ModuleLibrary::Open(path);
  } catch (const LoadError& error) {
    throw CliError(error.what());
  }
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
    throw CliError(error.what());
  }
}

std::uint32_t ResolveItem(const Scene& scene, std::string_view text, const std::string& sceneLabel) {
  std::vector<std::uint32_t> named;
  for (const Item& item : scene.items()) {
    if (item.id != 0 && item.name == text) named.push_back(item.id);
  }
  if (named.size() == 1) return named[0];
  if (named.size() > 1) {
    std::vector<std::string> ids;
    for (const std::uint32_t id : named) ids.push_back(IdText(id));
    throw CliError("'" + std::string(text) + "' names " + std::to_string(named.size()) + " items (" +
                   JoinedChoices(ids) + "); select one by its id");
  }
  std::string_view digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits.remove_prefix(2);
  if (!digits.empty() && digits.size() <= 8 &&
      digits.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos) {
    const auto id = static_cast<std::uint32_t>(std::strtoul(std::string(digits).c_str(), nullptr, 16));
    if (scene.Contains(id)) return id;
  }
  std::vector<std::string> close;
  const std::string lowered = Lower(text);
  for (const Item& item : scene.items()) {
    if (item.id == 0 || item.name.empty() || close.size() >= 5) continue;
    const bool alike = Lower(item.name) == lowered ||
                       (item.name.size() < 64 && text.size() < 64 && EditDistance(Lower(item.name), lowered) <= 2);
    if (alike && std::find(close.begin(), close.end(), "'" + item.name + "'") == close.end())
      close.push_back("'" + item.name + "'");
  }
  std::string hint = close.empty() ? "" : "; did you mean " + JoinedChoices(close) + "?";
  throw CliError("no item '" + std::string(text) + "' in " + sceneLabel + hint + " (names and ids: hostsim list" +
                 (sceneLabel.find("(bundled)") == std::string::npos ? " --scene FILE" : "") + ")");
}

}  // namespace hostsim
