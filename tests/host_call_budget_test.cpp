// Host calls per command, slot by slot: each command makes the calls its walk
// needs and no more — no second pass over the selection or the scene, no
// re-walk of what it has already visited, no flags asked where none are due.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/module_fixture.h"
#include "tests/support/rig_scene.h"

namespace {

using hostsim::CallCounts;
using hostsim::Host;

// The calls a run may make, a count per slot; zero where not named.
enum Slot {
  kLookups,
  kFirst,
  kNext,
  kFirstChild,
  kNextChild,
  kParent,
  kName,
  kFlags,
  kFileName,
  kPointCount,
  kEvaluate,
  kMessages,
  kSlotCount
};
const char* const kSlotNames[kSlotCount] = {"service lookups",     "first item (item info slot 0)",
                                            "next item (slot 1)",  "first child (slot 2)",
                                            "next child (slot 3)", "parent (slot 4)",
                                            "name (slot 8)",       "item flags",
                                            "object file name",    "object point count",
                                            "evaluated lines",     "messages"};

struct Budget {
  std::uint64_t calls[kSlotCount] = {};
};

Budget Spent(const CallCounts& calls) {
  return {{calls.lookups, calls.itemInfo[0], calls.itemInfo[1], calls.itemInfo[2], calls.itemInfo[3], calls.itemInfo[4],
           calls.itemInfo[8], calls.itemFlags, calls.objectInfo[0], calls.objectInfo[1], calls.evaluate,
           calls.messages}};
}

// Slots 5 to 7 of the item record are never called; a call there is a fault too.
std::uint64_t UnusedItemSlots(const CallCounts& calls) {
  return calls.itemInfo[5] + calls.itemInfo[6] + calls.itemInfo[7];
}

void ExpectWithin(const Budget& spent, const Budget& budget) {
  for (int slot = 0; slot < kSlotCount; ++slot) EXPECT_EQ(spent.calls[slot], budget.calls[slot]) << kSlotNames[slot];
}

using qztest::Rig;
using namespace qztest::rig;

// A null with `count` children, every third a null, the others loaded objects.
hostsim::Scene Fan(int count) {
  hostsim::Scene scene;
  const auto root = scene.AddNull("Root");
  for (int index = 0; index < count; ++index) {
    const std::string name = "Part_" + std::to_string(index);
    index % 3 == 2 ? scene.AddNull(name, root) : scene.AddObject(name, root);
  }
  return scene;
}

// A chain of `length` objects, each the child of the one before.
hostsim::Scene Chain(int length) {
  hostsim::Scene scene;
  std::uint32_t parent = 0;
  for (int index = 0; index < length; ++index) parent = scene.AddObject("Link_" + std::to_string(index), parent);
  return scene;
}

// The sizes the budgets are counted for.
hostsim::Scene Fan500() { return Fan(500); }
hostsim::Scene Fan600() { return Fan(600); }
hostsim::Scene Chain300() { return Chain(300); }

std::vector<std::uint32_t> Objects(std::uint32_t from, std::uint32_t count) {
  std::vector<std::uint32_t> ids;
  for (std::uint32_t index = 0; index < count; ++index) ids.push_back(0x10000000u + from + index);
  return ids;
}

struct Case {
  const char* name;
  const char* command;
  hostsim::Scene (*scene)();
  std::vector<std::uint32_t> selection;
  Budget budget;
};

// Budget fields in order: lookups, first, next, firstChild, nextChild, parent, name, flags, fileName,
// pointCount, evaluate, messages.
const Case kCases[] = {
    // Children: one first child per entry, one next child per child, flags only for the add form and
    // only for children of the reference kind.
    {"children of two entries", "QZ_Sel_Child", Rig, {kBody, kArmL}, {2, 0, 0, 2, 5, 0, 0, 0, 0, 0, 4, 0}},
    {"new children of two entries", "QZ_Add_Child", Rig, {kBody, kArmL}, {2, 0, 0, 2, 5, 0, 0, 4, 0, 0, 3, 0}},
    {"children of a fan's root", "QZ_Sel_Child", Fan500, {0x10000000u}, {2, 0, 0, 1, 500, 0, 0, 0, 0, 0, 500, 0}},
    {"new children of a fan's root", "QZ_Add_Child", Fan500, {0x10000000u}, {2, 0, 0, 1, 500, 0, 0, 500, 0, 0, 500, 0}},
    // Siblings: the parent once per entry, then its children.
    {"siblings of two entries", "QZ_Sel_Sibling", Rig, {kArmL, kArmR}, {2, 0, 0, 2, 8, 2, 0, 6, 0, 0, 2, 0}},
    // Ancestors: one parent per step; flags for each ancestor of the reference kind.
    {"ancestors of two entries", "QZ_Sel_Throwback", Rig, {kHandL, kProp}, {2, 0, 0, 0, 0, 4, 0, 2, 0, 0, 2, 0}},
    {"ancestors up a chain", "QZ_Sel_Throwback", Chain300, {0x1000012Bu}, {2, 0, 0, 0, 0, 300, 0, 299, 0, 0, 299, 0}},
    // Parents: one parent per entry, collected before anything is sent.
    {"parents of three entries", "QZ_Sel_Parent", Rig, {kHandL, kProp, kLeg}, {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 2, 0}},
    {"new parents of three entries", "QZ_Add_Parent", Rig, {kHandL, kProp, kLeg}, {2, 0, 0, 0, 0, 3, 0, 2, 0, 0, 2, 0}},
    {"parents of a fan's children", "QZ_Sel_Parent", Fan500, Objects(1, 500), {2, 0, 0, 0, 0, 500, 0, 0, 0, 0, 500, 0}},
    // Descendants: one first child per item reached, one next child per child seen; no flags.
    {"descendants of the body", "QZ_Sel_Descendant", Rig, {kBody}, {2, 0, 0, 5, 6, 0, 0, 0, 0, 0, 4, 0}},
    {"descendants down a chain", "QZ_Sel_Descendant", Chain300, {kBody}, {2, 0, 0, 300, 299, 0, 0, 0, 0, 0, 299, 0}},
    // Hierarchies: the climb to each root, then one walk per distinct root.
    {"hierarchies of two entries", "QZ_Sel_Hierarchy", Rig, {kHandL, kProp}, {2, 0, 0, 6, 6, 4, 0, 0, 0, 0, 6, 0}},
    {"one hierarchy reached from every child",
     "QZ_Sel_Hierarchy",
     Fan500,
     Objects(1, 500),
     {2, 0, 0, 501, 500, 1000, 0, 0, 0, 0, 501, 0}},
    {"one hierarchy reached twice", "QZ_Sel_Hierarchy", Rig, {kHandL, kLeg}, {2, 0, 0, 5, 6, 5, 0, 0, 0, 0, 5, 0}},
    // Scene-wide: one pass over the objects, each tested once, the first one last.
    {"all nulls", "QZ_Sel_AllNulls", Rig, {}, {2, 1, 6, 0, 0, 0, 0, 0, 0, 6, 7, 0}},
    {"all loaded objects", "QZ_Sel_AllObjects", Rig, {}, {2, 1, 6, 0, 0, 0, 0, 0, 6, 0, 3, 0}},
    {"all nulls of a fan", "QZ_Sel_AllNulls", Fan600, {}, {2, 1, 601, 0, 0, 0, 0, 0, 0, 601, 202, 0}},
};

TEST(HostCallBudget, EachCommandMakesTheCallsItsWalkNeedsAndNoMore) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.command) + ": " + c.name);
    Host host(c.scene());
    host.Select(c.selection);
    const hostsim::RunResult result = qztest::RunCommand(host, c.command);
    EXPECT_EQ(result.code, 0);
    ExpectWithin(Spent(host.calls()), c.budget);
    EXPECT_EQ(UnusedItemSlots(host.calls()), 0u);
  }
}

