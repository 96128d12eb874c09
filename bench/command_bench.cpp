// Every command of the loaded module on generated scenes of 10^3 to 10^6
// items: time and host calls per item visited, and the module's time against
// a replay of the same host calls without its logic.
//
// Each case is planned first with one run, which fixes its iteration count
// (the time spent resetting the selection between runs is not measured, so
// the library cannot pick the count itself) and stops a case from growing
// once one run takes longer than the budget.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "bench/bench_tables.h"
#include "hostsim/host/call_trace.h"
#include "hostsim/host/host.h"
#include "hostsim/host/module_library.h"
#include "hostsim/scene/scene_shapes.h"

namespace {

using hostsim::Host;
using hostsim::Pick;
using hostsim::Shape;
using hostsim::UpdateMode;
using qzbench::BenchCase;
using qzbench::Cases;
using qzbench::CommandTraits;

constexpr std::size_t kSizes[] = {1000, 10000, 100000, 1000000};
constexpr double kSecondsPerCase = 0.15;
constexpr double kBudgetSeconds = 2.0;               // a run predicted to take longer: the size is not run
constexpr std::size_t kMaxRecordedCalls = 60000000;  // about 2.5 GB of trace

const hostsim::ModuleLibrary& Module() { return hostsim::ProgramModule("command_bench"); }

// One scene at a time: a million-item scene is a few hundred megabytes.
struct Stage {
  Shape shape = Shape::Wide;
  std::size_t size = 0;
  std::unique_ptr<Host> host;
  std::vector<std::uint32_t> selections[4];  // by Pick
  std::unique_ptr<Host> empty;               // where a search's panel is timed alone
};
Stage g_stage;

Host& StageFor(Shape shape, std::size_t size) {
  if (g_stage.host == nullptr || g_stage.shape != shape || g_stage.size != size) {
    g_stage.host.reset();
    g_stage.host = std::make_unique<Host>(hostsim::MakeScene(shape, size));
    g_stage.host->SetRecordLines(false);
    // Moving the whole list at every line would time the host's copying, not the command.
    g_stage.host->SetLiveList(hostsim::LiveList::GrowsInPlace);
    g_stage.host->panels().SetKeepPanels(false);
    g_stage.shape = shape;
    g_stage.size = size;
    for (const Pick pick : {Pick::One, Pick::OnePercent, Pick::All, Pick::None})
      g_stage.selections[static_cast<int>(pick)] = hostsim::PickSelection(g_stage.host->scene(), pick);
  }
  return *g_stage.host;
}

const std::vector<std::uint32_t>& SelectionFor(Pick pick) { return g_stage.selections[static_cast<int>(pick)]; }

ActivateFunc ActivationOf(const BenchCase& c) { return Module().Find(c.command->name)->activate; }

// A search's start runs on a scene with nothing in it, the rest on the stage.
Host& HostFor(const BenchCase& c) {
  Host& stage = StageFor(c.shape, c.size);
  if (c.search == nullptr || !c.search->start) {
    stage.Select(SelectionFor(c.pick));
    return stage;
  }
  if (g_stage.empty == nullptr) {
    g_stage.empty = std::make_unique<Host>();
    g_stage.empty->panels().SetKeepPanels(false);
  }
  return *g_stage.empty;
}

Host& Prepare(const BenchCase& c) {
  Host& host = HostFor(c);
  host.SetUpdateMode(c.mode);
  if (c.search != nullptr)
    host.panels().user() = hostsim::PanelUser().Types(c.search->pattern).Presses(c.search->kindKey).Confirms();
  return host;
}

// The planning run: host calls, items visited, and how many runs fit the time.
void PlanningRun(BenchCase& c) {
  Host& host = Prepare(c);
  host.ResetCalls();
  const auto start = std::chrono::steady_clock::now();
  hostsim::RunResult result;
  c.plannedSeconds = hostsim::TimeActivation(host, ActivationOf(c), &result);
  const double cycle = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  c.calls = host.calls();
  c.visited = hostsim::ItemsVisited(c.calls);
  c.iterations = static_cast<std::int64_t>(kSecondsPerCase / (cycle > 1e-7 ? cycle : 1e-7));
  if (c.iterations < 1) c.iterations = 1;
  if (c.iterations > 200000) c.iterations = 200000;
  if (!result.protocolErrors.empty()) c.error = result.protocolErrors.front();
}

// The module, and right after it in the same iteration its floor: timed
// apart, a slow spell of a shared machine could fall on one side only and
// pass for the module's overhead or hide it. The floor's time per iteration
// is the "floor" counter, which the reporter files as the case's replay.
void RunModule(benchmark::State& state, const BenchCase* c) {
  if (!c->error.empty()) {
    state.SkipWithError(c->error.c_str());
    return;
  }
  // Without a faithful floor (a walk of billions of calls, say) the module
  // is still timed, and the label says why it stands alone.
  const ActivateFunc activate = ActivationOf(*c);
  hostsim::Floor floor;
  bool withFloor = !c->start;
  if (withFloor) {
    floor = hostsim::RecordFloor(Prepare(*c), activate, c->calls, kMaxRecordedCalls, [c] { Prepare(*c); });
    withFloor = floor.problem.empty();
    if (!withFloor) {
      floor.trace = hostsim::CallTrace();
      state.SetLabel("no floor: " + floor.problem);
    }
  }
  double floorSeconds = 0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the library's loop idiom
    Host& host = Prepare(*c);
    state.SetIterationTime(hostsim::TimeActivation(host, activate));
    if (!withFloor) continue;
    Prepare(*c);
    floorSeconds += hostsim::ReplayCalls(host, floor.trace);
  }
  if (withFloor)
    state.counters[qzbench::kFloorCounter] = benchmark::Counter(floorSeconds, benchmark::Counter::kAvgIterations);
  qzbench::SetItemCounters(state, *c);
}

