#include "bench/bench_tables.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace qzbench {

const std::vector<CommandTraits> kBenchCommands = {
    {"QZ_Sel_Child", true, true, false},      {"QZ_Add_Child", true, true, false},
    {"QZ_Sel_Sibling", true, true, false},    {"QZ_Sel_Throwback", true, true, false},
    {"QZ_Sel_Parent", true, false, false},    {"QZ_Add_Parent", true, false, false},
    {"QZ_Sel_Descendant", true, true, false}, {"QZ_Sel_Hierarchy", true, false, false},
    {"QZ_Sel_AllNulls", false, false, false}, {"QZ_Sel_AllObjects", false, false, false},
    {"QZ_Sel_ByName", false, false, true},
};

// Every shape has objects named in these forms; only the rigs have bones, so
// elsewhere the bone search visits every object and finds none.
const std::vector<BenchSearch> kBenchSearches = {
    {"objects", "*_L_*", '1'},
    {"bones", "Arm_?_00?", '4'},
    {"dotted", "Body_0*.Arm_*", '1'},
};
const std::vector<BenchSearch> kBenchSearchStarts = {
    {"objects-start", "*_L_*", '1', true},
    {"bones-start", "Arm_?_00?", '4', true},
    {"dotted-start", "Body_0*.Arm_*", '1', true},
};