struct SearchCase {
  const char* name;
  hostsim::Scene (*scene)();
  std::vector<std::uint32_t> selection;
  const char* pattern;
  std::uint32_t kindKey;  // '1' objects, '2' lights, '3' cameras, '4' bones
  Budget budget;
};

// The by-name command: one first item and one next item per item of the scope,
// a name per item looked at, and no flags; the bone search looks up the
// interface record for the selection's first entry.
const SearchCase kSearches[] = {
    {"objects", Rig, {}, "B*", '1', {3, 1, 6, 0, 0, 0, 6, 0, 0, 0, 2, 0}},
    {"objects, none found", Rig, {}, "Nobody", '1', {3, 1, 6, 0, 0, 0, 6, 0, 0, 0, 1, 1}},
    {"lights", Rig, {}, "K*", '2', {3, 1, 2, 0, 0, 0, 2, 0, 0, 0, 2, 0}},
    {"a fan's objects", Fan500, {}, "Part_1*", '1', {3, 1, 501, 0, 0, 0, 501, 0, 0, 0, 112, 0}},
    // Every object in turn, each with an edit-mode line, when no bone matches.
    {"bones of every object, none found", qztest::BoneRig, {}, "Nope", '4', {4, 5, 9, 0, 0, 0, 5, 0, 0, 0, 4, 1}},
    {"bones of the selected bone's object",
     qztest::BoneRig,
     {0x40000001u},
     "Arm*",
     '4',
     {4, 1, 1, 0, 0, 0, 1, 0, 0, 0, 2, 0}},
    // Object names first; bones only of the first matching object that has any.
    {"object.bone", qztest::BoneRig, {}, "Head*.Arm*", '1', {3, 3, 2, 0, 0, 0, 3, 0, 0, 0, 2, 0}},
};

TEST(HostCallBudget, EachSearchMakesTheCallsItsScopeNeedsAndNoMore) {
  for (const SearchCase& c : kSearches) {
    SCOPED_TRACE(std::string(c.name) + ": \"" + c.pattern + "\"");
    Host host(c.scene());
    host.Select(c.selection);
    host.panels().user() = hostsim::PanelUser().Types(c.pattern).Presses(c.kindKey).Confirms();
    const hostsim::RunResult result = qztest::RunCommand(host, "QZ_Sel_ByName");
    EXPECT_EQ(result.code, 0);
    ExpectWithin(Spent(host.calls()), c.budget);
    EXPECT_EQ(UnusedItemSlots(host.calls()), 0u);
  }
}

}  // namespace