struct Variant {
  Pick pick;
  const qzbench::BenchSearch* search;
};

std::vector<Variant> VariantsOf(const CommandTraits& command) {
  std::vector<Variant> variants;
  if (command.searches) {
    for (const qzbench::BenchSearch& search : qzbench::kBenchSearches) variants.push_back({Pick::One, &search});
    for (const qzbench::BenchSearch& start : qzbench::kBenchSearchStarts) variants.push_back({Pick::One, &start});
  } else if (!command.readsSelection) {
    variants.push_back({Pick::One, nullptr});
  } else {
    for (const Pick pick : hostsim::kPicks) variants.push_back({pick, nullptr});
    // Its start alone, taken off the others' time per item: a walk of ten
    // items would otherwise be judged mostly by its service lookups.
    variants.push_back({Pick::None, nullptr});
  }
  return variants;
}

struct Options {
  std::size_t maxSize = 1000000;
  std::string dataFile;
};

// Our own flags, taken out before the library sees the rest.
Options TakeOptions(int& argc, char** argv) {
  Options options;
  int kept = 1;
  for (int index = 1; index < argc; ++index) {
    const char* arg = argv[index];
    if (std::strncmp(arg, "--qz_max_size=", 14) == 0) {
      options.maxSize = std::strtoull(arg + 14, nullptr, 10);
    } else if (std::strncmp(arg, "--qz_data=", 10) == 0) {
      options.dataFile = arg + 10;
    } else {
      argv[kept++] = argv[index];
    }
  }
  argc = kept;
  return options;
}

// Plans each case, smallest size first, and stops a family at the last size
// planned once its next size would take longer than the budget. The walk
// grows by the ratio of items visited between the last two sizes; the first
// size guesses from how many times its walk covers the scene.
class BudgetPlanner {
 public:
  bool Stopped(const std::string& family) const {
    return std::find(stopped_.begin(), stopped_.end(), family) != stopped_.end();
  }

  void Plan(BenchCase& c, const std::string& family) {
    PlanningRun(c);
    const auto before = previous_.find(family);
    const double visited = static_cast<double>(c.visited ? c.visited : 1);
    const double growth = before != previous_.end()
                              ? visited / static_cast<double>(before->second->visited ? before->second->visited : 1)
                              : 10 * std::max(1.0, visited / static_cast<double>(c.size));
    if (c.plannedSeconds * std::max(growth, 1.0) > kBudgetSeconds) stopped_.push_back(family);
    previous_[family] = &c;
  }

  // A case planned only because its larger sizes are wanted: its figures
  // judge theirs.
  void Keep(std::unique_ptr<BenchCase> c) { plannedOnly_.push_back(std::move(c)); }

