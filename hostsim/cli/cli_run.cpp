#include "hostsim/cli/cli_run.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string_view>
#include <unordered_map>

#include "hostsim/cli/cli_support.h"
#include "hostsim/cli/json_writer.h"
#include "hostsim/cli/tree_view.h"
#include "hostsim/host/host.h"
#include "hostsim/scene/examples.h"
#include "hostsim/scene_file/scene_file.h"

namespace hostsim {

namespace {

const OptionSpec kSelectOption{"--select", "NAME|ID", true, "the selection before the command, first entry first"};
const OptionSpec kUpdatesOption{
    "--updates", "MODE", false,
    "when sent lines reach the selection: deferred, live or snapshot, or all three in turn (default: deferred)"};
const OptionSpec kNoTreeOption{"--no-tree", "", false, "print the result without the scene tree"};

const OptionSpec kPatternOption{"--pattern", "TEXT", false, "what the user types into a panel's field"};
const OptionSpec kKindOption{"--kind", "KIND", false,
                             "object, light, camera or bone: the user presses 1 to 4 unless it is already chosen"};
const OptionSpec kKeysOption{"--keys", "KEY", true,
                             "further keys the user presses: a character, tab, enter, or a code such as 0x64"};
const OptionSpec kDismissOption{"--dismiss", "", false, "the user cancels the panel instead of confirming it"};

// What a tour step may say; the module and scene are the tour's.
const std::vector<OptionSpec> kStepOptions = {kSelectOption, kUpdatesOption, kPatternOption,
                                              kKindOption,   kKeysOption,    kDismissOption};
const std::vector<OptionSpec> kRunOptions = {kModuleOption,  kSceneOption,   kContentOption, kSelectOption,
                                             kUpdatesOption, kPatternOption, kKindOption,    kKeysOption,
                                             kDismissOption, kJsonOption,    kColorOption,   kNoTreeOption};

constexpr char kAllModes[] = "all";

// The panel's field hands the module at most this many bytes; a longer
// pattern could only arrive cut short, which would search for something else.
constexpr std::size_t kLongestPattern = 127;

struct KindKey {
  const char* name;
  char key;
};
const KindKey kKindKeys[] = {{"object", '1'}, {"light", '2'}, {"camera", '3'}, {"bone", '4'}};
const std::vector<OptionSpec> kTourOptions = {
    kModuleOption,
    kSceneOption,
    kContentOption,
    kColorOption,
    {"--transcript", "", false, "print the compact transcript the golden test compares, without trees"},
    kJsonOption,
    kNoTreeOption};

// What a run line asks for, checked against the module and scene before
// anything runs.
struct RunRequest {
  std::string command;
  std::vector<UpdateMode> modes;  // one, or all three to compare
  std::vector<std::uint32_t> before;
  PanelUser user;
  bool scriptedPanel = false;  // the user was told what to do in a panel
};

struct TextStyle {
  bool color = false;
  bool tree = true;  // the scene tree below each result
};

struct RunRecord {
  std::string command;
  UpdateMode mode = UpdateMode::Deferred;
  std::vector<std::uint32_t> before, after;
  RunResult result;
  std::optional<PanelRecord> panel;  // the last the command opened
  bool scriptedPanel = false;        // the user was told what to do in one
};

std::uint32_t ParseKey(const std::string& text) {
  // A character is itself, whatever its case: 'D' and 'd' are other keys.
  if (text.size() == 1) return static_cast<unsigned char>(text[0]);
  if (EqualsIgnoringCase(text, "tab")) return 9;
  if (EqualsIgnoringCase(text, "enter")) return 13;
  if (text.size() > 2 && text.size() <= 10 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
      text.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos)
    return static_cast<std::uint32_t>(std::strtoul(text.c_str() + 2, nullptr, 16));
  throw CliError("unknown key '" + text + "'" + DidYouMean(text, {"tab", "enter"}) +
                 " (valid: one character such as 4, tab, enter, or a code such as 0x64)");
}

// The kind first, as it sits above the field; then the typing, then any
// further keys; then OK or Cancel.
PanelUser ScriptedUser(const Options& options) {
  PanelUser user;
  if (options.Has("--kind")) {
    std::vector<std::string> kinds;
    for (const KindKey& known : kKindKeys) kinds.emplace_back(known.name);
    const std::string kind = ChooseIgnoringCase("kind", options.Value("--kind"), kinds);
    const auto found = std::find_if(std::begin(kKindKeys), std::end(kKindKeys),
                                    [&kind](const KindKey& known) { return kind == known.name; });
    user.PressesToChoose(static_cast<std::uint32_t>(found->key), static_cast<std::int32_t>(found - kKindKeys));
  }
  if (options.Has("--pattern")) {
    const std::string pattern = options.Value("--pattern");
    if (pattern.size() > kLongestPattern)
      throw CliError("--pattern is " + std::to_string(pattern.size()) + " bytes; the panel's field holds at most " +
                     std::to_string(kLongestPattern));
    user.Types(pattern);
  }
  for (const std::string& key : options.All("--keys")) user.Presses(ParseKey(key));
  if (!options.Has("--dismiss")) user.Confirms();
  return user;
}

bool HasPanelOptions(const Options& options) {
  return options.Has("--pattern") || options.Has("--kind") || options.Has("--keys") || options.Has("--dismiss");
}

std::string Trimmed(const std::string& text) {
  const std::size_t start = text.find_first_not_of(' ');
  return start == std::string::npos ? "" : text.substr(start, text.find_last_not_of(' ') - start + 1);
}

// The field and the choice as the user found them.
std::vector<std::string> ShownValues(const PanelRecord& panel) {
  std::vector<std::string> shown;
  for (const ControlRecord& control : panel.shown) {
    if (control.typeName == kEditControlName) shown.push_back("\"" + control.text + "\"");
    if (control.typeName == kChoiceControlName && control.choice >= 0 &&
        static_cast<std::size_t>(control.choice) < control.items.size())
      shown.push_back(Trimmed(control.items[static_cast<std::size_t>(control.choice)]));
  }
  return shown;
}

// One line: what the panel showed, what the user did, what the module got.
std::string PanelText(const RunRecord& record) {
  if (!record.panel) return record.scriptedPanel ? "no panel opened; the panel options had no effect" : "";
  const PanelRecord& panel = *record.panel;
  std::string text = "\"" + panel.title + "\" showed ";
  const std::vector<std::string> shown = ShownValues(panel);
  text += shown.empty() ? "no field or choice" : JoinedChoices(shown);
  text += "; " + (panel.userActions.empty() ? std::string("nothing done") : JoinedChoices(panel.userActions));
  if (panel.openResult) text += "; open returned " + std::to_string(*panel.openResult);
  return text;
}

std::vector<std::string> CommandNames(const ModuleLibrary& module) {
  std::vector<std::string> names;
  for (const CommandInfo& command : module.commands()) names.push_back(command.name);
  return names;
}

// The one command a run line names. Items come after --select up to the next
// option, so a command written after them is taken for an item: say so
// rather than ask which command was meant.
std::string RequestedCommand(const ModuleLibrary& module, const Options& options) {
  const std::vector<std::string> commands = CommandNames(module);
  if (options.positional.empty()) {
    for (const char* many : {"--select", "--keys"}) {
      for (const std::string& value : options.All(many)) {
        const auto named = std::find_if(commands.begin(), commands.end(), [&value](const std::string& command) {
          return EqualsIgnoringCase(command, value);
        });
        if (named == commands.end()) continue;
        throw CliError(std::string(many) + " took the command name '" + value + "' as one of its values: put the " +
                       "command first (hostsim run " + *named + " " + many + " ...), or end " + many + " with --");
      }
    }
    throw CliError("which command? (valid: " + JoinedChoices(commands) + ")");
  }
  const std::string& command = options.positional[0];
  if (module.Find(command) == nullptr) throw UnknownChoice("command", command, commands);
  return command;
}

RunRequest Prepare(const ModuleLibrary& module, const LoadedScene& loaded, const Options& options) {
  RunRequest request;
  request.command = RequestedCommand(module, options);
  const std::string updates = ChooseIgnoringCase("update mode", options.Value("--updates", "deferred"),
                                                 {"deferred", "live", "snapshot", kAllModes});
  if (updates == kAllModes)
    request.modes = {UpdateMode::Deferred, UpdateMode::Live, UpdateMode::Snapshot};
  else
    request.modes = {*ParseUpdateMode(updates)};
  for (const std::string& name : options.All("--select"))
    request.before.push_back(ResolveItem(loaded.scene, name, loaded.label));
  request.scriptedPanel = HasPanelOptions(options);
  request.user = ScriptedUser(options);
  return request;
}

RunRecord Execute(const ModuleLibrary& module, const LoadedScene& loaded, const RunRequest& request, UpdateMode mode) {
  RunRecord record;
  record.command = request.command;
  record.mode = mode;
  record.scriptedPanel = request.scriptedPanel;
  Host host(loaded.scene);
  host.SetUpdateMode(mode);
  host.panels().user() = request.user;
  host.Select(request.before);
  record.before = host.selection();
  record.result = host.Run(module, record.command);
  record.after = host.selection();
  if (const PanelRecord* panel = host.panels().last()) record.panel = *panel;
  return record;
}

// Each mode from a newly loaded module, so that what the module remembers
// from one run (the by-name panel's pattern and kind) cannot pass for a
// difference the mode makes.
std::vector<RunRecord> ExecuteEachMode(const ModuleLibrary& module, const LoadedScene& loaded,
                                       const RunRequest& request) {
  std::vector<RunRecord> records;
  for (std::size_t index = 0; index < request.modes.size(); ++index) {
    if (index == 0) {
      records.push_back(Execute(module, loaded, request, request.modes[index]));
      continue;
    }
    const FreshModuleCopy fresh(module.path());
    records.push_back(Execute(fresh.module(), loaded, request, request.modes[index]));
  }
  return records;
}

std::string ResultMeaning(int code) {
  switch (code) {
    case 0: return "0 (done)";
    case 2: return "2 (a service the command needs is missing)";
    default: return std::to_string(code) + " (not a result the host knows)";
  }
}

// Names, with the id after any name more than one item of the scene has, or
// with every id first.
std::string NamedSelection(const Scene& scene, const std::vector<std::uint32_t>& ids, bool withIds) {
  if (ids.empty()) return "(nothing)";
  std::unordered_map<std::string_view, std::size_t> uses;
  if (!withIds) {
    for (const Item& item : scene.items()) {
      if (item.id != 0) ++uses[item.name];
    }
  }
  std::string text;
  for (const std::uint32_t id : ids) {
    if (!text.empty()) text += ", ";
    const std::string& name = scene.Get(id).name;
    if (withIds)
      text += IdText(id) + " " + name;
    else if (uses[name] > 1)
      text += (name.empty() ? "" : name + " ") + "(" + IdText(id) + ")";
    else
      text += name;
  }
  return text;
}

// The parts of a result that a reader compares between update modes, in the
// order they are printed.
enum class Part { Result, Lines, Messages, Panel, ProtocolErrors, After };
constexpr Part kParts[] = {Part::Result, Part::Lines, Part::Messages, Part::Panel, Part::ProtocolErrors, Part::After};

const char* PartName(Part part) {
  switch (part) {
    case Part::Result: return "the result";
    case Part::Lines: return "the lines sent";
    case Part::Messages: return "the messages";
    case Part::Panel: return "the panel";
    case Part::ProtocolErrors: return "the protocol errors";
    case Part::After: return "the selection after";
  }
  return "?";
}

// One part of a result as text lines, each ending in a newline.
std::vector<std::string> PartLines(const RunRecord& record, Part part, const Scene& scene, bool color) {
  std::vector<std::string> lines;
  switch (part) {
    case Part::Result: lines.push_back("result " + ResultMeaning(record.result.code) + "\n"); break;
    case Part::Lines: {
      const std::size_t count = record.result.lines.size();
      lines.push_back("sent " + std::to_string(count) + (count == 1 ? " line" : " lines") +
                      (count == 0 ? "\n" : ":\n"));
      for (const std::string& line : record.result.lines) lines.push_back("  " + line + "\n");
      break;
    }
    case Part::Messages:
      if (record.result.messages.empty()) lines.emplace_back("messages: none\n");
      for (const Message& message : record.result.messages)
        lines.push_back("message: " + message.text + (message.secondText ? " / " + *message.secondText : "") + "\n");
      break;
    case Part::Panel: {
      const std::string panel = PanelText(record);
      if (!panel.empty()) lines.push_back("panel: " + panel + "\n");
      break;
    }
    case Part::ProtocolErrors:
      for (const std::string& error : record.result.protocolErrors)
        lines.push_back(std::string(color ? "\033[1;31m" : "") + "protocol error: " + error + (color ? "\033[0m" : "") +
                        "\n");
      break;
    case Part::After: lines.push_back("selected after: " + NamedSelection(scene, record.after, false) + "\n"); break;
  }
  return lines;
}

void PrintRunText(const RunRecord& record, const LoadedScene& loaded, const TextStyle& text, std::ostream& out) {
  const Scene& scene = loaded.scene;
  out << record.command << " on " << loaded.label << ", " << UpdateModeName(record.mode) << " updates\n";
  out << "selected before: " << NamedSelection(scene, record.before, false) << "\n";
  for (const Part part : kParts) {
    for (const std::string& line : PartLines(record, part, scene, text.color)) out << line;
  }
  if (!text.tree) return;
  TreeStyle style;
  style.color = text.color;
  out << "\n" << RenderTree(scene, {{"before", record.before}, {"after", record.after}}, style);
}

// The modes one after another; a part not the same in all of them is marked
// with a star at each of its lines.
void PrintModesText(const std::vector<RunRecord>& records, const LoadedScene& loaded, const TextStyle& text,
                    std::ostream& out) {
  const Scene& scene = loaded.scene;
  out << records[0].command << " on " << loaded.label << ", in each update mode\n";
  out << "selected before: " << NamedSelection(scene, records[0].before, false) << "\n";
  std::vector<Part> differing;
  for (const Part part : kParts) {
    const std::vector<std::string> first = PartLines(records[0], part, scene, false);
    for (const RunRecord& record : records) {
      if (PartLines(record, part, scene, false) == first) continue;
      differing.push_back(part);
      break;
    }
  }
  const char* mark = text.color ? "\033[33m* \033[0m" : "* ";
  for (const RunRecord& record : records) {
    out << "\n"
        << (text.color ? "\033[1m" : "") << UpdateModeName(record.mode) << " updates" << (text.color ? "\033[0m" : "")
        << "\n";
    for (const Part part : kParts) {
      const bool differs = std::find(differing.begin(), differing.end(), part) != differing.end();
      for (const std::string& line : PartLines(record, part, scene, text.color)) out << (differs ? mark : "  ") << line;
    }
  }
  std::vector<std::string> names;
  for (const Part part : differing) names.emplace_back(PartName(part));
  out << "\n"
      << (names.empty() ? "the three modes agree" : "the modes differ in " + JoinedChoices(names) + " (*)") << "\n";
  if (!text.tree) return;
  std::vector<MarkColumn> columns = {{"before", records[0].before}};
  for (const RunRecord& record : records) columns.push_back({UpdateModeName(record.mode), record.after});
  TreeStyle style;
  style.color = text.color;
  out << "\n" << RenderTree(scene, columns, style);
}

bool ModesDiffer(const std::vector<RunRecord>& records, const Scene& scene) {
  for (const RunRecord& record : records) {
    for (const Part part : kParts) {
      if (PartLines(record, part, scene, false) != PartLines(records[0], part, scene, false)) return true;
    }
  }
  return false;
}

void WriteIds(JsonWriter& json, const std::vector<std::uint32_t>& ids) {
  json.BeginArray();
  for (const std::uint32_t id : ids) json.String(IdText(id));
  json.EndArray();
}

// What one run did, as members of the object being written.
void WriteOutcomeJson(JsonWriter& json, const RunRecord& record) {
  json.Key("result").Number(record.result.code);
  json.Key("lines").Strings(record.result.lines);
  json.Key("messages").BeginArray();
  for (const Message& message : record.result.messages) {
    json.BeginObject();
    json.Key("text").String(message.text);
    json.Key("second");
    if (message.secondText)
      json.String(*message.secondText);
    else
      json.Null();
    json.EndObject();
  }
  json.EndArray();
  json.Key("panel");
  if (record.panel) {
    json.BeginObject();
    json.Key("title").String(record.panel->title);
    json.Key("shown").Strings(ShownValues(*record.panel));
    json.Key("user").Strings(record.panel->userActions);
    json.Key("result");
    if (record.panel->openResult)
      json.Number(*record.panel->openResult);
    else
      json.Null();
    json.EndObject();
  } else {
    json.Null();
  }
  json.Key("protocolErrors").Strings(record.result.protocolErrors);
}

// One run, or each mode's, as members of the object being written, from the
// update mode on.
void WriteRunJson(JsonWriter& json, const std::vector<RunRecord>& records, const Scene& scene) {
  const RunRecord& first = records[0];
  if (records.size() == 1) {
    json.Key("updates").String(UpdateModeName(first.mode));
    WriteOutcomeJson(json, first);
    json.Key("before");
    WriteIds(json, first.before);
    json.Key("after");
    WriteIds(json, first.after);
    return;
  }
  json.Key("updates").String(kAllModes);
  json.Key("before");
  WriteIds(json, first.before);
  json.Key("modes").BeginArray();
  for (const RunRecord& record : records) {
    json.BeginObject();
    json.Key("updates").String(UpdateModeName(record.mode));
    WriteOutcomeJson(json, record);
    json.Key("after");
    WriteIds(json, record.after);
    json.EndObject();
  }
  json.EndArray();
  json.Key("differs").Bool(ModesDiffer(records, scene));
}

void PrintRunJson(const std::vector<RunRecord>& records, const LoadedScene& loaded, const ModuleLibrary& module,
                  std::ostream& out) {
  JsonWriter json;
  json.BeginObject();
  json.Key("command").String(records[0].command);
  json.Key("module").String(module.path());
  json.Key("scene").String(loaded.label);
  WriteRunJson(json, records, loaded.scene);
  json.Key("items");
  if (records.size() == 1) {
    const SelectionMarks marks{records[0].before, records[0].after};
    WriteItemsJson(json, loaded.scene, &marks);
  } else {
    WriteItemsJson(json, loaded.scene, nullptr);
  }
  json.EndObject();
  out << json.text() << "\n";
}

bool Clean(const std::vector<RunRecord>& records) {
  return std::all_of(records.begin(), records.end(),
                     [](const RunRecord& record) { return record.result.protocolErrors.empty(); });
}

// ---- tours ----------------------------------------------------------------

struct TourStep {
  int line = 0;
  std::vector<std::string> caption;
  std::vector<std::string> arguments;
};

// One step a line, as arguments to "hostsim run"; "# ..." lines right above a
// step are its caption; double quotes keep spaces inside a name.
std::vector<TourStep> ParseTour(const std::string& text, const std::string& label) {
  std::vector<TourStep> steps;
  std::vector<std::string> caption;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) {
      caption.clear();
      continue;
    }
    if (line[start] == '#') {
      const std::size_t textStart = line.find_first_not_of(" \t", start + 1);
      caption.push_back(textStart == std::string::npos ? "" : line.substr(textStart));
      continue;
    }
    TourStep step;
    step.line = number;
    step.caption = std::move(caption);
    caption.clear();
    std::string word;
    bool inWord = false, quoted = false;
    for (std::size_t at = start; at < line.size(); ++at) {
      const char c = line[at];
      if (c == '"') {
        quoted = !quoted;
        inWord = true;
      } else if (!quoted && (c == ' ' || c == '\t')) {
        if (inWord) step.arguments.push_back(word);
        word.clear();
        inWord = false;
      } else {
        word += c;
        inWord = true;
      }
    }
    const std::string where = label + ":" + std::to_string(number) + ": ";
    if (quoted) throw CliError(where + "a quote is not closed");
    if (inWord) step.arguments.push_back(word);
    // A line copied from a shell keeps its "hostsim run" or "run".
    std::vector<std::string>& words = step.arguments;
    if (words[0] == "hostsim") {
      if (words.size() < 2 || words[1] != "run")
        throw CliError(where + "a step is a run line: 'hostsim run COMMAND ...', 'run COMMAND ...' or 'COMMAND ...'");
      words.erase(words.begin());
    }
    if (words[0] == "run") words.erase(words.begin());
    steps.push_back(std::move(step));
  }
  return steps;
}

