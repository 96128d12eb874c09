// The commands that walk the live selection: children, siblings, ancestors.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/module_fixture.h"
#include "tests/support/rig_scene.h"

namespace {

using hostsim::Host;
using hostsim::UpdateMode;
using qztest::Lines;

using qztest::Rig;
using namespace qztest::rig;

struct Case {
  const char* name;
  const char* command;
  std::vector<std::uint32_t> selection;
  Lines lines;                               // deferred mode, and every mode unless given below
  std::optional<Lines> live = std::nullopt;  // where lines applied at once change what the walk sees
  std::optional<Lines> snapshot = std::nullopt;
};

const Case kCases[] = {
    {"children replace, other kinds skipped",
     "QZ_Sel_Child",
     {kBody},
     {"SelectItem 10000001", "AddToSelection 10000003", "AddToSelection 10000005"}},
    {"selected children are not skipped",
     "QZ_Sel_Child",
     {kBody, kArmL},
     {"SelectItem 10000001", "AddToSelection 10000003", "AddToSelection 10000005", "AddToSelection 10000002"},
     // Applied at once, "SelectItem" leaves Arm.L alone at entry 0 and the walk goes on over the new list.
     Lines{"SelectItem 10000001", "AddToSelection 10000003", "AddToSelection 10000005"}},
    {"no child of the reference kind", "QZ_Sel_Child", {kArmR, kHandL}, {}},
    {"reference kind from entry 0 only", "QZ_Sel_Child", {kKey, kBody}, {"SelectItem 20000000"}},
    {"shrunk list is not read past its end", "QZ_Sel_Child", {kHandL, kKey, kArmL}, {"SelectItem 10000002"}},
    {"add children skips selected ones",
     "QZ_Add_Child",
     {kBody, kArmL},
     {"AddToSelection 10000003", "AddToSelection 10000005", "AddToSelection 10000002"}},
    {"add children of a light", "QZ_Add_Child", {kKey, kBody}, {}},
    {"add children of another kind's entry", "QZ_Add_Child", {kLamp, kArmR}, {}},
    {"siblings of one item", "QZ_Sel_Sibling", {kArmL}, {"AddToSelection 10000003", "AddToSelection 10000005"}},
    {"top-level siblings come from parent 0", "QZ_Sel_Sibling", {kCamera}, {"AddToSelection 30000001"}},
    {"shared parent is walked once per selected child",
     "QZ_Sel_Sibling",
     {kArmL, kArmR},
     {"AddToSelection 10000005", "AddToSelection 10000005"},
     Lines{"AddToSelection 10000005"},
     Lines{"AddToSelection 10000005"}},
    {"ancestors up to the top", "QZ_Sel_Throwback", {kHandL}, {"AddToSelection 10000001", "AddToSelection 10000000"}},
    {"selected ancestor skipped, climb goes on",
     "QZ_Sel_Throwback",
     {kHandL, kArmL},
     {"AddToSelection 10000000", "AddToSelection 10000000"},
     Lines{"AddToSelection 10000000"},
     Lines{"AddToSelection 10000000"}},
    {"climb stops at a parent of another kind", "QZ_Sel_Throwback", {kProp}, {}},
    {"own kind of a later entry plays no part",
     "QZ_Sel_Throwback",
     {kArmL, kLamp},
     {"AddToSelection 10000000", "AddToSelection 10000003", "AddToSelection 10000000"},
     Lines{"AddToSelection 10000000", "AddToSelection 10000003"},
     Lines{"AddToSelection 10000000", "AddToSelection 10000003"}},
};

class ChildCommands : public ::testing::TestWithParam<UpdateMode> {};

TEST_P(ChildCommands, SendTheLinesOfEachCase) {
  const UpdateMode mode = GetParam();
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.command) + ": " + c.name);
    Host host(Rig());
    host.SetUpdateMode(mode);
    host.Select(c.selection);
    const hostsim::RunResult result = qztest::RunCommand(host, c.command);
    EXPECT_EQ(result.code, 0);
    Lines expected = c.lines;
    if (mode == UpdateMode::Live && c.live) expected = *c.live;
    if (mode == UpdateMode::Snapshot && c.snapshot) expected = *c.snapshot;
    EXPECT_EQ(result.lines, expected);
  }
}