 private:
  std::map<std::string, const BenchCase*> previous_;  // the last planned size of each family
  std::vector<std::string> stopped_;
  std::vector<std::unique_ptr<BenchCase>> plannedOnly_;
};

// What the filter wants of a case's family: this size, or this or a larger one.
struct Wanted {
  bool thisSize = false;
  bool fromThisSize = false;
};

Wanted WantedBy(const BenchCase& c, const std::regex& selected) {
  Wanted wanted;
  for (const std::size_t other : kSizes) {
    BenchCase sized = c;
    sized.size = other;
    const std::string otherName = qzbench::CaseName(sized);
    const bool match =
        std::regex_search(otherName + "/module", selected) || std::regex_search(otherName + "/replay", selected);
    wanted.fromThisSize = wanted.fromThisSize || (match && other >= c.size);
    wanted.thisSize = wanted.thisSize || (match && other == c.size);
  }
  return wanted;
}

void Register(BenchCase& c, const char* side, void (*run)(benchmark::State&, const BenchCase*)) {
  const std::string name = qzbench::CaseName(c) + side;
  qzbench::WithMinimum(benchmark::RegisterBenchmark(name.c_str(), run, &c))
      ->UseManualTime()
      ->Iterations(c.iterations)
      ->Unit(benchmark::kMicrosecond);
}

// The smaller sizes of a wanted case are planned even when not run: only
// they tell whether the larger ones fit the budget.
void PlanCase(std::unique_ptr<BenchCase> c, const std::regex& selected, BudgetPlanner& budget, Cases& cases) {
  const Wanted wanted = WantedBy(*c, selected);
  if (!wanted.fromThisSize) return;
  const std::string family = qzbench::FamilyName(*c);
  if (budget.Stopped(family)) {
    c->skipped = true;
    if (wanted.thisSize) cases.push_back(std::move(c));
    return;
  }
  budget.Plan(*c, family);
  if (!wanted.thisSize) return budget.Keep(std::move(c));
  Register(*c, "/module", RunModule);
  cases.push_back(std::move(c));
}

// The cases of one scene, in the order they run.
void PlanScene(Shape shape, std::size_t size, const std::regex& selected, BudgetPlanner& budget, Cases& cases) {
  for (const CommandTraits& command : qzbench::kBenchCommands) {
    if (Module().Find(command.name) == nullptr) continue;
    for (const UpdateMode mode : {UpdateMode::Deferred, UpdateMode::Live}) {
      if (mode == UpdateMode::Live && !command.liveDiffers) continue;
      for (const Variant& variant : VariantsOf(command)) {
        // The start does not depend on when lines are applied.
        const bool start = variant.pick == Pick::None || (variant.search != nullptr && variant.search->start);
        if (start && mode != UpdateMode::Deferred) continue;
        auto c = std::make_unique<BenchCase>();
        c->command = &command;
        c->shape = shape;
        c->size = size;
        c->pick = variant.pick;
        c->search = variant.search;
        c->start = start;
        c->mode = mode;
        PlanCase(std::move(c), selected, budget, cases);
      }
    }
  }
}

// Planned in the order they run: shape, size, then command, so each scene is
// built once and a case's smaller sizes are known before its larger ones.
Cases PlanCases(const Options& options, const std::regex& selected) {
  Cases cases;
  BudgetPlanner budget;
  for (const Shape shape : hostsim::kShapes) {
    for (const std::size_t size : kSizes) {
      if (size > options.maxSize) continue;
      PlanScene(shape, size, selected, budget, cases);
      g_stage = Stage();
    }
  }
  return cases;
}

int RunBenchmarks(int argc, char** argv) {
  const Options options = TakeOptions(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const std::string filter = benchmark::GetBenchmarkFilter();
  const Cases cases = PlanCases(options, std::regex(filter.empty() || filter == "all" ? "." : filter));

  qzbench::CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  g_stage = Stage();
  qzbench::PrintCommandTables(cases, reporter.results());
  if (!options.dataFile.empty()) qzbench::WriteCommandData(options.dataFile, cases, reporter.results());
  benchmark::Shutdown();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return RunBenchmarks(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "command_bench: %s\n", error.what());
    return 2;
  }
}