std::string Quoted(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) {
    if (!text.empty()) text += ' ';
    const bool quote = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
    text += quote ? "\"" + argument + "\"" : argument;
  }
  return text;
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw CliError("cannot open the tour '" + path + "': " + std::strerror(errno));
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void PrintTranscriptStep(const TourStep& step, const RunRecord& record, const Scene& scene, std::ostream& out) {
  out << "== " << Quoted(step.arguments) << "\n";
  out << "before: " << NamedSelection(scene, record.before, true) << "\n";
  out << "result: " << record.result.code << "\n";
  for (const std::string& line : record.result.lines) out << "  " << line << "\n";
  for (const Message& message : record.result.messages)
    out << "message: " << message.text << (message.secondText ? " / " + *message.secondText : "") << "\n";
  const std::string panel = PanelText(record);
  if (!panel.empty()) out << "panel: " << panel << "\n";
  for (const std::string& error : record.result.protocolErrors) out << "protocol error: " << error << "\n";
  out << "after: " << NamedSelection(scene, record.after, true) << "\n";
}

// Every step checked before the first runs: a mistake on the last line
// must not wait behind the whole tour, nor leave it half shown.
std::vector<RunRequest> PrepareTour(const std::vector<TourStep>& steps, const ModuleLibrary& module,
                                    const LoadedScene& loaded, const std::string& label) {
  std::vector<RunRequest> requests;
  for (const TourStep& step : steps) {
    try {
      const Options options = ParseOptions(step.arguments, kStepOptions, 1);
      requests.push_back(Prepare(module, loaded, options));
      if (requests.back().modes.size() > 1)
        throw CliError(
            "--updates all needs a freshly loaded module for each mode, and a tour's steps share one; "
            "compare the modes with hostsim run");
    } catch (const CliError& error) {
      throw CliError(label + ":" + std::to_string(step.line) + ": " + error.what(), error.status);
    }
  }
  return requests;
}

