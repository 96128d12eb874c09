#include "hostsim/cli/cli_time.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hostsim/cli/loading.h"
#include "hostsim/cli/run_step.h"
#include "hostsim/cli/text.h"
#include "hostsim/cli/watchdog.h"
#include "hostsim/host/call_trace.h"
#include "hostsim/host/command_timing.h"
#include "hostsim/scene/json_writer.h"
#include "hostsim/scene/scene_shapes.h"
#include "hostsim/scene/text.h"

namespace hostsim {

namespace {

const OptionSpec kPickOption{"--pick", "WHICH", false,
                             "the selection by rule: one (the middle item in scene order), 1% (every hundredth), all "
                             "or none (default: all, unless --select names items)"};
const OptionSpec kRepeatOption{"--repeat", "N", false,
                               "time each command at least N times, each beside its floor (default: 7)"};

const std::vector<OptionSpec> kTimeOptions = {
    kModuleOption, kSceneOption,   kContentOption, kRandomOption, kShapeOption,  kItemsOption, kSelectOption,
    kPickOption,   kPatternOption, kKindOption,    kKeysOption,   kRepeatOption, kJsonOption,  kTimeoutOption};

constexpr char kTimeAbout[] = R"(Times commands of the module on a scene: the time spent inside each activation, and
its floor, the same host calls (every lookup, item query, message and line, with the
same arguments) replayed by an activation without the module's logic. What the module
takes beyond the floor is its own cost. Lines are applied after each activation, as a
deferred host does, and that work is not timed.

Each repetition times the command and then its floor, back to back; a command quicker
than a tenth of a second in all is repeated until it adds up to that. The figures are
the median with the 10th and 90th percentile of the repetitions (JSON adds the quickest
and slowest). A command that opens a panel
has its panel timed too, on an empty scene in each repetition, and the median taken
off first, since the replay cannot stand in for a panel that calls back into the
module; where what is left cannot be told from the panel's own spread, the module's
time is not shown.
)";

constexpr char kTimeAfterOptions[] = R"(
COMMAND is one or more of the module's commands, or all of them with 'all'.
The clock is the thread's CPU time on Linux and the performance counter on Windows.
Time on a quiet machine: on a busy one, both figures grow and the overhead wanders.

Exit status: 0 done, 1 a command broke the host's rules or its calls could not be
replayed, 2 the request could not be carried out.
)";

HelpText TimeHelp() { return {"time COMMAND... [options]", kTimeAbout, kTimeOptions, kTimeAfterOptions}; }

// ---- the request ---------------------------------------------------------------

constexpr std::uint64_t kMaxRepeat = 1000;
constexpr std::uint64_t kDefaultRepeat = 7;
constexpr char kAllCommands[] = "all";

struct TimeRequest : TimingRequest {
  std::vector<std::string> commands;
  std::string sceneLabel;
  std::string selectionLabel;
};

LoadedScene LoadTimeScene(const Options& options) {
  std::optional<LoadedScene> generated = LoadShapeScene(options);
  return generated ? std::move(*generated) : LoadRunScene(options);
}

std::vector<std::string> RequestedCommands(const ModuleLibrary& module, const Options& options) {
  if (options.positional.size() == 1 && EqualsIgnoringCase(options.positional[0], kAllCommands))
    return CommandNames(module);
  return options.positional;
}

TimeRequest ReadRequest(const ModuleLibrary& module, const LoadedScene& loaded, const Options& options) {
  TimeRequest request;
  request.commands = RequestedCommands(module, options);
  // Each command is checked as a run line would check it, and none is asked
  // for as run asks. The selection and the panel's user do not depend on the
  // command: the first's serve all.
  Options single = options;
  single.positional.assign(request.commands.begin(), request.commands.begin() + (request.commands.empty() ? 0 : 1));
  const RunRequest first = Prepare(module, loaded, single);
  request.before = first.before;
  request.user = first.user;
  for (std::size_t index = 1; index < request.commands.size(); ++index) {
    single.positional = {request.commands[index]};
    Prepare(module, loaded, single);
  }
  if (options.Has("--pick")) {
    if (options.Has("--select")) throw CliError("give --select or --pick, not both");
    std::vector<std::string> picks;
    for (const Pick pick : {Pick::One, Pick::OnePercent, Pick::All, Pick::None}) picks.emplace_back(PickName(pick));
    const std::string pick = ChooseIgnoringCase("selection rule", options.Value("--pick"), picks);
    request.before =
        PickSelection(loaded.scene, static_cast<Pick>(std::find(picks.begin(), picks.end(), pick) - picks.begin()));
  } else if (!options.Has("--select")) {
    request.before = PickSelection(loaded.scene, Pick::All);
  }
  request.selectionLabel =
      Grouped(request.before.size()) + (request.before.size() == 1 ? " item" : " items") + " selected";
  request.repeat = ParseCount(options, "--repeat", kDefaultRepeat, kMaxRepeat);
  request.sceneLabel = loaded.label;
  return request;
}

// ---- what it prints ----------------------------------------------------------

