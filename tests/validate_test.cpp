// "hostsim validate" against modules broken on purpose: each fault must fail
// the check meant to catch it, and the real module must pass them all.
#include "hostsim/validate/validate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "hostsim/host/host.h"
#include "hostsim/scene/random_scene.h"
#include "tests/support/module_fixture.h"
#include "tests/support/process.h"
#include "tests/support/scene_outline.h"

namespace {

using hostsim::CheckResult;
using hostsim::CheckStatus;

std::vector<CheckResult> ValidateFile(const std::string& path) {
  hostsim::ValidateOptions options;
  options.modulePath = path;
  options.seed = 11;
  options.randomScenes = 4;
  return hostsim::Validate(options);
}

std::vector<const CheckResult*> Failures(const std::vector<CheckResult>& results) {
  std::vector<const CheckResult*> failed;
  for (const CheckResult& result : results) {
    if (result.status == CheckStatus::Failed) failed.push_back(&result);
  }
  return failed;
}

TEST(Validate, TheBuiltModulePassesEveryCheck) {
  const std::vector<CheckResult> results = ValidateFile(qztest::Module().path());
  ASSERT_EQ(results.size(), 5u + 6u * 11u);
  for (const CheckResult* failure : Failures(results))
    ADD_FAILURE() << failure->check << " " << failure->command << ": " << failure->message;
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
    const std::vector<CheckResult> results = ValidateFile(qztest::FixtureModulePath(broken.fixture));
    const std::vector<const CheckResult*> failures = Failures(results);
    ASSERT_FALSE(failures.empty());
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