namespace {

constexpr std::size_t kTableSizes[] = {1000, 10000, 100000, 1000000};

struct Family {
  const BenchCase* first;
  std::vector<const BenchCase*> bySize;  // in the order of kTableSizes; null where not run
};

std::vector<Family> Families(const Cases& cases) {
  std::vector<Family> families;
  std::map<std::string, std::size_t> index;
  for (const auto& c : cases) {
    if (c->start) continue;
    const std::string family = FamilyName(*c);
    auto found = index.find(family);
    if (found == index.end()) {
      found = index.emplace(family, families.size()).first;
      families.push_back(Family{c.get(), std::vector<const BenchCase*>(std::size(kTableSizes), nullptr)});
    }
    for (std::size_t column = 0; column < std::size(kTableSizes); ++column)
      if (kTableSizes[column] == c->size) families[found->second].bySize[column] = c.get();
  }
  return families;
}

double Seconds(const Results& results, const BenchCase& c, const char* variant) {
  const auto found = results.find(CaseName(c) + "/" + variant);
  return found == results.end() ? -1 : found->second;
}

double NanosecondsPerItem(double seconds, const BenchCase& c) {
  return seconds * 1e9 / static_cast<double>(c.visited == 0 ? 1 : c.visited);
}

// The command's start on the same scene: its time with nothing selected, or
// for a search its panel's on an empty scene. 0 where not measured (the
// scene-wide commands visit a thousand items at the least).
double StartSeconds(const Cases& cases, const Results& results, const BenchCase& c) {
  for (const auto& other : cases) {
    if (!other->start || other->command != c.command || other->shape != c.shape || other->size != c.size) continue;
    if (c.search != nullptr && std::strcmp(other->search->pattern, c.search->pattern) != 0) continue;
    const double seconds = Seconds(results, *other, "module");
    return seconds > 0 ? seconds : 0;
  }
  return 0;
}

// The module's time over its replayed host calls. The replay cannot stand in
// for the by-name command's panel, which calls back into the module, so there
// the panel's run (the start) is taken off the module's side first.
double ModuleOverReplay(const Cases& cases, const Results& results, const BenchCase& c) {
  double module = Seconds(results, c, "module");
  const double replay = Seconds(results, c, "replay");
  if (module <= 0 || replay <= 0) return -1;
  if (c.command->searches) module -= StartSeconds(cases, results, c);
  return module / replay;
}

// Time per item visited once the start is taken off.
double WalkNanosecondsPerItem(const Cases& cases, const Results& results, const BenchCase& c) {
  const double seconds = Seconds(results, c, "module");
  if (seconds < 0) return -1;
  return NanosecondsPerItem(std::max(0.0, seconds - StartSeconds(cases, results, c)), c);
}

void PrintRule(int width) {
  for (int column = 0; column < width; ++column) std::putchar('-');
  std::putchar('\n');
}

void PrintTimeTableHeader(hostsim::UpdateMode mode) {
  std::printf(
      "\nTime per item visited (ns), %s mode, after the command's start (its time with nothing selected, in\n"
      "start us) is taken off; spread = (max - min) / min over the sizes run. Where the items visited do not\n"
      "grow with the scene (fixed) the start dominates; only the others count.\n",
      hostsim::UpdateModeName(mode));
  std::printf(
      "vs floor = the spread of module / replay over the same sizes: small where the time per item grows only\n"
      "as fast as the replayed host calls' own (the host's memory traffic on a larger scene).\n");
  std::printf("%-18s %-9s %-7s %9s %9s %9s %9s %8s %9s %10s %11s %8s\n", "command", "shape", "sel", "10^3", "10^4",
              "10^5", "10^6", "spread", "vs floor", "calls/item", "visited", "start us");
  PrintRule(126);
}

// What a family measured over the sizes it ran.
struct SizeRange {
  double low = 0, high = 0;            // time per item
  double lowRatio = 0, highRatio = 0;  // module / replay
  const BenchCase* smallest = nullptr;
  const BenchCase* largest = nullptr;
};

// Prints the family's time per item at each size.
SizeRange PrintTimesPerItem(const Family& family, const Cases& cases, const Results& results) {
  SizeRange range;
  for (const BenchCase* c : family.bySize) {
    const double perItem = c == nullptr ? -1 : WalkNanosecondsPerItem(cases, results, *c);
    if (c == nullptr) {
      std::printf(" %9s", "");
    } else if (c->skipped) {
      std::printf(" %9s", "(budget)");
    } else if (perItem < 0) {
      std::printf(" %9s", "(error)");
    } else if (perItem == 0) {
      std::printf(" %9s", "(start)");  // a walk so short that its time is within the start's noise
    } else {
      std::printf(" %9.2f", perItem);
      range.low = range.low == 0 ? perItem : std::min(range.low, perItem);
      range.high = std::max(range.high, perItem);
      const double ratio = ModuleOverReplay(cases, results, *c);
      if (ratio > 0) {
        range.lowRatio = range.lowRatio == 0 ? ratio : std::min(range.lowRatio, ratio);
        range.highRatio = std::max(range.highRatio, ratio);
      }
      if (range.smallest == nullptr) range.smallest = c;
      range.largest = c;
    }
  }
  return range;
}

// The families whose time per item stays flat, and those that do not.
struct FlatnessTally {
  int flat = 0, total = 0, trackFloor = 0;
  std::vector<std::string> outside;
};

// The spread columns, counted in the tally where the family grows with the scene.
void PrintSpreads(const BenchCase& head, const SizeRange& range, FlatnessTally& tally) {
  const double spread = range.low > 0 ? (range.high - range.low) / range.low * 100 : 0;
  const double floorSpread = range.lowRatio > 0 ? (range.highRatio - range.lowRatio) / range.lowRatio * 100 : -1;
  const BenchCase& smallest = *range.smallest;
  const BenchCase& largest = *range.largest;
  // Growing at least half as fast as the scene: the walk, not the start, is measured.
  const bool scales =
      &largest != &smallest &&
      2.0 * static_cast<double>(largest.visited) / static_cast<double>(smallest.visited ? smallest.visited : 1) >=
          static_cast<double>(largest.size) / static_cast<double>(smallest.size);
  if (scales) {
    ++tally.total;
    if (spread <= 30) {
      ++tally.flat;
    } else if (floorSpread >= 0 && floorSpread <= 30) {
      ++tally.trackFloor;
      tally.outside.push_back(FamilyName(head) + " (tracks the floor)");
    } else {
      tally.outside.push_back(FamilyName(head));
    }
    std::printf(" %7.0f%%", spread);
  } else {
    std::printf(" %8s", "fixed");
  }
  if (floorSpread >= 0) {
    std::printf(" %8.0f%%", floorSpread);
  } else {
    std::printf(" %9s", "");
  }
}

void PrintTimeTable(const std::vector<Family>& families, const Cases& cases, const Results& results,
                    hostsim::UpdateMode mode) {
  PrintTimeTableHeader(mode);
  FlatnessTally tally;
  for (const Family& family : families) {
    const BenchCase& head = *family.first;
    if (head.mode != mode) continue;
    std::printf("%-18s %-9s %-7s", head.command->name, ShapeName(head.shape), VariantName(head));
    const SizeRange range = PrintTimesPerItem(family, cases, results);
    if (range.largest == nullptr) {
      std::printf("\n");
      continue;
    }
    PrintSpreads(head, range, tally);
    const BenchCase& largest = *range.largest;
    std::printf(" %10.2f %11llu %8.2f\n",
                static_cast<double>(largest.calls.Total()) / static_cast<double>(largest.visited ? largest.visited : 1),
                static_cast<unsigned long long>(largest.visited), StartSeconds(cases, results, largest) * 1e6);
  }
  std::printf(
      "growing families within 30%%: %d of %d; of the others, %d stay within 30%% of their replayed host calls\n",
      tally.flat, tally.total, tally.trackFloor);
  for (const std::string& name : tally.outside) std::printf("  outside: %s\n", name.c_str());
}

// The targets are set at the largest scenes, where the walk and not the
// start is what is timed: the median case at most 15 % over its floor, none
// above 35 %.
void PrintLargestSizeSummary(std::vector<std::pair<double, std::string>> overheads, std::size_t size) {
  if (overheads.empty()) return;
  std::sort(overheads.begin(), overheads.end());
  const std::size_t middle = overheads.size() / 2;
  const double median =
      overheads.size() % 2 == 1 ? overheads[middle].first : (overheads[middle - 1].first + overheads[middle].first) / 2;
  std::size_t above = 0;
  for (const auto& overhead : overheads) above += overhead.first > 35 ? 1 : 0;
  std::printf("at %zu items: %zu cases, median overhead %.1f%%, %zu above 35%%\n", size, overheads.size(), median,
              above);
  for (const auto& overhead : overheads)
    if (overhead.first > 35) std::printf("  above 35%%: %s %.1f%%\n", overhead.second.c_str(), overhead.first);
}

void PrintOverheadTable(const std::vector<Family>& families, const Cases& cases, const Results& results,
                        hostsim::UpdateMode mode) {
  std::printf(
      "\nModule over its replayed host calls (%s mode): module / replay - 1; for the by-name command the\n"
      "module's time after its panel, which the replay cannot stand in for\n",
      hostsim::UpdateModeName(mode));
  std::printf("%-18s %-9s %-7s %9s %9s %9s %9s %14s\n", "command", "shape", "sel", "10^3", "10^4", "10^5", "10^6",
              "replay ns/item");
  PrintRule(91);
  double worst = -1e9;
  int within = 0, measured = 0;
  std::size_t largestSize = 0;
  std::vector<std::pair<double, std::string>> atLargest;  // overhead and case, at the largest size run
  for (const Family& family : families) {
    const BenchCase& head = *family.first;
    if (head.mode != mode) continue;
    std::printf("%-18s %-9s %-7s", head.command->name, ShapeName(head.shape), VariantName(head));
    double replayPerItem = -1;
    for (const BenchCase* c : family.bySize) {
      const double ratio = c == nullptr ? -1 : ModuleOverReplay(cases, results, *c);
      if (ratio <= 0) {
        std::printf(" %9s", c != nullptr && c->skipped ? "(budget)" : "");
        continue;
      }
      const double overhead = (ratio - 1) * 100;
      worst = std::max(worst, overhead);
      ++measured;
      if (overhead <= 25) ++within;
      if (c->size > largestSize) atLargest.clear();
      largestSize = std::max(largestSize, c->size);
      if (c->size == largestSize) atLargest.emplace_back(overhead, CaseName(*c));
      replayPerItem = NanosecondsPerItem(Seconds(results, *c, "replay"), *c);
      std::printf(" %8.1f%%", overhead);
    }
    if (replayPerItem >= 0) std::printf(" %14.2f", replayPerItem);
    std::printf("\n");
  }
  if (worst > -1e9) std::printf("within 25%%: %d of %d; largest overhead: %.1f%%\n", within, measured, worst);
  PrintLargestSizeSummary(atLargest, largestSize);
}

}  // namespace

