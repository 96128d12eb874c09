// Soak: every command of the module, over and over, on one mid-size scene and
// one host, as a long session would run them; the by-name command with a
// scripted user typing patterns and choosing kinds in its panel. Each case's first result is
// kept; every later run of it must give the same lines, result, messages and
// selection, and the process's memory must not grow once the cases have all
// run once.
//
// Usage: soak [--activations N] [--scene-size N] [--memory-limit-kib N]
// Exit status 0 when both hold, 1 otherwise.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
// After windows.h: the process-memory call it declares needs its types.
#include <psapi.h>
#else
#include <unistd.h>
#endif

#include "hostsim/host/host.h"
#include "hostsim/host/module_library.h"
#include "hostsim/scene/scene_shapes.h"

namespace {

// A sanitizer's allocator holds freed memory back on purpose, so the process
// grows whatever the module does; there the leak checker at exit stands in.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryMeasurable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMemoryMeasurable = false;
#else
constexpr bool kMemoryMeasurable = true;
#endif
#else
constexpr bool kMemoryMeasurable = true;
#endif

using hostsim::Host;
using hostsim::Pick;
using hostsim::UpdateMode;

struct Options {
  std::uint64_t activations = 110000;
  std::size_t sceneSize = 3000;
  std::uint64_t memoryLimitKib = 1024;
};

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int index = 1; index + 1 < argc; index += 2) {
    const std::string flag = argv[index];
    const unsigned long long value = std::strtoull(argv[index + 1], nullptr, 10);
    if (flag == "--activations") {
      options.activations = value;
    } else if (flag == "--scene-size") {
      options.sceneSize = value;
    } else if (flag == "--memory-limit-kib") {
      options.memoryLimitKib = value;
    } else {
      std::fprintf(stderr, "soak: unknown option %s\n", flag.c_str());
      std::exit(2);
    }
  }
  return options;
}

// What the operating system counts against the process: resident pages
// natively, committed private memory on Windows.
std::uint64_t ProcessMemoryKib() {
#if defined(_WIN32)
  // The page-file usage is the private commit charge; Wine fills it, not PrivateUsage.
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.PagefileUsage / 1024;
#else
  std::FILE* file = std::fopen("/proc/self/statm", "r");
  if (file == nullptr) return 0;
  unsigned long long size = 0, resident = 0;
  const int read = std::fscanf(file, "%llu %llu", &size, &resident);
  std::fclose(file);
  return read == 2 ? resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) / 1024 : 0;
#endif
}

// What the user does in the by-name panel; each is a case of its own.
struct Search {
  const char* pattern;
  std::uint32_t kindKey;  // '1' objects, '2' lights, '3' cameras, '4' bones
  bool confirms;
};

// Patterns for the generated rigs: some match many items, some few, one none,
// one is dismissed; bones both with and without a bone selected first.
const Search kSearches[] = {
    {"Body_000*", '1', true}, {"Key Light 1?", '2', true}, {"Camera (9*", '3', true},
    {"Arm_L_00?", '4', true}, {"*.Arm_R_00?", '1', true},  {"Body_0000?.Finger.R.*", '1', true},
    {"Nobody", '1', true},    {"Body*", '1', false},
};

struct SoakCase {
  const hostsim::CommandInfo* command = nullptr;
  const Search* search = nullptr;  // the by-name command's user
  Pick pick = Pick::One;
  UpdateMode mode = UpdateMode::Deferred;
  bool seen = false;
  hostsim::RunResult expected;
  std::vector<std::uint32_t> selectionAfter;
};

// Live and snapshot hosts republish the list at every line, which costs the
// host (not the module) the selection's length per line: whole-scene
// selections run deferred only.
std::vector<SoakCase> MakeCases(const hostsim::ModuleLibrary& module) {
  struct Variant {
    Pick pick;
    UpdateMode mode;
  };
  const Variant variants[] = {
      {Pick::One, UpdateMode::Deferred},    {Pick::One, UpdateMode::Live},
      {Pick::One, UpdateMode::Snapshot},    {Pick::OnePercent, UpdateMode::Deferred},
      {Pick::OnePercent, UpdateMode::Live}, {Pick::OnePercent, UpdateMode::Snapshot},
      {Pick::All, UpdateMode::Deferred},
  };
  std::vector<SoakCase> cases;
  for (const Variant& variant : variants)
    for (const hostsim::CommandInfo& command : module.commands()) {
      SoakCase soakCase;
      soakCase.command = &command;
      soakCase.pick = variant.pick;
      soakCase.mode = variant.mode;
      if (command.name != "QZ_Sel_ByName") {
        cases.push_back(std::move(soakCase));
        continue;
      }
      for (const Search& search : kSearches) {
        soakCase.search = &search;
        cases.push_back(soakCase);
      }
    }
  return cases;
}

bool SameResult(const hostsim::RunResult& a, const hostsim::RunResult& b) {
  return a.code == b.code && a.lines == b.lines && a.messages == b.messages && a.lookups == b.lookups &&
         a.protocolErrors == b.protocolErrors;
}

struct Tally {
  std::uint64_t changed = 0;  // runs that differed from their case's first
  std::uint64_t protocolErrors = 0;
};

