#include "hostsim/cli/cli_tour.h"

#include <fstream>
#include <memory>
#include <sstream>

#include "hostsim/cli/loading.h"
#include "hostsim/cli/run_report.h"
#include "hostsim/cli/run_step.h"
#include "hostsim/cli/text.h"
#include "hostsim/cli/watchdog.h"
#include "hostsim/scene/examples.h"

namespace hostsim {

namespace {

const std::vector<OptionSpec> kTourOptions = {
    kModuleOption,
    kSceneOption,
    kContentOption,
    kColorOption,
    {"--transcript", "", false, "print the compact transcript the golden test compares, without trees"},
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
    step.arguments = StepArguments(line.substr(start), label + ":" + std::to_string(number));
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
  std::ifstream file(path, std::ios::binary);
  if (!file) throw CliError("cannot open the tour '" + path + "'");
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The paragraphs of "hostsim tour --help", as they print.
constexpr char kTourAbout[] = R"(Runs a tour: a text file with one 'hostsim run' line a step (COMMAND --select ...
--updates ... and the panel options), each on a fresh copy of the scene; '# ...' lines right above a step
are its caption. Without TOUR, the bundled tour of the bundled demo scene.
)";

HelpText TourHelp() { return {"tour [TOUR] [options]", kTourAbout, kTourOptions}; }

int Tour(const Options& options, Console& console) {
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
  Watchdog watchdog(console.err, timeout, console.validationSteps);
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
    console.out << (index == 0 ? "" : "\n")
                << Styled("== step " + std::to_string(index + 1) + " of " + std::to_string(steps.size()), kBold, color)
                << "\n";
    for (const std::string& caption : step.caption) console.out << caption << "\n";
    console.out << "$ hostsim run " << QuotedArguments(step.arguments) << "\n\n";
    PrintRunText(record, loaded, color, console.out);
  }
  return clean ? kExitDone : kExitFailed;
}

}  // namespace

const Subcommand kTourSubcommand = {"tour", "run the demo tour, or your own, printing each step's selection", TourHelp,
                                    1, Tour};

}  // namespace hostsim
