// The wildcard matcher against glibc's fnmatch(3) and against the recursive
// rules it must agree with: realistic item names and patterns, timed by
// Google Benchmark, then adversarial pairs grown until the slower matchers run
// out of budget. Patterns hold no '[' or '\', so the three mean the same.
#include <benchmark/benchmark.h>
#include <fnmatch.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "byname/wildcard_match.h"
#include "hostsim/scene/scene_shapes.h"

namespace {

// Calls of the recursive rules, and how many one match may make before it
// gives up (answering 0): their cost grows exponentially on adversarial pairs.
long g_recursiveCalls = 0;
long g_recursiveLimit = -1;  // no limit

// The rules as the user's guide states them, tried shortest star first with
// backtracking: the reference, and the cost the bounded matcher avoids.
int RecursiveRules(const char* name, const char* pattern) {
  if (g_recursiveLimit >= 0 && ++g_recursiveCalls > g_recursiveLimit) return 0;
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*') {
    if (RecursiveRules(name, pattern + 1)) return 1;
    return *name == '\0' ? 0 : RecursiveRules(name + 1, pattern);
  }
  if (*name == '\0') return 0;
  if (*pattern != '?' && *pattern != *name) return 0;
  return RecursiveRules(name + 1, pattern + 1);
}

int GlibcMatch(const char* name, const char* pattern) { return fnmatch(pattern, name, 0) == 0 ? 1 : 0; }

struct Matcher {
  const char* name;
  int (*match)(const char* name, const char* pattern);
};
const Matcher kMatchers[] = {{"WildcardMatch", WildcardMatch}, {"fnmatch", GlibcMatch}, {"recursive", RecursiveRules}};

// What a user types into the panel to pick parts of a character rig.
const char* const kPatterns[] = {
    "Arm_L_*", "*_R_*", "Finger.?.*", "Null (*)", "*Light*", "Body_0001?", "*", "Spine0?", "*.R.*", "*a*e*",
};

constexpr std::size_t kNameCount = 100000;

const std::vector<std::string>& Names() {
  static const std::vector<std::string> names = hostsim::RealisticNames(kNameCount);
  return names;
}

void MatchAll(benchmark::State& state, const Matcher* matcher, const char* pattern) {
  const std::vector<std::string>& names = Names();
  std::size_t matched = 0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the library's loop idiom
    for (const std::string& name : names) matched += static_cast<std::size_t>(matcher->match(name.c_str(), pattern));
    benchmark::DoNotOptimize(matched);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(names.size()));
  state.counters["matched"] = static_cast<double>(matched) / static_cast<double>(state.iterations());
}

// Benchmark name -> CPU seconds per name matched.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
      const double seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations) / kNameCount;
      const auto found = perName_.find(run.run_name.function_name);
      if (found == perName_.end() || seconds < found->second) perName_[run.run_name.function_name] = seconds;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, double>& perName() const { return perName_; }

 private:
  std::map<std::string, double> perName_;
};

std::string BenchName(const Matcher& matcher, const char* pattern) {
  return std::string("realistic/") + matcher.name + "/" + pattern;
}

int CountDisagreements() {
  int disagreements = 0;
  for (const char* pattern : kPatterns) {
    for (const std::string& name : Names()) {
      const int expected = RecursiveRules(name.c_str(), pattern);
      for (const Matcher& matcher : kMatchers) {
        if (matcher.match(name.c_str(), pattern) == expected) continue;
        if (disagreements++ < 5)
          std::printf("disagreement: %s says %d for '%s' against '%s'\n", matcher.name, 1 - expected, name.c_str(),
                      pattern);
      }
    }
  }
  return disagreements;
}