std::string ModuleCommandsHelp(const std::vector<std::string>& arguments) {
  std::vector<std::string> rest;
  for (const std::string& argument : arguments) {
    if (argument != "--help" && argument != "-h") rest.push_back(argument);
  }
  try {
    const std::unique_ptr<ModuleLibrary> module = LoadModule(ParseOptions(rest, kRunOptions, 1));
    std::string text = "\ncommands of " + module->path() + ":\n";
    for (const std::string& name : CommandNames(*module)) text += "  " + name + "\n";
    return text;
  } catch (const CliError& error) {
    return std::string("\ncommands: cannot list them: ") + error.what() + "\n";
  }
}

}  // namespace

int RunSubcommand(const std::vector<std::string>& arguments, Console& console) {
  if (WantsHelp(arguments)) {
    const std::string after =
        ModuleCommandsHelp(arguments) +
        "\nItems are named as 'hostsim list' shows them: by name, or by id (10000004 or 0x10000004)\n"
        "where a name is not unique. Names are matched case-sensitively; option values are not.\n"
        "\nA panel the command opens (QZ_Sel_ByName asks for a pattern and a kind) meets a scripted\n"
        "user: it chooses --kind, types --pattern (at most 127 bytes), presses --keys in order,\n"
        "then confirms, or cancels with --dismiss. Without these it just confirms what is shown.\n"
        "\n--updates all runs the command in each mode on a freshly loaded module and marks with *\n"
        "what differs between them.\n"
        "\nExit status: 0 done, 1 the module broke the host's rules, 2 the request could not be\n"
        "carried out.\n";
    return PrintHelp({"run COMMAND [options]",
                      "Runs one command of the module on a scene as the host would, and prints the result\n"
                      "code, every line the command sent, the messages it showed, and the scene as a tree\n"
                      "with the selection before and after marked by each item's place in it.\n",
                      kRunOptions, after},
                     console.out);
  }
  const Options options = ParseOptions(arguments, kRunOptions, 1);
  const TextStyle text{UseColor(options, console), !options.Has("--no-tree")};
  const std::unique_ptr<ModuleLibrary> module = LoadModule(options);
  const LoadedScene loaded = LoadScene(options);
  const RunRequest request = Prepare(*module, loaded, options);
  const std::vector<RunRecord> records = ExecuteEachMode(*module, loaded, request);
  if (options.Has("--json"))
    PrintRunJson(records, loaded, *module, console.out);
  else if (records.size() == 1)
    PrintRunText(records[0], loaded, text, console.out);
  else
    PrintModesText(records, loaded, text, console.out);
  return Clean(records) ? kExitDone : kExitFailed;
}

