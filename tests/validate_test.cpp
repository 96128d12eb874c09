// "hostsim validate" against modules broken on purpose: each fault must fail
// the check meant to catch it, and the real module must pass them all.
#include "hostsim/validate/validate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "hostsim/cli/cli.h"
#include "hostsim/host/host.h"
#include "hostsim/scene/random_scene.h"
#include "hostsim/scene/text.h"
#include "tests/support/json_value.h"
#include "tests/support/module_fixture.h"
#include "tests/support/process.h"
#include "tests/support/scene_outline.h"

namespace {

using hostsim::CheckResult;
using hostsim::CheckStatus;

// A broken module's report, made once for every test that reads it. Short
// limits keep a hang or a runaway allocation from slowing the suite.
const std::vector<CheckResult>& ValidateFile(const std::string& path) {
  static std::map<std::string, std::vector<CheckResult>> reports;
  const auto known = reports.find(path);
  if (known != reports.end()) return known->second;
  hostsim::ValidateOptions options;
  options.modulePath = path;
  options.seed = 11;
  options.randomScenes = 4;
  options.timeoutSeconds = 1;
  options.memoryMiB = 64;
  return reports[path] = hostsim::Validate(options);
}

// Failed, crashed or timed out.
bool Wrong(const CheckResult& result) {
  return result.status != CheckStatus::Passed && result.status != CheckStatus::Skipped;
}

std::vector<const CheckResult*> Failures(const std::vector<CheckResult>& results) {
  std::vector<const CheckResult*> failed;
  for (const CheckResult& result : results) {
    if (result.status == CheckStatus::Failed) failed.push_back(&result);
  }
  return failed;
}

TEST(Validate, TheBuiltModulePassesEveryCheck) {
  hostsim::ValidateOptions options;
  options.modulePath = qztest::Module().path();
  options.seed = 11;
  options.randomScenes = 4;
  const std::vector<CheckResult> results = hostsim::Validate(options);
  ASSERT_EQ(results.size(), 5u + 6u * 11u);
  for (const CheckResult& result : results) {
    if (Wrong(result)) ADD_FAILURE() << result.check << " " << result.command << ": " << result.message;
  }
}

struct BrokenModule {
  const char* fixture;
  const char* check;    // the first check that must fail
  const char* command;  // empty for whole-module checks
  const char* updates;  // of the first failing run, when it matters
  const char* message;
};

const BrokenModule kBrokenModules[] = {
    {"broken_sync", "load", "", "", "has sync value 0x19941204, expected 0x04121994"},
    {"broken_symbol", "load", "", "", "does not export the descriptor '_mod_descrip'"},
    {"broken_line", "demo-scene", "QZ_Sel_Child", "deferred",
     "protocol error: line 'AddToSelection 0x10000000': item id must be 1 to 8 hex digits"},
    {"broken_stale", "demo-scene", "QZ_Sel_Child", "live",
     "a selection list the host had already replaced (the module kept the list pointer across a change)"},
    {"broken_dismiss", "panel", "QZ_Sel_ByName", "live", "sent 'EditObjects' after the panel was dismissed"},
};

TEST(Validate, CatchesEachDeliberatelyBrokenModule) {
  for (const BrokenModule& broken : kBrokenModules) {
    SCOPED_TRACE(broken.fixture);
    const std::vector<CheckResult>& results = ValidateFile(qztest::FixtureModulePath(broken.fixture));
    const std::vector<const CheckResult*> failures = Failures(results);
    ASSERT_FALSE(failures.empty());
    // A module that does not load keeps the report's shape: the checks it
    // could not run are there, skipped.
    EXPECT_EQ(results.size(), 5u + 6u * 11u);
    const CheckResult* first = nullptr;
    for (const CheckResult* failure : failures) {
      if (failure->check == broken.check && first == nullptr) first = failure;
    }
    ASSERT_NE(first, nullptr) << "the first failure was " << failures[0]->check << ": " << failures[0]->message;
    EXPECT_EQ(first->command, broken.command);
    EXPECT_EQ(first->updates, broken.updates);
    EXPECT_NE(first->message.find(broken.message), std::string::npos) << first->message;
    if (*broken.command != '\0') {
      // The other ten commands of the fixture keep the contract.
      for (const CheckResult* failure : failures) EXPECT_EQ(failure->command, broken.command) << failure->check;
      EXPECT_EQ(first->scene, "demo_rig.lws");
      // Random selections may be empty; the demo-scene runs include every single item.
      if (first->check == "demo-scene") {
        EXPECT_FALSE(first->selection.empty());
      }
    } else {
      // Nothing else can be checked of a module the host would not load.
      for (const CheckResult& result : results) {
        if (&result != first) {
          EXPECT_EQ(result.status, CheckStatus::Skipped) << result.check;
          EXPECT_EQ(result.message, "not run: the module did not load") << result.check;
        }
      }
    }
  }
}

// What lets validate see a kept list pointer without a sanitizer: a replaced
// list reads as ids the host recognises, until the activation returns.
int ReadsAReplacedList(int, ServiceLookup lookup, void* local, void*) {
  const auto* items = static_cast<const ItemInfo*>(lookup(kItemInfoService, 0));
  const auto* interfaceInfo = static_cast<const InterfaceInfo*>(lookup(kInterfaceInfoService, 0));
  const ItemId* kept = interfaceInfo->selectedItems;
  const auto* generic = static_cast<const LayoutGeneric*>(local);
  generic->evaluate(generic->context, "AddToSelection 10000001");
  items->parent(kept[0]);
  char line[32];
  std::snprintf(line, sizeof line, "SelectItem %X", static_cast<unsigned>(kept[0]));
  generic->evaluate(generic->context, line);
  return 0;
}

TEST(Validate, AKeptListPointerIsReportedInModesThatReplaceTheList) {
  const struct {
    hostsim::UpdateMode mode;
    std::size_t errors;
  } kModes[] = {{hostsim::UpdateMode::Deferred, 0}, {hostsim::UpdateMode::Live, 2}, {hostsim::UpdateMode::Snapshot, 0}};
  for (const auto& expected : kModes) {
    SCOPED_TRACE(hostsim::UpdateModeName(expected.mode));
    hostsim::Scene scene;
    scene.AddNull("A");
    scene.AddNull("B");
    hostsim::Host host(std::move(scene));
    host.SetUpdateMode(expected.mode);
    host.Select({0x10000000u});
    const hostsim::RunResult result = host.Run(ReadsAReplacedList);
    ASSERT_EQ(result.protocolErrors.size(), expected.errors);
    for (const std::string& error : result.protocolErrors)
      EXPECT_NE(error.find("a selection list the host had already replaced"), std::string::npos) << error;
  }
}

// ---- modules that crash, hang or eat memory -----------------------------------

#if defined(_WIN32)
const char* const kNullPointerCause = "0xC0000005 (access violation)";
#else
const char* const kNullPointerCause = "SIGSEGV";
#endif

struct IsolatedFault {
  const char* fixture;
  // The first row that is not a pass or a skip, written out.
  const char* check;
  CheckStatus status;
  const char* command;
  const char* updates;
  std::vector<std::uint32_t> selection;
  std::string cause;
  std::string message;
  std::string replayAfterModule;  // "" for a validate line
  // Every check that does not pass for the command; the rest of the report
  // passes or, for the panel check of commands without a panel, skips.
  std::vector<std::string> wrongChecks;
};

const IsolatedFault kIsolatedFaults[] = {
    {"broken_nullname",
     "null-names",
     CheckStatus::Crashed,
     "QZ_Sel_AllNulls",
     "deferred",
     {},
     kNullPointerCause,
     std::string("crashed: ") + kNullPointerCause,
     " --updates deferred --fault null-names",
     {"null-names"}},
    {"broken_hang",
     "demo-scene",
     CheckStatus::TimedOut,
     "QZ_Sel_Sibling",
     "deferred",
     {0x40040001u, 0x1000000Eu},
     "",
     "still running after 1 s; ended",
     " --updates deferred --select 40040001 1000000E --timeout 1",
     {"demo-scene", "random-scenes", "high-id-bits", "null-names"}},
    {"broken_draw",
     "demo-scene",
     CheckStatus::Crashed,
     "QZ_Sel_ByName",
     "deferred",
     {},
     kNullPointerCause,
     std::string("crashed: ") + kNullPointerCause,
     " --updates deferred --kind object --pattern \"*\"",
     {"demo-scene", "random-scenes", "high-id-bits", "null-names", "panel"}},
    {"broken_memory",
     "demo-scene",
     CheckStatus::Crashed,
     "QZ_Sel_Descendant",
     "deferred",
     {},
     "memory",
     "crashed (memory): went past the limit of 64 MiB",
     "",
     {"demo-scene", "random-scenes", "high-id-bits", "null-names", "panel"}},
};

TEST(Validate, AModuleThatCrashesHangsOrEatsMemoryIsReportedAndTheOtherChecksRun) {
  for (const IsolatedFault& fault : kIsolatedFaults) {
    SCOPED_TRACE(fault.fixture);
    const std::string path = qztest::FixtureModulePath(fault.fixture);
    const std::vector<CheckResult>& results = ValidateFile(path);
    ASSERT_EQ(results.size(), 5u + 6u * 11u);
    std::vector<std::string> wrong;
    const CheckResult* first = nullptr;
    for (const CheckResult& result : results) {
      if (!Wrong(result)) {
        if (result.status == CheckStatus::Skipped) {
          EXPECT_EQ(result.check, "panel");
          EXPECT_EQ(result.message, "opens no panel");
        }
        continue;
      }
      EXPECT_EQ(result.command, fault.command) << result.check;
      EXPECT_EQ(result.status, fault.status) << result.check;
      wrong.push_back(result.check);
      if (first == nullptr) first = &result;
    }
    EXPECT_EQ(wrong, fault.wrongChecks);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->check, fault.check);
    EXPECT_EQ(first->scene, "demo_rig.lws");
    EXPECT_FALSE(first->seed.has_value());
    EXPECT_EQ(first->updates, fault.updates);
    EXPECT_EQ(first->selection, fault.selection);
    EXPECT_EQ(first->cause, fault.cause);
    EXPECT_EQ(first->message, fault.message);
    const std::string module = hostsim::ShellWord(path);
    EXPECT_EQ(first->replay,
              !fault.replayAfterModule.empty()
                  ? "hostsim run " + std::string(fault.command) + " --module " + module + fault.replayAfterModule
                  : "hostsim validate " + module + " --check " + fault.check +
                        " --seed 11 --scenes 4 --timeout 1 --memory 64");
  }
}