TEST_P(ChildCommands, OnlyTheLow32BitsOfIdsAreWrittenOrCompared) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.command) + ": " + c.name);
    Host plain(Rig());
    Host tagged(Rig());
    for (Host* host : {&plain, &tagged}) {
      host->SetUpdateMode(GetParam());
      host->Select(c.selection);
    }
    tagged.faults().idHighBits = 0xABCDull << 48;
    EXPECT_EQ(qztest::RunCommand(tagged, c.command).lines, qztest::RunCommand(plain, c.command).lines);
    EXPECT_EQ(tagged.selection(), plain.selection());
  }
}

INSTANTIATE_TEST_SUITE_P(AllModes, ChildCommands, ::testing::ValuesIn(qztest::kAllModes),
                         [](const auto& info) { return std::string(hostsim::UpdateModeName(info.param)); });

TEST(ChildCommandsSelection, SelectChildrenReplacesAndTheOthersAdd) {
  struct Expect {
    const char* command;
    std::vector<std::uint32_t> after;
  };
  const Expect expectations[] = {
      {"QZ_Sel_Child", {kArmL, kArmR, kLeg}},
      {"QZ_Add_Child", {kBody, kArmL, kArmR, kLeg}},
      {"QZ_Sel_Sibling", {kArmL, kArmR, kLeg}},
      {"QZ_Sel_Throwback", {kHandL, kArmL, kBody}},
  };
  for (const Expect& expect : expectations) {
    SCOPED_TRACE(expect.command);
    Host host(Rig());
    const std::string command = expect.command;
    host.Select(command == "QZ_Sel_Sibling"     ? std::vector<std::uint32_t>{kArmL}
                : command == "QZ_Sel_Throwback" ? std::vector<std::uint32_t>{kHandL}
                                                : std::vector<std::uint32_t>{kBody});
    qztest::RunCommand(host, expect.command);
    EXPECT_EQ(host.selection(), expect.after);
  }
}

// The host steps to a child's next sibling given the parent too, and may
// consult it. Applied at once, "SelectItem" puts the first child where its
// parent stood, so the walk must ask with what the list holds there now.
TEST(ChildCommandsSelection, NextChildIsAskedOfTheEntryTheListHoldsNow) {
  struct ParentsCase {
    const char* command;
    std::vector<std::uint32_t> selection;
    UpdateMode mode;
    std::vector<ItemId> parents;  // every next-child call's parent argument, in order
  };
  const ParentsCase cases[] = {
      {"QZ_Sel_Child", {kBody}, UpdateMode::Deferred, {kBody, kBody, kBody, kBody}},
      {"QZ_Sel_Child", {kBody}, UpdateMode::Live, {kArmL, kArmL, kArmL, kArmL, kArmR}},
      {"QZ_Sel_Child", {kBody}, UpdateMode::Snapshot, {kBody, kBody, kBody, kBody}},
      {"QZ_Add_Child", {kBody}, UpdateMode::Live, {kBody, kBody, kBody, kBody, kArmL, kArmR}},
  };
  for (const ParentsCase& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " in " + hostsim::UpdateModeName(c.mode) + " mode");
    Host host(Rig());
    host.SetUpdateMode(c.mode);
    host.Select(c.selection);
    EXPECT_EQ(qztest::RunCommand(host, c.command).nextChildParents, c.parents);
  }
}

TEST(ChildCommandsSelection, NullNamesChangeNothingForTheHierarchyWalks) {
  for (const char* command : {"QZ_Sel_Child", "QZ_Add_Child", "QZ_Sel_Sibling", "QZ_Sel_Throwback"}) {
    Host host(Rig());
    host.faults().nullNames = true;
    host.Select({kArmL, kHandL});
    EXPECT_EQ(qztest::RunCommand(host, command).code, 0) << command;
  }
}

}  // namespace
