#include "hostsim/host/command_timing.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "hostsim/host/call_trace.h"

namespace hostsim {

namespace {

// Beyond this the trace alone would take gigabytes.
constexpr std::size_t kMaxRecordedCalls = 20000000;
// A command of a few microseconds is within reach of the clock's own jitter
// (a read of the performance counter under Wine is itself a microsecond):
// it is repeated until its runs add up to this, so its median is steady.
constexpr double kQuickSeconds = 0.1;
constexpr std::size_t kMostQuickRepetitions = 20000;

// The standard error of a median of many runs, from the spread of their
// middle 80 % (a normal spread's 10th to 90th percentile is 2.563 standard
// deviations wide).
double MedianError(const std::vector<double>& values) {
  if (values.empty()) return 0;
  const Spread spread = SpreadOf(values);
  return 1.2533 * (spread.p90 - spread.p10) / 2.563 / std::sqrt(static_cast<double>(values.size()));
}

// The host as each repetition finds it: the same selection, the same user.
void Reset(Host& host, const TimingRequest& request) {
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
void PlanningRun(Host& host, ActivateFunc activate, const TimingRequest& request, StepListener& steps,
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
void Repetitions(Host& host, ActivateFunc activate, const TimingRequest& request, StepListener& steps,
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

}  // namespace

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

std::vector<double> Measured(const std::vector<double>& values) {
  std::vector<double> kept;
  for (const double value : values)
    if (!std::isnan(value)) kept.push_back(value);
  return kept;
}

namespace {

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

}  // namespace

Timing Measure(Host& host, const ModuleLibrary& module, const std::string& command, const TimingRequest& request,
               StepListener& steps, const std::string& step) {
  Timing timing;
  timing.command = command;
  const ActivateFunc activate = module.Find(command)->activate;
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

void TimingJson(JsonWriter& json, const Timing& timing) {
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

}  // namespace hostsim