// Runs the case once more; its first run is what every later one must give.
void RunCase(Host& host, SoakCase& soakCase, const std::vector<std::uint32_t>& selection, std::uint64_t activation,
             Tally& tally) {
  host.SetUpdateMode(soakCase.mode);
  host.Select(selection);
  if (soakCase.search != nullptr) {
    hostsim::PanelUser user;
    user.Types(soakCase.search->pattern).Presses(soakCase.search->kindKey);
    host.panels().user() = soakCase.search->confirms ? user.Confirms() : user.Dismisses();
  }
  hostsim::RunResult result = host.Run(soakCase.command->activate);
  tally.protocolErrors += result.protocolErrors.size();
  if (!soakCase.seen) {
    soakCase.seen = true;
    soakCase.expected = std::move(result);
    soakCase.selectionAfter = host.selection();
  } else if (!SameResult(result, soakCase.expected) || host.selection() != soakCase.selectionAfter) {
    if (tally.changed++ < 10)
      std::printf("changed: %s%s%s, %s selection, %s, at activation %llu\n", soakCase.command->name.c_str(),
                  soakCase.search != nullptr ? " " : "", soakCase.search != nullptr ? soakCase.search->pattern : "",
                  hostsim::PickName(soakCase.pick), hostsim::UpdateModeName(soakCase.mode),
                  static_cast<unsigned long long>(activation));
  }
}

// The process's memory over the run, compared from the point where every
// case has run several times.
class MemoryWatch {
 public:
  MemoryWatch(const Options& options, std::size_t cases)
      : options_(options),
        warmUp_(std::max<std::uint64_t>(options.activations / 10, cases * 4)),
        sampleEvery_(std::max<std::uint64_t>(options.activations / 10, 1)) {
    std::printf("%12s %12s %12s\n", "activations", "memory KiB", "growth KiB");
  }

  void After(std::uint64_t done) {
    if (done == warmUp_) baselineKib_ = ProcessMemoryKib();
    if (done >= warmUp_) peakKib_ = std::max(peakKib_, done % 256 == 0 ? ProcessMemoryKib() : 0);
    if (done % sampleEvery_ != 0 && done != options_.activations) return;
    const std::uint64_t now = ProcessMemoryKib();
    const long long growth = done >= warmUp_ ? static_cast<long long>(now) - static_cast<long long>(baselineKib_) : 0;
    std::printf("%12llu %12llu %12lld\n", static_cast<unsigned long long>(done), static_cast<unsigned long long>(now),
                growth);
  }

  // Reports the memory at the end; whether it stayed within the limit.
  bool Flat() {
    const std::uint64_t endKib = ProcessMemoryKib();
    peakKib_ = std::max(peakKib_, endKib);
    // A reading of 0 means the system would not say; that proves nothing flat.
    const bool flat = !kMemoryMeasurable || options_.activations <= warmUp_ ||
                      (baselineKib_ > 0 && peakKib_ <= baselineKib_ + options_.memoryLimitKib);
    std::printf("memory: %llu KiB after warm-up, %llu KiB at the end, peak %llu KiB (limit +%llu KiB): %s\n",
                static_cast<unsigned long long>(baselineKib_), static_cast<unsigned long long>(endKib),
                static_cast<unsigned long long>(peakKib_), static_cast<unsigned long long>(options_.memoryLimitKib),
                !kMemoryMeasurable ? "not judged under the sanitizer's allocator"
                : flat             ? "flat"
                                   : "GREW");
    return flat;
  }

 private:
  const Options& options_;
  const std::uint64_t warmUp_;
  const std::uint64_t sampleEvery_;
  std::uint64_t baselineKib_ = 0, peakKib_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  const hostsim::ModuleLibrary& module = hostsim::ProgramModule("soak");
  Host host(hostsim::MakeScene(hostsim::Shape::Mixed, options.sceneSize));
  // A real host forgets a panel once it is destroyed; this one would keep
  // every run's panel to catch stale handles, which is growth of its own.
  host.panels().SetKeepPanels(false);
  std::vector<std::uint32_t> selections[3];
  for (const Pick pick : hostsim::kPicks)
    selections[static_cast<int>(pick)] = hostsim::PickSelection(host.scene(), pick);
  std::vector<SoakCase> cases = MakeCases(module);

  std::printf("soak: %llu activations of %zu cases on a %zu-item scene\n",
              static_cast<unsigned long long>(options.activations), cases.size(), host.scene().size());
  MemoryWatch memory(options, cases.size());
  Tally tally;
  for (std::uint64_t activation = 0; activation < options.activations; ++activation) {
    SoakCase& soakCase = cases[activation % cases.size()];
    RunCase(host, soakCase, selections[static_cast<int>(soakCase.pick)], activation, tally);
    memory.After(activation + 1);
  }
  const bool memoryFlat = memory.Flat();
  std::printf("results: %zu cases, %llu runs differed from the first, %llu protocol errors\n", cases.size(),
              static_cast<unsigned long long>(tally.changed), static_cast<unsigned long long>(tally.protocolErrors));
  return memoryFlat && tally.changed == 0 && tally.protocolErrors == 0 ? 0 : 1;
}