std::string CaseName(const BenchCase& c) {
  return std::string(c.command->name) + "/" + ShapeName(c.shape) + "/" + std::to_string(c.size) + "/" + VariantName(c) +
         "/" + hostsim::UpdateModeName(c.mode);
}

std::string FamilyName(const BenchCase& c) {
  return std::string(c.command->name) + "/" + ShapeName(c.shape) + "/" + VariantName(c) + "/" +
         hostsim::UpdateModeName(c.mode);
}

const char* VariantName(const BenchCase& c) { return c.search != nullptr ? c.search->label : PickName(c.pick); }

benchmark::internal::Benchmark* WithMinimum(benchmark::internal::Benchmark* benchmark) {
  return benchmark->ComputeStatistics(kMinimumStatistic, [](const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
  });
}

void SetItemCounters(benchmark::State& state, const BenchCase& c) {
  const double visited = static_cast<double>(c.visited == 0 ? 1 : c.visited);
  state.counters["visited"] = visited;
  state.counters["calls/item"] = static_cast<double>(c.calls.Total()) / visited;
  // Seconds per item, shown by the library as a time.
  state.counters["per_item"] =
      benchmark::Counter(visited, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void CollectingReporter::Keep(const std::string& name, double seconds) {
  const auto found = results_.find(name);
  if (found == results_.end() || seconds < found->second) results_[name] = seconds;
}

void CollectingReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    // Single runs, or with repetitions the "min" statistic, which survives
    // --benchmark_report_aggregates_only.
    const bool usable = run.run_type == Run::RT_Iteration || run.aggregate_name == kMinimumStatistic;
    if (!usable || run.error_occurred || run.iterations == 0) continue;
    // With repetitions the quickest counts: on a shared machine noise only ever adds time.
    const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
    Keep(run.run_name.function_name, seconds);
    // The floor timed beside the module in the same iterations, filed as the case's replay.
    const auto floor = run.counters.find(kFloorCounter);
    const std::string moduleSuffix = "/module";
    const std::string& name = run.run_name.function_name;
    if (floor != run.counters.end() && name.size() > moduleSuffix.size() &&
        name.compare(name.size() - moduleSuffix.size(), moduleSuffix.size(), moduleSuffix) == 0)
      Keep(name.substr(0, name.size() - moduleSuffix.size()) + "/replay", floor->second.value);
  }
  ConsoleReporter::ReportRuns(runs);
}

