#include "hostsim/cli/cli_tour.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <sstream>

#include "hostsim/cli/loading.h"
#include "hostsim/cli/run_report.h"
#include "hostsim/cli/run_step.h"
#include "hostsim/cli/text.h"
#include "hostsim/cli/tree_view.h"
#include "hostsim/cli/watchdog.h"
#include "hostsim/scene/examples.h"
#include "hostsim/scene/utf8_path.h"
#include "hostsim/scene_file/scene_file.h"

namespace hostsim {

namespace {

const std::vector<OptionSpec> kTourOptions = {
    kModuleOption,
    kSceneOption,
    kContentOption,
    kColorOption,
    {"--transcript", "", false, "print the compact transcript the golden test compares, without trees"},
    kJsonOption,
    kNoTreeOption,
    kTimeoutOption};

struct TourStep {
  int line = 0;
  std::vector<std::string> caption;
  std::vector<std::string> arguments;
};

// The words of a step's line; double quotes keep blanks inside a word.
std::vector<std::string> StepArguments(const std::string& line, const std::string& where) {
  std::vector<std::string> arguments;
  std::string word;
  bool inWord = false, quoted = false;
  for (const char c : line) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (inWord) arguments.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (quoted) throw CliError(where + ": a quote is not closed");
  if (inWord) arguments.push_back(word);
  return arguments;
}

// One step a line, as arguments to "hostsim run"; "# ..." lines right above a
// step are its caption.
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
    const std::string where = label + ":" + std::to_string(number);
    step.arguments = StepArguments(line.substr(start), where);
    // A line copied from a shell keeps its "hostsim run" or "run".
    std::vector<std::string>& words = step.arguments;
    if (words[0] == "hostsim") {
      if (words.size() < 2 || words[1] != "run")
        throw CliError(where + ": a step is a run line: 'hostsim run COMMAND ...', 'run COMMAND ...' or 'COMMAND ...'");
      words.erase(words.begin());
    }
    if (words[0] == "run") words.erase(words.begin());
    steps.push_back(std::move(step));
  }
  return steps;
}

void PrintTranscriptStep(const TourStep& step, const RunRecord& record, const Scene& scene, std::ostream& out) {
  out << "== " << QuotedArguments(step.arguments) << "\n";
  out << "before: " << NamedSelection(scene, record.before, true) << "\n";
  out << "result: " << record.result.code << "\n";
  for (const std::string& line : record.result.lines) out << "  " << line << "\n";
  PrintOutcome(record, false, out);
  out << "after: " << NamedSelection(scene, record.after, true) << "\n";
}

std::string ReadTextFile(const std::string& path) {
  std::optional<std::string> text = ReadWholeFile(path);
  if (!text) throw CliError("cannot open the tour '" + path + "': " + std::strerror(errno));
  return std::move(*text);
}

// Every step checked before the first runs: a mistake on the last line must
// not wait behind the whole tour, nor leave it half shown.
std::vector<RunRequest> PrepareTour(const std::vector<TourStep>& steps, const ModuleLibrary& module,
                                    const LoadedScene& loaded, const std::string& label) {
  std::vector<RunRequest> requests;
  for (const TourStep& step : steps) {
    try {
      requests.push_back(Prepare(module, loaded, ParseOptions(step.arguments, kStepOptions, 1)));
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

void WriteStepJson(JsonWriter& json, const TourStep& step, const RunRecord& record, const Scene& scene) {
  json.BeginObject();
  json.Key("line").Number(step.line);
  json.Key("caption").Strings(step.caption);
  json.Key("arguments").Strings(step.arguments);
  json.Key("command").String(record.command);
  WriteRunJson(json, {record}, scene);
  json.EndObject();
}

// The paragraphs of "hostsim tour --help", as they print.
constexpr char kTourAbout[] = R"(Runs a tour: a text file with one 'hostsim run' line a step (COMMAND --select ...
--updates ... and the panel options, with or without 'hostsim run' in front), each on a
fresh copy of the scene; '# ...' lines right above a step are its caption. Every step is
checked before the first runs. Without TOUR, the bundled tour of the bundled demo scene.
)";

HelpText TourHelp() { return {"tour [TOUR] [options]", kTourAbout, kTourOptions}; }

int Tour(const Options& options, Console& console) {
  const TextStyle style{UseColor(options, console), !options.Has("--no-tree")};
  const bool transcript = options.Has("--transcript"), json = options.Has("--json");
  if (transcript && json) throw CliError("give --transcript or --json, not both");
  const double timeout = ParseSeconds(options, "--timeout", kDefaultTimeoutSeconds);
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
  Watchdog watchdog(console.err, timeout, console.validationSteps);
  for (std::size_t index = 0; index < steps.size(); ++index) {
    const TourStep& step = steps[index];
    const RunRecord record = Execute(
        *module, loaded, requests[index], requests[index].modes[0], watchdog,
        "hostsim tour: " + label + ":" + std::to_string(step.line) + ", step " + std::to_string(index + 1) + ": ");
    clean = clean && record.result.protocolErrors.empty();
    if (json) {
      WriteStepJson(writer, step, record, loaded.scene);
      continue;
    }
    if (transcript) {
      PrintTranscriptStep(step, record, loaded.scene, console.out);
      continue;
    }
    console.out << (index == 0 ? "" : "\n")
                << Styled("== step " + std::to_string(index + 1) + " of " + std::to_string(steps.size()), kBold,
                          style.color)
                << "\n";
    for (const std::string& caption : step.caption) console.out << caption << "\n";
    console.out << "$ hostsim run " << QuotedArguments(step.arguments) << "\n\n";
    PrintRunText(record, loaded, style, console.out);
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

}  // namespace

const Subcommand kTourSubcommand = {"tour", "run the demo tour, or your own, printing each step's selection", TourHelp,
                                    1, Tour};

}  // namespace hostsim