std::string Seconds(double seconds, double unit) {
  char text[32];
  std::snprintf(text, sizeof text, unit >= 1e-3 ? "%.2f" : "%.1f", seconds / (unit >= 1e-3 ? 1e-3 : 1e-6));
  return text;
}

std::string TimeColumn(const std::vector<double>& samples) {
  if (samples.empty()) return "-";
  const Spread spread = SpreadOf(samples);
  const double unit = spread.median;
  return Seconds(spread.median, unit) + (unit >= 1e-3 ? " ms" : " us") + " [" + Seconds(spread.p10, unit) + ", " +
         Seconds(spread.p90, unit) + "]";
}

std::string Percent(double ratio) {
  if (std::isnan(ratio)) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%+.1f%%", ratio * 100);
  return text;
}

std::string OverheadColumn(const std::vector<double>& overhead) {
  const std::vector<double> kept = Measured(overhead);
  if (kept.empty()) return "-";
  const Spread spread = SpreadOf(kept);
  return Percent(spread.median) + " [" + Percent(spread.p10) + ", " + Percent(spread.p90) + "]";
}

void PrintTimingsText(const std::vector<Timing>& timings, const TimeRequest& request, const ModuleLibrary& module,
                      std::ostream& out) {
  out << module.path() << " on " << request.sceneLabel << ", " << request.selectionLabel << ", deferred updates, "
      << "at least " << request.repeat << (request.repeat == 1 ? " repetition" : " repetitions")
      << " (quick commands until they add up to 0.1 s)\n";
  // Thousands of runs of a quick command always hold a preempted one: the
  // extremes would show the machine, not the command.
  out << "median [10th, 90th percentile of the runs]\n";
  out << PadRight("command", 18) << PadLeft("visited", 12) << PadLeft("calls", 12) << "  " << PadRight("module", 26)
      << PadRight("floor", 26) << "overhead\n";
  for (const Timing& timing : timings) {
    out << PadRight(timing.command, 18) << PadLeft(Grouped(ItemsVisited(timing.calls)), 12)
        << PadLeft(Grouped(timing.calls.Total()), 12) << "  ";
    if (!timing.problem.empty()) {
      out << timing.problem << "\n";
      continue;
    }
    // A module time that is no measurement is not set beside the floor.
    const bool shown = timing.unresolved.empty();
    out << PadRight(shown ? TimeColumn(timing.module) : timing.unresolved, 26) << PadRight(TimeColumn(timing.floor), 26)
        << (shown ? OverheadColumn(timing.overhead) : "-") << "\n";
  }
  for (const Timing& timing : timings) {
    if (!timing.noFloor.empty()) out << timing.command << ": no floor: " << timing.noFloor << "\n";
    if (!timing.panel || !timing.problem.empty()) continue;
    out << timing.command << ": its panel, " << TimeColumn(timing.panelSeconds)
        << " on an empty scene, is taken off its time";
    if (!timing.unresolved.empty())
      out << "; what is left (" << Seconds(timing.panelLeft, 0) << " us) is within the error of the two medians ("
          << Seconds(timing.panelError, 0) << " us), too little to time";
    out << "\n";
  }
}

void PrintTimingsJson(const std::vector<Timing>& timings, const TimeRequest& request, const ModuleLibrary& module,
                      std::ostream& out) {
  JsonWriter json;
  json.BeginObject();
  json.Key("module").String(module.path());
  json.Key("scene").String(request.sceneLabel);
  json.Key("selected").Number(static_cast<std::int64_t>(request.before.size()));
  json.Key("repetitions").Number(static_cast<std::int64_t>(request.repeat));
  json.Key("commands").BeginArray();
  for (const Timing& timing : timings) {
    TimingJson(json, timing);
  }
  json.EndArray();
  json.EndObject();
  out << json.text() << "\n";
}

int Time(const Options& options, Console& console) {
  const double timeout = ParseSeconds(options, "--timeout", kDefaultTimeoutSeconds);
  const std::unique_ptr<ModuleLibrary> module = LoadModule(options);
  LoadedScene loaded = LoadTimeScene(options);
  const TimeRequest request = ReadRequest(*module, loaded, options);
  Host host(std::move(loaded.scene));
  // Neither is the module's cost: keeping every line, and keeping every panel.
  host.SetRecordLines(false);
  host.panels().SetKeepPanels(false);
  Watchdog watchdog(console.err, timeout, console.validationSteps);
  std::vector<Timing> timings;
  for (const std::string& command : request.commands)
    timings.push_back(
        Measure(host, *module, command, request, watchdog, "hostsim time: " + command + " on " + request.sceneLabel));
  if (options.Has("--json"))
    PrintTimingsJson(timings, request, *module, console.out);
  else
    PrintTimingsText(timings, request, *module, console.out);
  const bool measured =
      std::all_of(timings.begin(), timings.end(), [](const Timing& timing) { return timing.problem.empty(); });
  return measured ? kExitDone : kExitFailed;
}

}  // namespace

const Subcommand kTimeSubcommand = {"time", "time commands of the module against a replay of their host calls",
                                    TimeHelp, std::numeric_limits<std::size_t>::max(), Time};

}  // namespace hostsim