void PrintCommandTables(const Cases& cases, const Results& results) {
  const std::vector<Family> families = Families(cases);
  PrintTimeTable(families, cases, results, hostsim::UpdateMode::Deferred);
  PrintTimeTable(families, cases, results, hostsim::UpdateMode::Live);
  PrintOverheadTable(families, cases, results, hostsim::UpdateMode::Deferred);
  PrintOverheadTable(families, cases, results, hostsim::UpdateMode::Live);
}

void WriteCommandData(const std::string& path, const Cases& cases, const Results& results) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    std::perror(path.c_str());
    return;
  }
  std::fprintf(file,
               "# command\tshape\tselection\tmode\tsize\tvisited\tcalls\tmodule_ns_per_item\treplay_ns_per_item"
               "\tstart_ns\twalk_ns_per_item\n");
  for (const auto& c : cases) {
    const double module = Seconds(results, *c, "module");
    if (module < 0) continue;
    const double replay = Seconds(results, *c, "replay");
    std::fprintf(file, "%s\t%s\t%s\t%s\t%zu\t%llu\t%llu\t%.3f\t%.3f\t%.1f\t%.3f\n", c->command->name,
                 ShapeName(c->shape), VariantName(*c), hostsim::UpdateModeName(c->mode), c->size,
                 static_cast<unsigned long long>(c->visited), static_cast<unsigned long long>(c->calls.Total()),
                 NanosecondsPerItem(module, *c), replay < 0 ? -1.0 : NanosecondsPerItem(replay, *c),
                 StartSeconds(cases, results, *c) * 1e9, WalkNanosecondsPerItem(cases, results, *c));
  }
  std::fclose(file);
}

}  // namespace qzbench