// The same through the command line, one check each: exit status 1, and a
// report that is JSON whatever the module did.
TEST(Validate, TheJsonReportStaysWholeWhenAModuleCrashesOrHangs) {
  for (const IsolatedFault& fault : kIsolatedFaults) {
    SCOPED_TRACE(fault.fixture);
    std::ostringstream out, err;
    hostsim::Console console{out, err, false};
    const int status =
        hostsim::RunCommandLine({"validate", qztest::FixtureModulePath(fault.fixture), "--seed", "11", "--scenes", "4",
                                 "--timeout", "1", "--memory", "64", "--json", "--check", fault.check},
                                console);
    EXPECT_EQ(status, 1) << err.str();
    EXPECT_EQ(err.str(), "");
    qztest::JsonValue report;
    try {
      report = qztest::ParseJson(out.str());
    } catch (const qztest::JsonError& error) {
      FAIL() << error.what() << "\n" << out.str();
    }
    const qztest::JsonValue& rows = report["results"];
    ASSERT_EQ(rows.items.size(), 11u) << out.str();
    double counted = 0;
    for (const char* count : {"passed", "failed", "skipped", "crashed", "timedOut"}) counted += report[count].number;
    EXPECT_EQ(counted, 11);
    EXPECT_EQ(report[fault.status == CheckStatus::Crashed ? "crashed" : "timedOut"].number, 1);
    for (const qztest::JsonValue& row : rows.items) {
      EXPECT_EQ(row["check"].text, fault.check);
      if (row["command"].text != fault.command) {
        EXPECT_EQ(row["status"].text, "passed") << row["command"].text;
        EXPECT_TRUE(row["replay"].IsNull());
        continue;
      }
      EXPECT_EQ(row["status"].text, hostsim::CheckStatusName(fault.status));
      EXPECT_EQ(row["message"].text, fault.message);
      EXPECT_EQ(row["cause"].text, fault.cause);
      EXPECT_EQ(row["cause"].IsNull(), fault.cause.empty());
      EXPECT_EQ(row["updates"].text, fault.updates);
      EXPECT_EQ(row["selection"].items.size(), fault.selection.size());
      EXPECT_EQ(row["replay"].text.compare(0, 8, "hostsim "), 0) << row["replay"].text;
    }
  }
}