void PrintRealisticTable(const std::map<std::string, double>& perName) {
  std::printf("\nRealistic: %zu names, CPU ns per name; ratio = other / WildcardMatch\n", kNameCount);
  std::printf("%-12s %14s %10s %10s %10s %14s\n", "pattern", "WildcardMatch", "fnmatch", "recursive", "fnmatch x",
              "recursive x");
  double slowestRatio = 1e9, total[3] = {};
  const auto row = [](const char* label, const double* ns) {
    std::printf("%-12s %14.1f %10.1f %10.1f %9.2fx %13.2fx\n", label, ns[0], ns[1], ns[2], ns[1] / ns[0],
                ns[2] / ns[0]);
  };
  for (const char* pattern : kPatterns) {
    double ns[3] = {};
    for (int index = 0; index < 3; ++index) {
      const auto found = perName.find(BenchName(kMatchers[index], pattern));
      ns[index] = found == perName.end() ? 0 : found->second * 1e9;
      total[index] += ns[index];
    }
    if (ns[0] <= 0) continue;
    slowestRatio = std::min(slowestRatio, ns[1] / ns[0]);
    row(pattern, ns);
  }
  if (total[0] > 0) row("whole set", total);
  std::printf("fnmatch / WildcardMatch, lowest over the patterns: %.2fx\n", slowestRatio);
}

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Seconds for one match: batches of doubling size until one batch is long
// enough that reading the clock costs nothing next to it.
double TimeOneMatch(const Matcher& matcher, const std::string& name, const std::string& pattern) {
  int sink = 0;
  for (long batch = 1;; batch *= 2) {
    const double start = CpuSeconds();
    for (long repeat = 0; repeat < batch; ++repeat) sink += matcher.match(name.c_str(), pattern.c_str());
    const double elapsed = CpuSeconds() - start;
    benchmark::DoNotOptimize(sink);
    if (elapsed >= 0.02) return elapsed / static_cast<double>(batch);
  }
}

struct Adversary {
  const char* title;
  std::string (*name)(std::size_t length);
  std::string pattern;
};

// Name lengths double up to 4,096. A matcher leaves the table once its next
// match would take longer than the budget, judged by how much its last
// doubling cost: the recursive rules grow exponentially here, so waiting for
// one match over the budget could mean waiting for hours.
void PrintAdversary(const Adversary& adversary) {
  constexpr double kBudgetSeconds = 0.25;
  constexpr long kRecursiveCallBudget = 50000000;
  std::printf("\n%s (pattern of %zu bytes): CPU ns per match, and per name x pattern step\n", adversary.title,
              adversary.pattern.size());
  std::printf("%8s %10s %14s %10s %14s %14s\n", "name", "steps", "WildcardMatch", "per step", "fnmatch", "recursive");
  double previous[3] = {};
  bool outOfBudget[3] = {};
  for (std::size_t length = 16; length <= 4096; length *= 2) {
    const std::string name = adversary.name(length);
    const double steps = static_cast<double>(length) * static_cast<double>(adversary.pattern.size());
    std::printf("%8zu %10.0f", length, steps);
    for (int index = 0; index < 3; ++index) {
      if (outOfBudget[index]) {
        std::printf(" %14s", "(budget)");
        continue;
      }
      if (kMatchers[index].match == RecursiveRules) {
        // One counted match first: past the limit it would not finish in the budget.
        g_recursiveCalls = 0;
        g_recursiveLimit = kRecursiveCallBudget;
        RecursiveRules(name.c_str(), adversary.pattern.c_str());
        g_recursiveLimit = -1;
        if (g_recursiveCalls > kRecursiveCallBudget) {
          outOfBudget[index] = true;
          std::printf(" %14s", "(budget)");
          continue;
        }
      }
      const double seconds = TimeOneMatch(kMatchers[index], name, adversary.pattern);
      const double growth = previous[index] > 0 ? std::max(seconds / previous[index], 2.0) : 2.0;
      previous[index] = seconds;
      outOfBudget[index] = seconds * growth > kBudgetSeconds;
      std::printf(" %14.0f", seconds * 1e9);
      if (index == 0) std::printf(" %10.3f", seconds * 1e9 / steps);
    }
    std::printf("\n");
  }
}

std::string Repeat(const std::string& unit, std::size_t count) {
  std::string text;
  for (std::size_t index = 0; index < count; ++index) text += unit;
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const int disagreements = CountDisagreements();
  std::printf("agreement on %zu names x %zu patterns: %d disagreements\n", kNameCount, std::size(kPatterns),
              disagreements);
  for (const char* pattern : kPatterns)
    for (const Matcher& matcher : kMatchers)
      benchmark::RegisterBenchmark(BenchName(matcher, pattern).c_str(), MatchAll, &matcher, pattern)
          ->Unit(benchmark::kMillisecond);
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintRealisticTable(reporter.perName());

  const Adversary adversaries[] = {
      {"'*a*a*a*a*a*a*a*a*b' against a run of 'a'", [](std::size_t length) { return std::string(length, 'a'); },
       "*a*a*a*a*a*a*a*a*b"},
      {"127 bytes of alternating stars, '*a*a...*ab', against a run of 'a'",
       [](std::size_t length) { return std::string(length, 'a'); }, Repeat("*a", 63) + "b"},
  };
  for (const Adversary& adversary : adversaries) PrintAdversary(adversary);
  benchmark::Shutdown();
  return disagreements == 0 ? 0 : 1;
}
