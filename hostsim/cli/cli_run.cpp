#include "hostsim/cli/cli_run.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "hostsim/cli/cli_support.h"
#include "hostsim/cli/json_writer.h"
#include "hostsim/cli/tree_view.h"
#include "hostsim/cli/watchdog.h"
#include "hostsim/host/host.h"
#include "hostsim/scene/examples.h"
#include "hostsim/scene/random_scene.h"
#include "hostsim/scene/text.h"
#include "hostsim/validate/validate.h"

namespace hostsim {

namespace {

const OptionSpec kSelectOption{"--select", "NAME|ID", true, "the selection before the command, first entry first"};
const OptionSpec kUpdatesOption{"--updates", "MODE", false,
                                "when sent lines reach the selection: deferred, live or snapshot (default: deferred)"};

const OptionSpec kPatternOption{"--pattern", "TEXT", false, "what the user types into a panel's field"};
const OptionSpec kKindOption{"--kind", "KIND", false,
                             "object, light, camera or bone: the user presses 1 to 4 unless it is already chosen"};
const OptionSpec kKeysOption{"--keys", "KEY", true,
                             "further keys the user presses: a character, tab, enter, or a code such as 0x64"};
const OptionSpec kDismissOption{"--dismiss", "", false, "the user cancels the panel instead of confirming it"};

// What a tour step may say; the module and scene are the tour's.
const std::vector<OptionSpec> kStepOptions = {kSelectOption, kUpdatesOption, kPatternOption,
                                              kKindOption,   kKeysOption,    kDismissOption};
// What validate found can be run again: its random scenes and host faults.
const OptionSpec kRandomOption{"--random", "SEED", false,
                               "validate's random scene of SEED instead, as 'hostsim save --random SEED' writes it"};
const OptionSpec kFaultOption{"--fault", "FAULT", true,
                              "a host fault validate runs with: high-id-bits, null-names, missing-service=NAME"};
const std::vector<OptionSpec> kRunOptions = {
    kModuleOption, kSceneOption,   kContentOption, kSelectOption, kUpdatesOption, kPatternOption, kKindOption,
    kKeysOption,   kDismissOption, kJsonOption,    kColorOption,  kRandomOption,  kFaultOption,   kTimeoutOption};

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
    kTimeoutOption};

struct RunRecord {
  std::string command;
  UpdateMode mode = UpdateMode::Deferred;
  std::vector<std::string> faults;
  std::vector<std::uint32_t> before, after;
  RunResult result;
  std::optional<PanelRecord> panel;  // the last the command opened
  bool scriptedPanel = false;        // the user was told what to do in one
};

std::uint32_t ParseKey(const std::string& text) {
  if (text.size() == 1) return static_cast<unsigned char>(text[0]);
  if (text == "tab") return 9;
  if (text == "enter") return 13;
  if (text.size() > 2 && text.size() <= 10 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
      text.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos)
    return static_cast<std::uint32_t>(std::strtoul(text.c_str() + 2, nullptr, 16));
  throw CliError("unknown key '" + text + "' (valid: one character such as 4, tab, enter, or a code such as 0x64)");
}

// The kind first, as it sits above the field; then the typing, then any
// further keys; then OK or Cancel.
PanelUser ScriptedUser(const Options& options) {
  PanelUser user;
  if (options.Has("--kind")) {
    const std::string kind = options.Value("--kind");
    const auto found = std::find_if(std::begin(kKindKeys), std::end(kKindKeys),
                                    [&kind](const KindKey& known) { return kind == known.name; });
    if (found == std::end(kKindKeys))
      throw CliError("unknown kind '" + kind + "' (valid: object, light, camera, bone)");
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

Faults ParseFaults(const Options& options) {
  Faults faults;
  for (const std::string& name : options.All("--fault")) {
    if (!AddFault(name, faults)) throw CliError("unknown fault '" + name + "' (valid: " + kFaultChoices + ")");
  }
  return faults;
}

// The scene file, the bundled demo, or validate's random scene of a seed.
LoadedScene SceneOf(const Options& options) {
  if (!options.Has("--random")) return LoadScene(options);
  if (options.Has("--scene")) throw CliError("give --scene or --random, not both");
  const std::string text = options.Value("--random");
  const std::optional<std::uint64_t> seed = ParseUnsigned(text);
  if (!seed) throw CliError("--random needs a number, not '" + text + "'");
  return {RandomScene(*seed), "random scene of seed " + std::to_string(*seed)};
}

// `activity` names the run for a report of a hang or a crash.
RunRecord Execute(const ModuleLibrary& module, const LoadedScene& loaded, const Options& options, Watchdog& watchdog,
                  const std::string& activity) {
  RunRecord record;
  if (options.positional.empty()) throw CliError("which command? (valid: " + JoinedChoices(CommandNames(module)) + ")");
  record.command = options.positional[0];
  if (module.Find(record.command) == nullptr)
    throw CliError("unknown command '" + record.command + "' (valid: " + JoinedChoices(CommandNames(module)) + ")");
  const std::string updates = options.Value("--updates", "deferred");
  const std::optional<UpdateMode> mode = ParseUpdateMode(updates);
  if (!mode) throw CliError("unknown update mode '" + updates + "' (valid: deferred, live, snapshot)");
  record.mode = *mode;
  for (const std::string& name : options.All("--select"))
    record.before.push_back(ResolveItem(loaded.scene, name, loaded.label));

  const Faults faults = ParseFaults(options);
  record.faults = FaultNames(faults);

  record.scriptedPanel = HasPanelOptions(options);
  const PanelUser user = ScriptedUser(options);

  Host host(loaded.scene);
  host.SetUpdateMode(record.mode);
  host.faults() = faults;
  host.panels().user() = user;
  host.Select(record.before);
  record.before = host.selection();
  std::string what =
      activity + record.command + " on " + loaded.label + ", " + UpdateModeName(record.mode) + " updates";
  for (const std::string& fault : record.faults) what += ", fault " + fault;
  watchdog.Start(what);
  record.result = host.Run(module, record.command);
  watchdog.Stop();
  record.after = host.selection();
  if (const PanelRecord* panel = host.panels().last()) {
    record.panel = *panel;
    // What validate holds a panel command to, run here reports the same way.
    const std::string problem = DismissedPanelProblem(*panel, record.result);
    if (!problem.empty()) record.result.protocolErrors.push_back(problem);
  }
  return record;
}

std::string ResultMeaning(int code) {
  switch (code) {
    case 0: return "0 (done)";
    case 2: return "2 (a service the command needs is missing)";
    default: return std::to_string(code) + " (not a result the host knows)";
  }
}

std::string NamedSelection(const Scene& scene, const std::vector<std::uint32_t>& ids, bool withIds) {
  if (ids.empty()) return "(nothing)";
  std::string text;
  for (const std::uint32_t id : ids) {
    if (!text.empty()) text += ", ";
    text += withIds ? IdText(id) + " " + scene.Get(id).name : scene.Get(id).name;
  }
  return text;
}

void PrintRunText(const RunRecord& record, const LoadedScene& loaded, bool color, std::ostream& out) {
  const Scene& scene = loaded.scene;
  out << record.command << " on " << loaded.label << ", " << UpdateModeName(record.mode) << " updates";
  for (const std::string& fault : record.faults) out << ", fault " << fault;
  out << "\n";
  out << "selected before: " << NamedSelection(scene, record.before, false) << "\n";
  out << "result " << ResultMeaning(record.result.code) << "\n";
  out << "sent " << record.result.lines.size() << (record.result.lines.size() == 1 ? " line" : " lines")
      << (record.result.lines.empty() ? "\n" : ":\n");
  for (const std::string& line : record.result.lines) out << "  " << line << "\n";
  if (record.result.messages.empty()) out << "messages: none\n";
  for (const Message& message : record.result.messages)
    out << "message: " << message.text << (message.secondText ? " / " + *message.secondText : "") << "\n";
  const std::string panel = PanelText(record);
  if (!panel.empty()) out << "panel: " << panel << "\n";
  for (const std::string& error : record.result.protocolErrors)
    out << (color ? "\033[1;31m" : "") << "protocol error: " << error << (color ? "\033[0m" : "") << "\n";
  out << "selected after: " << NamedSelection(scene, record.after, false) << "\n\n";
  const SelectionMarks marks{record.before, record.after};
  TreeStyle style;
  style.color = color;
  out << RenderTree(scene, &marks, style);
}

void PrintRunJson(const RunRecord& record, const LoadedScene& loaded, const ModuleLibrary& module, std::ostream& out) {
  JsonWriter json;
  const auto ids = [&json](const std::vector<std::uint32_t>& list) {
    json.BeginArray();
    for (const std::uint32_t id : list) json.String(IdText(id));
    json.EndArray();
  };
  json.BeginObject();
  json.Key("command").String(record.command);
  json.Key("module").String(module.path());
  json.Key("scene").String(loaded.label);
  json.Key("updates").String(UpdateModeName(record.mode));
  json.Key("faults").Strings(record.faults);
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
  json.Key("before");
  ids(record.before);
  json.Key("after");
  ids(record.after);
  json.Key("items");
  const SelectionMarks marks{record.before, record.after};
  WriteItemsJson(json, loaded.scene, &marks);
  json.EndObject();
  out << json.text() << "\n";
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
    if (quoted) throw CliError(label + ":" + std::to_string(number) + ": a quote is not closed");
    if (inWord) step.arguments.push_back(word);
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

std::string ReadTextFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw CliError("cannot open the tour '" + path + "'");
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

int RunSubcommand(const std::vector<std::string>& arguments, Console& console) {
  if (WantsHelp(arguments)) {
    return PrintHelp({"run COMMAND [options]",
                      "Runs one command of the module on a scene as the host would, and prints the result\n"
                      "code, every line the command sent, the messages it showed, and the scene as a tree\n"
                      "with the selection before and after marked by each item's place in it.\n",
                      kRunOptions,
                      "\nItems are named as 'hostsim list' shows them: by name, or by id (10000004 or 0x10000004)\n"
                      "where a name is not unique.\n"
                      "\nA panel the command opens (QZ_Sel_ByName asks for a pattern and a kind) meets a scripted\n"
                      "user: it chooses --kind, types --pattern (at most 127 bytes), presses --keys in order,\n"
                      "then confirms, or cancels with --dismiss. Without these it just confirms what is shown.\n"
                      "A command that sends or shows anything after its panel was dismissed breaks the rules.\n"
                      "\nExit status: 0 done, 1 the module broke the host's rules, crashed, or did not return\n"
                      "within --timeout, 2 the request could not be carried out.\n"},
                     console.out);
  }
  const Options options = ParseOptions(arguments, kRunOptions, 1);
  const bool color = UseColor(options, console);
  const double timeout = ParseSeconds(options, "--timeout", kDefaultTimeoutSeconds);
  const std::unique_ptr<ModuleLibrary> module = LoadModule(options);
  const LoadedScene loaded = SceneOf(options);
  Watchdog watchdog(console.err, timeout);
  const RunRecord record = Execute(*module, loaded, options, watchdog, "hostsim run: ");
  if (options.Has("--json"))
    PrintRunJson(record, loaded, *module, console.out);
  else
    PrintRunText(record, loaded, color, console.out);
  return record.result.protocolErrors.empty() ? kExitDone : kExitFailed;
}

int TourSubcommand(const std::vector<std::string>& arguments, Console& console) {
  if (WantsHelp(arguments)) {
    return PrintHelp(
        {"tour [TOUR] [options]",
         "Runs a tour: a text file with one 'hostsim run' line a step (COMMAND --select ...\n"
         "--updates ... and the panel options), each on a fresh copy of the scene; '# ...' lines right above a step\n"
         "are its caption. Without TOUR, the bundled tour of the bundled demo scene.\n",
         kTourOptions},
        console.out);
  }
  const Options options = ParseOptions(arguments, kTourOptions, 1);
  const bool color = UseColor(options, console);
  const double timeout = ParseSeconds(options, "--timeout", kDefaultTimeoutSeconds);
  const bool bundled = options.positional.empty();
  const std::string label = bundled ? std::string(kDemoTourName) : options.positional[0];
  const std::vector<TourStep> steps =
      ParseTour(bundled ? std::string(DemoTourText()) : ReadTextFile(options.positional[0]), label);
  const std::unique_ptr<ModuleLibrary> module = LoadModule(options);
  const LoadedScene loaded = LoadScene(options);
  const bool transcript = options.Has("--transcript");
  if (transcript) console.out << "# " << label << " on " << loaded.label << "\n";

  bool clean = true;
  Watchdog watchdog(console.err, timeout);
  for (std::size_t index = 0; index < steps.size(); ++index) {
    const TourStep& step = steps[index];
    RunRecord record;
    try {
      record = Execute(
          *module, loaded, ParseOptions(step.arguments, kStepOptions, 1), watchdog,
          "hostsim tour: " + label + ":" + std::to_string(step.line) + ", step " + std::to_string(index + 1) + ": ");
    } catch (const CliError& error) {
      throw CliError(label + ":" + std::to_string(step.line) + ": " + error.what(), error.status);
    }
    clean = clean && record.result.protocolErrors.empty();
    if (transcript) {
      PrintTranscriptStep(step, record, loaded.scene, console.out);
      continue;
    }
    console.out << (index == 0 ? "" : "\n") << (color ? "\033[1m" : "") << "== step " << index + 1 << " of "
                << steps.size() << (color ? "\033[0m" : "") << "\n";
    for (const std::string& caption : step.caption) console.out << caption << "\n";
    console.out << "$ hostsim run " << Quoted(step.arguments) << "\n\n";
    PrintRunText(record, loaded, color, console.out);
  }
  return clean ? kExitDone : kExitFailed;
}

}  // namespace hostsim