TEST(Validate, APanelCommandThatOpensNoPanelFailsThePanelCheck) {
  std::ostringstream out, err;
  hostsim::Console console{out, err, false};
  const std::string path = qztest::FixtureModulePath("broken_nopanel");
  const int status =
      hostsim::RunCommandLine({"validate", path, "--seed", "11", "--scenes", "4", "--check", "panel"}, console);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.str().find("\nFAIL  panel             QZ_Sel_ByName      opens no panel\n"
                           "      replay: hostsim validate " +
                           hostsim::ShellWord(path) + " --check panel --seed 11 --scenes 4\n"),
            std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("\nSKIP  panel             QZ_Sel_Child       opens no panel\n"), std::string::npos);
  EXPECT_NE(out.str().find("\n0 passed, 1 failed, 0 crashed, 0 timed out, 10 skipped\n"), std::string::npos)
      << out.str();
}

// A replay line as a POSIX shell reads it: bare words, and double-quoted
// words in which a backslash escapes only $ ` " and itself.
std::vector<std::string> ShellWords(const std::string& line) {
  static const std::regex word(R"re("((?:[^"\\]|\\.)*)"|([^ "]+))re");
  static const std::regex escape(R"re(\\([$`"\\]))re");
  std::vector<std::string> words;
  for (auto match = std::sregex_iterator(line.begin(), line.end(), word); match != std::sregex_iterator(); ++match)
    words.push_back((*match)[2].matched ? (*match)[2].str() : std::regex_replace((*match)[1].str(), escape, "$1"));
  return words;
}

std::string StatusWord(CheckStatus status) {
  return status == CheckStatus::Failed ? "FAIL" : status == CheckStatus::Crashed ? "CRASH" : "TIMEOUT";
}

TEST(Validate, TheReplayLineOfEachBrokenModulesFirstFailureFailsTheSameWay) {
  const char* const kFixtures[] = {"broken_sync",     "broken_symbol", "broken_line", "broken_stale", "broken_dismiss",
                                   "broken_nullname", "broken_hang",   "broken_draw", "broken_memory"};
  for (const char* fixture : kFixtures) {
    SCOPED_TRACE(fixture);
    const std::vector<CheckResult>& results = ValidateFile(qztest::FixtureModulePath(fixture));
    const CheckResult* first = nullptr;
    for (const CheckResult& result : results) {
      if (Wrong(result) && first == nullptr) first = &result;
    }
    ASSERT_NE(first, nullptr);
    SCOPED_TRACE(first->replay);
    std::vector<std::string> words = ShellWords(first->replay);
    ASSERT_GE(words.size(), 3u);
    ASSERT_EQ(words[0], "hostsim");
    words.erase(words.begin());
    const qztest::ProcessResult replayed = qztest::RunProgram(qztest::HostsimPath(), words);
    EXPECT_EQ(replayed.status, 1) << replayed.err;
    if (words[0] == "validate") {
      // The same row, first of its kind in the report.
      const std::string row = "\n" + StatusWord(first->status);
      const std::size_t at = replayed.out.find(row);
      ASSERT_NE(at, std::string::npos) << replayed.out;
      const std::string line = replayed.out.substr(at + 1, replayed.out.find('\n', at + 1) - at - 1);
      EXPECT_NE(line.find(" " + first->check + " "), std::string::npos) << line;
      EXPECT_NE(line.find(first->message), std::string::npos) << line;
      continue;
    }
    ASSERT_EQ(words[0], "run");
    if (first->status == CheckStatus::Failed) {
      // Validate counts the other failing runs; one run shows its own error.
      const std::string error = first->message.substr(0, first->message.find(" (and "));
      const std::string shown = error.compare(0, 16, "protocol error: ") == 0 ? error : "protocol error: " + error;
      EXPECT_NE(replayed.out.find("\n" + shown + "\n"), std::string::npos) << replayed.out;
    } else if (first->status == CheckStatus::Crashed) {
      const std::string code = first->cause.substr(0, first->cause.find(' '));
      EXPECT_NE(replayed.err.find(": the module crashed (" + code + ")\n"), std::string::npos) << replayed.err;
    } else {
      EXPECT_NE(replayed.err.find(": did not return within 1 s (--timeout); ended\n"), std::string::npos)
          << replayed.err;
    }
  }
}

// What a crash handler is told: each run of the module before it starts, and
// that it ended, so a crash is reported with the run it happened in.
class RecordedSteps : public hostsim::StepListener {
 public:
  void Starting(const std::string& step) override {
    EXPECT_FALSE(running) << "a second step started before '" << steps.back() << "' ended";
    steps.push_back(step);
    running = true;
  }
  void Finished() override {
    EXPECT_TRUE(running) << "a step ended that never started";
    running = false;
  }
  std::vector<std::string> steps;
  bool running = false;
};

TEST(Validate, AnnouncesEachRunOfTheModuleAndItsEnd) {
  RecordedSteps recorded;
  hostsim::ValidateOptions options;
  options.modulePath = qztest::Module().path();
  options.seed = 11;
  options.randomScenes = 2;
  options.steps = &recorded;
  hostsim::Validate(options);
  EXPECT_FALSE(recorded.running);
  const auto announced = [&recorded](const std::string& step) {
    return std::find(recorded.steps.begin(), recorded.steps.end(), step) != recorded.steps.end();
  };
  EXPECT_TRUE(announced("check load-unload, load 3"));
  EXPECT_TRUE(announced("check demo-scene, QZ_Sel_Child on demo_rig.lws, live updates"));
  EXPECT_TRUE(announced("check random-scenes, QZ_Add_Parent on random scene (seed 12), snapshot updates"));
  EXPECT_TRUE(announced("check panel, QZ_Sel_ByName on demo_rig.lws, deferred updates"));
}

TEST(Validate, RandomScenesComeBackFromTheirSeed) {
  EXPECT_EQ(qztest::Outline(hostsim::RandomScene(42)), qztest::Outline(hostsim::RandomScene(42)));
  EXPECT_NE(qztest::Outline(hostsim::RandomScene(42)), qztest::Outline(hostsim::RandomScene(43)));
  // A failing random run names its scene's seed; the same seed must rebuild
  // the same scene on every platform.
  EXPECT_EQ(qztest::Outline(hostsim::RandomScene(1)),
            "10000000 object Arm.R\n"
            "  10000001 object Head2\n"
            "    20000000 light Sun\n"
            "      10000003 object Head2\n"
            "10000002 null Target\n"
            "30000000 camera Closeup\n");
}

}  // namespace
