// How long a command takes on the host's scene, beside its floor (the same
// host calls replayed without the module's logic): what "hostsim time" prints
// and the playground page's figures, measured the one way.
#ifndef QZ_HOSTSIM_HOST_COMMAND_TIMING_H
#define QZ_HOSTSIM_HOST_COMMAND_TIMING_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hostsim/host/host.h"
#include "hostsim/host/module_library.h"
#include "hostsim/host/panel.h"
#include "hostsim/host/scripted_run.h"
#include "hostsim/scene/json_writer.h"

namespace hostsim {

// What every repetition starts from.
struct TimingRequest {
  std::vector<std::uint32_t> before;  // the selection, entry 0 first
  PanelUser user;                     // who answers a panel
  std::size_t repeat = 7;             // at least this many repetitions
};

// The least time the text shows as more than 0.0 us.
constexpr double kLeastShown = 0.05e-6;

struct Spread {
  double min = 0, median = 0, max = 0;
  double p10 = 0, p90 = 0;  // the middle 80 % of the runs, clear of a rare preempted one
};

Spread SpreadOf(std::vector<double> values);

// The figures that were measured: overheads are NaN where the floor took no
// measurable time.
std::vector<double> Measured(const std::vector<double>& values);

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

// Times `command` on the host's scene; `step` names each run to `steps`,
// which may end one that does not return. The host is left with the last
// repetition's selection.
Timing Measure(Host& host, const ModuleLibrary& module, const std::string& command, const TimingRequest& request,
               StepListener& steps, const std::string& step);

// The timing as one JSON object: command, result, visited, calls, lines,
// repetitions, problem, noFloor, panelSeconds, moduleSeconds, floorSeconds,
// overhead (each spread as median, min, max, p10, p90) and moduleResolved.
void TimingJson(JsonWriter& json, const Timing& timing);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_HOST_COMMAND_TIMING_H
