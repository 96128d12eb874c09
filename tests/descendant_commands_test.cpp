// "QZ_Sel_Descendant" and "QZ_Sel_Hierarchy": whole subtrees, each root once,
// and hierarchies far deeper than any machine stack.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

#include "tests/support/module_fixture.h"
#include "tests/support/small_stack.h"

namespace {

using hostsim::UpdateMode;
using qztest::Ids;
using qztest::Lines;

// Body 10000000 > Hips 10000001 > (Leg.L 10000002 > Foot.L 10000003), Leg.R 10000004
// Body > Key 20000000 > (Lamp 10000005 > Bulb 10000006), Fill 20000001
// Body > Spine 40000000 > Tail 40010000
// Cart 10000007 > Wheel.F 10000008, Wheel.B 10000009
// Crate 1000000A > Lid 1000000B
// Sun 20000002 > (Probe 1000000C > Lens 1000000D), Moon 20000003
hostsim::Scene RigScene() {
  hostsim::Scene scene;
  const auto body = scene.AddObject("Body");
  const auto hips = scene.AddNull("Hips", body);
  scene.AddObject("Foot.L", scene.AddObject("Leg.L", hips));
  scene.AddObject("Leg.R", hips);
  const auto key = scene.AddLight("Key", body);
  scene.AddObject("Bulb", scene.AddObject("Lamp", key));
  scene.AddLight("Fill", key);
  scene.AddBone(body, "Tail", scene.AddBone(body, "Spine"));
  const auto cart = scene.AddObject("Cart");
  scene.AddObject("Wheel.F", cart);
  scene.AddObject("Wheel.B", cart);
  scene.AddObject("Lid", scene.AddObject("Crate"));
  const auto sun = scene.AddLight("Sun");
  scene.AddObject("Lens", scene.AddObject("Probe", sun));
  scene.AddLight("Moon", sun);
  return scene;
}

struct WalkCase {
  const char* what;
  const char* command;
  Ids selection;
  Lines lines;
  // A host that applies lines at once shows the walk its own additions as
  // further entries; unset when that changes nothing.
  std::optional<Lines> liveLines;
  Ids after;
};

const WalkCase kWalkCases[] = {
    {"a leaf has nothing below it", "QZ_Sel_Descendant", {0x10000003}, {}, std::nullopt, {0x10000003}},
    {"depth first, children in host order, nothing below another kind",
     "QZ_Sel_Descendant",
     {0x10000000},
     {"AddToSelection 10000001", "AddToSelection 10000002", "AddToSelection 10000003", "AddToSelection 10000004"},
     Lines{"AddToSelection 10000001", "AddToSelection 10000002", "AddToSelection 10000003", "AddToSelection 10000004",
           "AddToSelection 10000002", "AddToSelection 10000003", "AddToSelection 10000004", "AddToSelection 10000003"},
     {0x10000000, 0x10000001, 0x10000002, 0x10000003, 0x10000004}},
    {"an item and its child both selected: the child's subtree twice",
     "QZ_Sel_Descendant",
     {0x10000000, 0x10000001},
     {"AddToSelection 10000001", "AddToSelection 10000002", "AddToSelection 10000003", "AddToSelection 10000004",
      "AddToSelection 10000002", "AddToSelection 10000003", "AddToSelection 10000004"},
     Lines{"AddToSelection 10000001", "AddToSelection 10000002", "AddToSelection 10000003", "AddToSelection 10000004",
           "AddToSelection 10000002", "AddToSelection 10000003", "AddToSelection 10000004", "AddToSelection 10000003"},
     {0x10000000, 0x10000001, 0x10000002, 0x10000003, 0x10000004}},
    {"a selected light adds its object children, not its lights",
     "QZ_Sel_Descendant",
     {0x10000007, 0x20000000},
     {"AddToSelection 10000008", "AddToSelection 10000009", "AddToSelection 10000005", "AddToSelection 10000006"},
     Lines{"AddToSelection 10000008", "AddToSelection 10000009", "AddToSelection 10000005", "AddToSelection 10000006",
           "AddToSelection 10000006"},
     {0x10000007, 0x20000000, 0x10000008, 0x10000009, 0x10000005, 0x10000006}},
    {"an object below a light is walked when it is selected itself",
     "QZ_Sel_Descendant",
     {0x10000005},
     {"AddToSelection 10000006"},
     std::nullopt,
     {0x10000005, 0x10000006}},
    {"lights as the reference kind",
     "QZ_Sel_Descendant",
     {0x20000002},
     {"AddToSelection 20000003"},
     std::nullopt,
     {0x20000002, 0x20000003}},
    {"bones as the reference kind, found below an object",
     "QZ_Sel_Descendant",
     {0x40010000, 0x10000000},
     {"AddToSelection 40000000", "AddToSelection 40010000"},
     Lines{"AddToSelection 40000000", "AddToSelection 40010000", "AddToSelection 40010000"},
     {0x40010000, 0x10000000, 0x40000000}},

    {"two items of one hierarchy give one root",
     "QZ_Sel_Hierarchy",
     {0x10000003, 0x10000004, 0x10000000},
     {"SelectItem 10000000", "AddToSelection 10000001", "AddToSelection 10000002", "AddToSelection 10000003",
      "AddToSelection 10000004"},
     std::nullopt,
     {0x10000000, 0x10000001, 0x10000002, 0x10000003, 0x10000004}},
    {"roots in ascending order, the smallest in printf form",
     "QZ_Sel_Hierarchy",
     {0x1000000D, 0x1000000B},
     {"SelectItem 1000000a", "AddToSelection 1000000B", "AddToSelection 1000000C", "AddToSelection 1000000D"},
     std::nullopt,
     {0x1000000A, 0x1000000B, 0x1000000C, 0x1000000D}},
    {"a root of another kind is named, its light children are not",
     "QZ_Sel_Hierarchy",
     {0x10000006, 0x20000002},
     {"SelectItem 10000005", "AddToSelection 10000006", "AddToSelection 20000002", "AddToSelection 1000000C",
      "AddToSelection 1000000D"},
     std::nullopt,
     {0x10000005, 0x10000006, 0x20000002, 0x1000000C, 0x1000000D}},
    {"an entry of another kind is climbed from and not named",
     "QZ_Sel_Hierarchy",
     {0x10000004, 0x20000000},
     {"SelectItem 10000000", "AddToSelection 10000001", "AddToSelection 10000002", "AddToSelection 10000003",
      "AddToSelection 10000004"},
     std::nullopt,
     {0x10000000, 0x10000001, 0x10000002, 0x10000003, 0x10000004}},
    {"a selected child of another-kind root is a root too: its subtree twice",
     "QZ_Sel_Hierarchy",
     {0x1000000C, 0x20000002},
     {"SelectItem 1000000c", "AddToSelection 1000000D", "AddToSelection 20000002", "AddToSelection 1000000C",
      "AddToSelection 1000000D"},
     std::nullopt,
     {0x1000000C, 0x1000000D, 0x20000002}},
    {"a bone under a bone is its own root for objects",
     "QZ_Sel_Hierarchy",
     {0x10000008, 0x40010000},
     {"SelectItem 10000007", "AddToSelection 10000008", "AddToSelection 10000009", "AddToSelection 40010000"},
     std::nullopt,
     {0x10000007, 0x10000008, 0x10000009, 0x40010000}},
};

TEST(DescendantCommands, WalkSubtreesInEveryMode) {
  const hostsim::Scene scene = RigScene();
  for (const WalkCase& c : kWalkCases) {
    for (const UpdateMode mode : qztest::kAllModes) {
      for (const std::uint64_t highBits : qztest::kIdHighBitVariants) {
        SCOPED_TRACE(std::string(c.command) + ": " + c.what + ", " + qztest::RunLabel(mode, highBits));
        const qztest::CommandRun run =
            qztest::RunCommand(*qztest::HostOn(scene, c.selection, mode, qztest::WithIdHighBits(highBits)), c.command);
        EXPECT_EQ(run.code, 0);
        const Lines& expected = mode == UpdateMode::Live && c.liveLines ? *c.liveLines : c.lines;
        EXPECT_EQ(run.lines, expected);
        EXPECT_EQ(run.selectionAfter, c.after);
      }
    }
  }
}

// ---- Many roots ----------------------------------------------------------------

// Object_i 1000000(2i) > Part_i 1000000(2i+1), i < 300; Object_0 > Bone_0
// 40000000 > Bone_1 40010000 > ... > Bone_5 40050000; Light_j 2000000j, j < 50.
hostsim::Scene ManyRootsScene() {
  hostsim::Scene scene;
  for (int index = 0; index < 300; ++index) {
    scene.AddObject("Part", scene.AddObject("Object"));
  }
  std::uint32_t bone = 0;
  for (int index = 0; index < 6; ++index) bone = scene.AddBone(0x10000000, "Bone", bone);
  for (int index = 0; index < 50; ++index) scene.AddLight("Light");
  return scene;
}

std::string AddLine(std::uint32_t item) {
  char line[32];
  std::snprintf(line, sizeof line, "AddToSelection %08X", static_cast<unsigned>(item));
  return line;
}

// Hundreds of roots, their ids differing in three bytes, selected out of order
// and several times over: each is walked once, in ascending order of id.
TEST(DescendantCommands, ManyRootsAreWalkedOnceEachInAscendingOrder) {
  const hostsim::Scene scene = ManyRootsScene();
  Ids selection;
  for (std::uint32_t step = 0; step < 300; ++step) {
    selection.push_back(0x10000001 + 2 * (step * 7 % 300));  // a part: its object is the root
    if (step % 2 == 0) selection.push_back(0x10000000 + 2 * (step * 11 % 300));
    if (step % 6 == 0) selection.push_back(0x20000000 + step / 6);
    if (step % 60 == 1) selection.push_back(0x40000000 + ((step / 60 + 1) << 16));  // a bone under a bone
  }
  Lines expected = {"SelectItem 10000000", "AddToSelection 10000001"};
  for (std::uint32_t object = 1; object < 300; ++object) {
    expected.push_back(AddLine(0x10000000 + 2 * object));
    expected.push_back(AddLine(0x10000001 + 2 * object));
  }
  for (std::uint32_t light = 0; light < 50; ++light) expected.push_back(AddLine(0x20000000 + light));
  for (std::uint32_t bone = 1; bone < 6; ++bone) expected.push_back(AddLine(0x40000000 + (bone << 16)));
  ASSERT_EQ(expected.size(), 655u);
  EXPECT_EQ(expected[599], "AddToSelection 10000257");
  EXPECT_EQ(expected[654], "AddToSelection 40050000");
  for (const std::uint64_t highBits : qztest::kIdHighBitVariants) {
    SCOPED_TRACE(qztest::RunLabel(UpdateMode::Deferred, highBits));
    const qztest::CommandRun run = qztest::RunCommand(
        *qztest::HostOn(scene, selection, UpdateMode::Deferred, qztest::WithIdHighBits(highBits)), "QZ_Sel_Hierarchy");
    EXPECT_EQ(run.lines, expected);
  }
}

// ---- Deep hierarchies -------------------------------------------------------

// Far deeper than a recursive walk could go on the stack the host gives.
constexpr std::uint32_t kChainLength = 1000000;
// The default main-thread stack of a Windows program.
constexpr std::size_t kHostStackBytes = std::size_t{1} << 20;

// Root 10000000, then each null the only child of the one before.
hostsim::Scene ChainScene() {
  hostsim::Scene scene;
  scene.Reserve(kChainLength + 1);
  std::uint32_t parent = scene.AddNull("Root");
  for (std::uint32_t link = 0; link < kChainLength; ++link) parent = scene.AddNull("Link", parent);
  return scene;
}

struct DeepRun {
  hostsim::Host* host;
  const char* command;
  hostsim::RunResult result;
};

void RunDeep(void* argument) {
  auto* run = static_cast<DeepRun*>(argument);
  run->result = run->host->Run(qztest::Module(), run->command);
}

struct DeepCase {
  const char* command;
  Ids selection;
  std::uint64_t linesSent;
};

TEST(DescendantCommands, WalkAMillionLevelsOnAOneMegabyteStack) {
  hostsim::Host host(ChainScene());
  host.SetRecordLines(false);
  const DeepCase cases[] = {
      {"QZ_Sel_Descendant", {0x10000000}, kChainLength},
      // From the bottom of the chain the root is a million parents up.
      {"QZ_Sel_Hierarchy", {0x10000000 + kChainLength, 0x10000000}, kChainLength + 1},
  };
  for (const DeepCase& c : cases) {
    SCOPED_TRACE(c.command);
    host.Select(c.selection);
    host.ResetCalls();
    DeepRun run{&host, c.command, {}};
    ASSERT_TRUE(qztest::RunOnThreadWithStack(kHostStackBytes, RunDeep, &run));
    EXPECT_EQ(run.result.code, 0);
    EXPECT_EQ(run.result.protocolErrors, std::vector<std::string>{});
    EXPECT_EQ(host.calls().evaluate, c.linesSent);
    // The selection order is the order of the lines: root first, then down the chain.
    const Ids after = host.selection();
    ASSERT_EQ(after.size(), kChainLength + 1);
    std::uint32_t misplaced = 0;
    for (std::uint32_t position = 0; position <= kChainLength; ++position) {
      if (after[position] != 0x10000000 + position) ++misplaced;
    }
    EXPECT_EQ(misplaced, 0u);
  }
}

}  // namespace
