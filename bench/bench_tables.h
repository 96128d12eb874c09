// The command benchmark's cases and what it prints: per command, shape and
// selection, the time per item visited at each scene size and the module's
// time over the replayed floor.
#ifndef QZ_BENCH_BENCH_TABLES_H
#define QZ_BENCH_BENCH_TABLES_H

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hostsim/host/host.h"
#include "hostsim/scene/scene_shapes.h"

namespace qzbench {

using hostsim::Pick;
using hostsim::Shape;

struct CommandTraits {
  const char* name;
  bool readsSelection;  // the scene-wide commands run once per scene
  bool liveDiffers;     // walks the live list, so lines applied at once change its work
  bool searches;        // the by-name command: run once per search instead
};
extern const std::vector<CommandTraits> kBenchCommands;

// What the by-name command's user types and chooses in its panel.
struct BenchSearch {
  const char* label;
  const char* pattern;
  std::uint32_t kindKey;  // '1' objects, '4' bones
  // The search's start: the same typing and choice on an empty scene, so
  // that all it measures is the panel's own work. A dismissed panel would
  // leave the typing and the confirmed search's set-up on the search's side.
  bool start = false;
};
extern const std::vector<BenchSearch> kBenchSearches;
extern const std::vector<BenchSearch> kBenchSearchStarts;  // one per search, in the same order

struct BenchCase {
  const CommandTraits* command = nullptr;
  Shape shape = Shape::Wide;
  std::size_t size = 0;
  Pick pick = Pick::One;
  const BenchSearch* search = nullptr;  // the by-name command's user
  hostsim::UpdateMode mode = hostsim::UpdateMode::Deferred;
  // What the command costs before it visits anything (nothing selected, or
  // the panel dismissed): taken off the other cases of its scene, not a workload.
  bool start = false;
  bool skipped = false;  // predicted to take longer than the budget, from the smaller sizes
  double plannedSeconds = 0;
  hostsim::CallCounts calls;
  std::uint64_t visited = 0;
  std::int64_t iterations = 0;
  std::string error;  // a protocol error of the planning run
};

std::string CaseName(const BenchCase& c);    // command/shape/size/selection/mode
std::string FamilyName(const BenchCase& c);  // the same without the size
// The selection, or for the by-name command the search.
const char* VariantName(const BenchCase& c);

void SetItemCounters(benchmark::State& state, const BenchCase& c);

// Adds the "min" statistic over repetitions: on a shared machine noise only
// ever adds time, so the quickest repetition is the one to report.
constexpr const char kMinimumStatistic[] = "min";
benchmark::internal::Benchmark* WithMinimum(benchmark::internal::Benchmark* benchmark);

// The counter a case's module run keeps its floor's seconds per iteration in.
constexpr const char kFloorCounter[] = "floor";

// Benchmark name -> seconds per iteration, of the runs that completed (the
// quickest repetition when there are several).
using Results = std::map<std::string, double>;

class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
  const Results& results() const { return results_; }

 private:
  void Keep(const std::string& name, double seconds);  // the quickest of the name's repetitions

  Results results_;
};

using Cases = std::vector<std::unique_ptr<BenchCase>>;
void PrintCommandTables(const Cases& cases, const Results& results);
// Tab-separated, one line per case and size, for the plot.
void WriteCommandData(const std::string& path, const Cases& cases, const Results& results);

}  // namespace qzbench

#endif  // QZ_BENCH_BENCH_TABLES_H
