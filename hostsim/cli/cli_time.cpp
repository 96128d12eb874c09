#include "hostsim/cli/cli_time.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "hostsim/scene/json_writer.h"
#include "hostsim/cli/loading.h"
#include "hostsim/cli/run_step.h"
#include "hostsim/cli/text.h"
#include "hostsim/cli/watchdog.h"
#include "hostsim/host/call_trace.h"
#include "hostsim/scene/scene_shapes.h"
#include "hostsim/scene/text.h"

namespace hostsim {

namespace {

const OptionSpec kShapeOption{"--shape", "SHAPE", false,
                              "a generated scene instead: wide, deep, balanced or mixed, of --items items"};
const OptionSpec kItemsOption{"--items", "N", false, "the generated scene's size (default: 100000)"};
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

constexpr std::uint64_t kMaxItems = 10000000;
constexpr std::uint64_t kDefaultItems = 100000;
constexpr std::uint64_t kMaxRepeat = 1000;
constexpr std::uint64_t kDefaultRepeat = 7;
constexpr char kAllCommands[] = "all";

struct TimeRequest {
  std::vector<std::string> commands;
  std::vector<std::uint32_t> before;
  PanelUser user;
  std::size_t repeat = kDefaultRepeat;
  std::string sceneLabel;
  std::string selectionLabel;
};

std::uint64_t ParseCount(const Options& options, std::string_view name, std::uint64_t fallback, std::uint64_t most) {
  if (!options.Has(name)) return fallback;
  const std::string text = options.Value(name);
  const std::optional<std::uint64_t> value = ParseUnsigned(text);
  if (!value || *value == 0 || *value > most)
    throw CliError(std::string(name) + " needs a whole number from 1 to " + std::to_string(most) + ", not '" + text +
                   "'");
  return *value;
}

LoadedScene LoadTimeScene(const Options& options) {
  if (!options.Has("--shape")) {
    if (options.Has("--items")) throw CliError("--items sizes a generated scene: give --shape too");
    return LoadRunScene(options);
  }
  if (options.Has("--scene") || options.Has("--random")) throw CliError("give --shape, --scene or --random, not two");
  std::vector<std::string> names;
  for (const Shape shape : kShapes) names.emplace_back(ShapeName(shape));
  const std::string name = ChooseIgnoringCase("shape", options.Value("--shape"), names);
  const Shape shape = kShapes[std::find(names.begin(), names.end(), name) - names.begin()];
  const std::uint64_t items = ParseCount(options, "--items", kDefaultItems, kMaxItems);
  return {MakeScene(shape, items), name + " scene of " + Grouped(items) + " items"};
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

// ---- measuring -------------------------------------------------------------------

// Beyond this the trace alone would take gigabytes.
constexpr std::size_t kMaxRecordedCalls = 20000000;
// A command of a few microseconds is within reach of the clock's own jitter
// (a read of the performance counter under Wine is itself a microsecond):
// it is repeated until its runs add up to this, so its median is steady.
constexpr double kQuickSeconds = 0.1;
constexpr std::size_t kMostQuickRepetitions = 20000;
// The least time the text shows as more than 0.0 us.
constexpr double kLeastShown = 0.05e-6;

struct Spread {
  double min = 0, median = 0, max = 0;
  double p10 = 0, p90 = 0;  // the middle 80 % of the runs, clear of a rare preempted one
};

Spread SpreadOf(std::vector<double> values) {
  Spread spread;
  if (values.empty()) return spread;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  spread.min = values.front();
  spread.max = values.back();
  spread.median = values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
  spread.p10 = values[(values.size() - 1) / 10];
  spread.p90 = values[(values.size() - 1) * 9 / 10];
  return spread;
}

struct Timing {
  std::string command;
  int result = 0;
  CallCounts calls;
  std::vector<double> module;    // seconds a repetition, the panel's time taken off
  std::vector<double> floor;     // seconds a repetition
  std::vector<double> overhead;  // module / floor - 1, a repetition; NaN where the floor took no measurable time
  bool panel = false;
  std::vector<double> panelSeconds;  // a repetition, on an empty scene
  std::string problem;               // why there are no figures
  std::string noFloor;               // why there is no floor beside the module's figures
  // Why the module's own time is too little to show beside its floor: below
  // the clock's reach, or lost in its panel's. Empty when it shows.
  std::string unresolved;
  double panelLeft = 0, panelError = 0;  // what the panel left of the median, and that figure's error
};

// The standard error of a median of many runs, from the spread of their
// middle 80 % (a normal spread's 10th to 90th percentile is 2.563 standard
// deviations wide).
double MedianError(const std::vector<double>& values) {
  if (values.empty()) return 0;
  const Spread spread = SpreadOf(values);
  return 1.2533 * (spread.p90 - spread.p10) / 2.563 / std::sqrt(static_cast<double>(values.size()));
}

// The host as each repetition finds it: the same selection, the same user.
void Reset(Host& host, const TimeRequest& request) {
  host.Select(request.before);
  host.panels().user() = request.user;
}

// One timed activation, watched: a command that does not return is ended.
double Timed(Host& host, ActivateFunc activate, StepListener& steps, const std::string& step,
             RunResult* result = nullptr) {
  steps.Starting(step);
  const double seconds = TimeActivation(host, activate, result);
  steps.Finished();
  return seconds;
}

// The run that fixes what the command does: its calls, its result, whether
// it opens a panel, and whether it keeps the host's rules at all.
void PlanningRun(Host& host, ActivateFunc activate, const TimeRequest& request, StepListener& steps,
                 const std::string& step, Timing& timing) {
  Reset(host, request);
  host.ResetCalls();
  const int panelsBefore = host.panels().createCalls();
  RunResult planned;
  Timed(host, activate, steps, step, &planned);
  timing.result = planned.code;
  timing.calls = host.calls();
  timing.panel = host.panels().createCalls() != panelsBefore;
  if (!planned.protocolErrors.empty()) timing.problem = "broke the host's rules: " + planned.protocolErrors.front();
}

// Times the command and then its floor, back to back, until both medians
// are steady. A command that opens a panel has its panel timed too, on a scene
// with nothing in it (the same user, so only the search has nothing to
// visit); the median of those runs is taken off each of the command's.
void Repetitions(Host& host, ActivateFunc activate, const TimeRequest& request, StepListener& steps,
                 const std::string& step, CallTrace* floorTrace, Timing& timing) {
  Host empty;
  empty.SetRecordLines(false);
  empty.panels().SetKeepPanels(false);
  std::vector<double> totals;
  double spent = 0;
  for (std::size_t repetition = 0;
       repetition < request.repeat || (spent < kQuickSeconds && repetition < kMostQuickRepetitions); ++repetition) {
    Reset(host, request);
    totals.push_back(Timed(host, activate, steps, step));
    spent += totals.back();
    if (timing.panel) {
      empty.panels().user() = request.user;
      timing.panelSeconds.push_back(Timed(empty, activate, steps, step + " (its panel, on an empty scene)"));
    }
    if (floorTrace == nullptr) continue;
    Reset(host, request);
    steps.Starting(step + " (its floor)");
    timing.floor.push_back(ReplayCalls(host, *floorTrace));
    steps.Finished();
  }
  const double panel = SpreadOf(timing.panelSeconds).median;
  for (std::size_t repetition = 0; repetition < totals.size(); ++repetition) {
    timing.module.push_back(std::max(totals[repetition] - panel, 0.0));
    if (floorTrace == nullptr) continue;
    const double floorSeconds = timing.floor[repetition];
    timing.overhead.push_back(floorSeconds > 0 ? timing.module.back() / floorSeconds - 1
                                               : std::numeric_limits<double>::quiet_NaN());
  }
  if (timing.panel) {
    // The module's part is the difference of two medians, each a little
    // uncertain; a panel's spread of a hundred microseconds easily hides a
    // search of a few.
    timing.panelLeft = SpreadOf(totals).median - panel;
    timing.panelError = 2 * std::hypot(MedianError(totals), MedianError(timing.panelSeconds));
    if (timing.panelLeft <= std::max(timing.panelError, kLeastShown)) timing.unresolved = "lost in its panel's time";
  } else if (SpreadOf(timing.module).median < kLeastShown) {
    timing.unresolved = "below the clock's reach";
  }
}

Timing Measure(Host& host, const ModuleLibrary& module, const std::string& command, const TimeRequest& request,
               StepListener& steps) {
  Timing timing;
  timing.command = command;
  const ActivateFunc activate = module.Find(command)->activate;
  const std::string step = "hostsim time: " + command + " on " + request.sceneLabel;
  PlanningRun(host, activate, request, steps, step, timing);
  if (!timing.problem.empty()) return timing;
  Floor floor = RecordFloor(host, activate, timing.calls, kMaxRecordedCalls, [&] { Reset(host, request); });
  // A walk too long to record is still timed, alone; a replay that differs
  // from the command is no floor at all.
  if (!floor.problem.empty() && floor.trace.complete) {
    timing.problem = floor.problem;
    return timing;
  }
  timing.noFloor = floor.problem;
  if (!floor.problem.empty()) floor.trace = CallTrace();
  Repetitions(host, activate, request, steps, step, floor.problem.empty() ? &floor.trace : nullptr, timing);
  return timing;
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

std::vector<double> Measured(const std::vector<double>& values) {
  std::vector<double> kept;
  for (const double value : values)
    if (!std::isnan(value)) kept.push_back(value);
  return kept;
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

void SpreadJson(JsonWriter& json, const char* key, const std::vector<double>& values) {
  const std::vector<double> kept = Measured(values);
  json.Key(key);
  if (kept.empty()) return json.Null();
  const Spread spread = SpreadOf(kept);
  json.BeginObject();
  json.Key("median").Real(spread.median);
  json.Key("min").Real(spread.min);
  json.Key("max").Real(spread.max);
  json.Key("p10").Real(spread.p10);
  json.Key("p90").Real(spread.p90);
  json.EndObject();
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
    json.BeginObject();
    json.Key("command").String(timing.command);
    json.Key("result").Number(timing.result);
    json.Key("visited").Number(static_cast<std::int64_t>(ItemsVisited(timing.calls)));
    json.Key("calls").Number(static_cast<std::int64_t>(timing.calls.Total()));
    json.Key("lines").Number(static_cast<std::int64_t>(timing.calls.evaluate));
    json.Key("repetitions").Number(static_cast<std::int64_t>(timing.module.size()));
    if (!timing.problem.empty()) json.Key("problem").String(timing.problem);
    if (!timing.noFloor.empty()) json.Key("noFloor").String(timing.noFloor);
    json.Key("panelSeconds");
    timing.panel ? json.Real(SpreadOf(timing.panelSeconds).median) : json.Null();
    SpreadJson(json, "moduleSeconds", timing.module);
    SpreadJson(json, "floorSeconds", timing.floor);
    SpreadJson(json, "overhead", timing.overhead);
    json.Key("moduleResolved").Bool(timing.unresolved.empty());
    json.EndObject();
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
    timings.push_back(Measure(host, *module, command, request, watchdog));
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