int TourSubcommand(const std::vector<std::string>& arguments, Console& console) {
  if (WantsHelp(arguments)) {
    return PrintHelp({"tour [TOUR] [options]",
                      "Runs a tour: a text file with one 'hostsim run' line a step (COMMAND --select ...\n"
                      "--updates ... and the panel options, with or without 'hostsim run' in front), each on a\n"
                      "fresh copy of the scene; '# ...' lines right above a step are its caption. Every step is\n"
                      "checked before the first runs. Without TOUR, the bundled tour of the bundled demo scene.\n",
                      kTourOptions},
                     console.out);
  }
  const Options options = ParseOptions(arguments, kTourOptions, 1);
  const TextStyle text{UseColor(options, console), !options.Has("--no-tree")};
  const bool transcript = options.Has("--transcript"), json = options.Has("--json");
  if (transcript && json) throw CliError("give --transcript or --json, not both");
  const bool bundled = options.positional.empty();
  const std::string label = bundled ? std::string(kDemoTourName) : options.positional[0];
  const std::vector<TourStep> steps =
      ParseTour(std::string(WithoutByteOrderMark(bundled ? std::string(DemoTourText()) : ReadTextFile(label))), label);
  const std::unique_ptr<ModuleLibrary> module = LoadModule(options);
  const LoadedScene loaded = LoadScene(options);
  const std::vector<RunRequest> requests = PrepareTour(steps, *module, loaded, label);

  JsonWriter writer;
  if (json) {
    writer.BeginObject();
    writer.Key("tour").String(label);
    writer.Key("module").String(module->path());
    writer.Key("scene").String(loaded.label);
    writer.Key("steps").BeginArray();
  }
  if (transcript) console.out << "# " << label << " on " << loaded.label << "\n";
  bool clean = true;
  for (std::size_t index = 0; index < steps.size(); ++index) {
    const TourStep& step = steps[index];
    const RunRecord record = Execute(*module, loaded, requests[index], requests[index].modes[0]);
    clean = clean && record.result.protocolErrors.empty();
    if (json) {
      writer.BeginObject();
      writer.Key("line").Number(step.line);
      writer.Key("caption").Strings(step.caption);
      writer.Key("arguments").Strings(step.arguments);
      writer.Key("command").String(record.command);
      WriteRunJson(writer, {record}, loaded.scene);
      writer.EndObject();
    } else if (transcript) {
      PrintTranscriptStep(step, record, loaded.scene, console.out);
    } else {
      console.out << (index == 0 ? "" : "\n") << (text.color ? "\033[1m" : "") << "== step " << index + 1 << " of "
                  << steps.size() << (text.color ? "\033[0m" : "") << "\n";
      for (const std::string& caption : step.caption) console.out << caption << "\n";
      console.out << "$ hostsim run " << Quoted(step.arguments) << "\n\n";
      PrintRunText(record, loaded, text, console.out);
    }
  }
  if (json) {
    writer.EndArray();
    writer.Key("items");
    WriteItemsJson(writer, loaded.scene, nullptr);
    writer.EndObject();
    console.out << writer.text() << "\n";
  }
  return clean ? kExitDone : kExitFailed;
}

}  // namespace hostsim
