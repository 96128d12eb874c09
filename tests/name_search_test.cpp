// The name search, linked directly and run inside a hostsim activation, so
// every line it sends and every id it hands back passes the host's checks.
// Called directly, it takes what the panel never hands it: a kind out of
// range, patterns longer than the field. The command end to end is tested in
// by_name_command_test.cpp.
#include "byname/name_search.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hostsim/host/host.h"
#include "tests/support/module_fixture.h"

namespace {

using hostsim::Host;
using qztest::Lines;

struct SearchCall {
  const char* pattern;
  ItemKind kind;
  int found;
};
SearchCall g_call;

int ActivateSearch(int /*version*/, ServiceLookup lookup, void* local, void* /*serverData*/) {
  const auto* items = static_cast<const ItemInfo*>(lookup(kItemInfoService, 0));
  g_call.found = SearchByName(static_cast<const LayoutGeneric*>(local), items, lookup, g_call.pattern, g_call.kind);
  return 0;
}

struct Outcome {
  int found;
  Lines lines;
};

Outcome Search(Host& host, const std::string& pattern, ItemKind kind) {
  g_call = {pattern.c_str(), kind, -1};
  const hostsim::RunResult result = host.Run(ActivateSearch);
  for (const std::string& error : result.protocolErrors) ADD_FAILURE() << "pattern '" << pattern << "': " << error;
  return {g_call.found, result.lines};
}

// Body      10000000  no bones
// Head      10000001  Arm1 40000001, Neck 40010001
// Head2     10000002  Arm1 40000002, Arm.L 40010002, (unnamed) 40020002
// (unnamed) 10000003  no bones
// (unnamed) 10000004  Root 40000004, Tip 40010004
// lights Key 20000000, Fill 20000001; camera Camera 30000000
hostsim::Scene Rig() {
  hostsim::Scene scene;
  scene.AddObject("Body");
  const auto head = scene.AddObject("Head");
  scene.AddBone(head, "Arm1");
  scene.AddBone(head, "Neck");
  const auto head2 = scene.AddObject("Head2");
  scene.AddBone(head2, "Arm1");
  scene.AddBone(head2, "Arm.L");
  scene.AddBone(head2, "");
  scene.AddNull("");
  const auto unnamed = scene.AddNull("");
  scene.AddBone(unnamed, "Root");
  scene.AddBone(unnamed, "Tip");
  scene.AddLight("Key");
  scene.AddLight("Fill");
  scene.AddCamera("Camera");
  return scene;
}

struct SearchCase {
  std::vector<std::uint32_t> selection;
  std::string pattern;
  ItemKind kind;
  int found;
  Lines lines;
};

const SearchCase kRigCases[] = {
    // One kind over the whole scene; the edit mode changes even without a match.
    {{}, "Head*", kKindObject, 1, {"EditObjects", "SelectItem 10000001", "AddToSelection 10000002"}},
    {{}, "", kKindObject, 1, {"EditObjects", "SelectItem 10000003", "AddToSelection 10000004"}},
    {{}, "head*", kKindObject, 0, {"EditObjects"}},
    {{}, "*", kKindLight, 1, {"EditLights", "SelectItem 20000000", "AddToSelection 20000001"}},
    {{}, "Arm*", kKindLight, 0, {"EditLights"}},
    {{}, "Cam*", kKindCamera, 1, {"EditCameras", "SelectItem 30000000"}},
    {{}, "Key", kKindCamera, 0, {"EditCameras"}},

    // "object.bone", whatever the kind: the first matching object with a
    // matching bone ends the search.
    {{}, "Head*.Arm*", kKindObject, 1, {"EditBones", "SelectItem 40000001"}},
    {{}, "Head*.Arm*", kKindCamera, 1, {"EditBones", "SelectItem 40000001"}},
    {{}, "Head*.Arm.*", kKindBone, 1, {"EditBones", "EditBones", "SelectItem 40010002"}},
    {{}, "Head2.Arm.L", kKindObject, 1, {"EditBones", "SelectItem 40010002"}},
    {{}, ".*", kKindObject, 1, {"EditBones", "SelectItem 40000004", "AddToSelection 40010004"}},
    {{}, "Head*.", kKindBone, 1, {"EditBones", "EditBones", "SelectItem 40020002"}},
    {{}, ".", kKindBone, 0, {"EditBones"}},
    {{}, "Body.*", kKindBone, 0, {}},
    {{}, "Head.Arm2", kKindBone, 0, {"EditBones"}},
    {{}, "*.Spine", kKindObject, 0, {"EditBones", "EditBones", "EditBones"}},
    {{0x40000002u}, "Head.*", kKindBone, 1, {"EditBones", "SelectItem 40000001", "AddToSelection 40010001"}},

    // Bones with no bone selected first: every object in turn, bare ones too.
    {{}, "Arm*", kKindBone, 1, {"EditBones", "EditBones", "SelectItem 40000001"}},
    {{}, "Tip", kKindBone, 1, {"EditBones", "EditBones", "EditBones", "EditBones", "EditBones", "SelectItem 40010004"}},
    {{}, "Spine", kKindBone, 0, {"EditBones", "EditBones", "EditBones", "EditBones", "EditBones"}},
    {{0x20000000u, 0x40000002u}, "Arm*", kKindBone, 1, {"EditBones", "EditBones", "SelectItem 40000001"}},

    // A bone selected first: its object alone, even when others would match.
    {{0x40000002u}, "Arm*", kKindBone, 1, {"EditBones", "SelectItem 40000002", "AddToSelection 40010002"}},
    {{0x40010001u, 0x40000004u}, "Tip", kKindBone, 0, {"EditBones"}},
    {{0x40010004u}, "*", kKindBone, 1, {"EditBones", "SelectItem 40000004", "AddToSelection 40010004"}},

    // No such kind: nothing to switch to and nothing to match.
    {{}, "*", 4, 0, {}},
    {{}, "*", -1, 0, {}},
};

TEST(NameSearch, SelectsWhereThePatternAndKindSay) {
  for (const SearchCase& c : kRigCases) {
    SCOPED_TRACE("pattern '" + c.pattern + "', kind " + std::to_string(c.kind));
    Host host(Rig());
    host.Select(c.selection);
    const Outcome outcome = Search(host, c.pattern, c.kind);
    EXPECT_EQ(outcome.lines, c.lines);
    EXPECT_EQ(outcome.found, c.found);
  }
}

TEST(NameSearch, WithoutTheInterfaceServiceBonesAreSearchedInEveryObject) {
  Host host(Rig());
  host.Select({0x40000002u});
  host.faults().missingServices = {kInterfaceInfoService};
  const Outcome outcome = Search(host, "Arm*", kKindBone);
  EXPECT_EQ(outcome.lines, (Lines{"EditBones", "EditBones", "SelectItem 40000001"}));
  EXPECT_EQ(outcome.found, 1);
}

TEST(NameSearch, ItemsWithoutNamesMatchAsUnnamed) {
  struct Case {
    std::string pattern;
    ItemKind kind;
    Lines lines;
  };
  const Case cases[] = {
      {"",
       kKindObject,
       {"EditObjects", "SelectItem 10000000", "AddToSelection 10000001", "AddToSelection 10000002",
        "AddToSelection 10000003", "AddToSelection 10000004"}},
      {"?*", kKindLight, {"EditLights"}},
      {".", kKindObject, {"EditBones", "SelectItem 40000001", "AddToSelection 40010001"}},
      {"Head.*", kKindObject, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("pattern '" + c.pattern + "'");
    Host host(Rig());
    host.faults().nullNames = true;
    EXPECT_EQ(Search(host, c.pattern, c.kind).lines, c.lines);
  }
}

TEST(NameSearch, SelectedBoneNamesItsObjectWithTheHostsHighBits) {
  Host host(Rig());
  host.faults().idHighBits = 0xABCDull << 48;
  host.Select({0x40010002u});
  const Outcome outcome = Search(host, "Arm*", kKindBone);
  EXPECT_EQ(outcome.lines, (Lines{"EditBones", "SelectItem 40000002", "AddToSelection 40010002"}));
}

// Past the 4096th object its id uses bits 12 to 15, which a bone's id carries
// too: the first object, whose bone has the same name, must not stand in.
TEST(NameSearch, SelectedBoneNamesAnObjectPastTheFirst4096) {
  hostsim::Scene scene;
  scene.AddBone(scene.AddObject("Prop"), "Arm");
  for (int filler = 1; filler < 0x1000; ++filler) scene.AddNull("Filler");
  scene.AddBone(scene.AddObject("Prop"), "Arm");
  Host host(std::move(scene));
  host.Select({0x40001000u});
  const Outcome outcome = Search(host, "Arm*", kKindBone);
  EXPECT_EQ(outcome.lines, (Lines{"EditBones", "SelectItem 40001000"}));
  EXPECT_EQ(outcome.found, 1);
}

// Patterns from the panel stop at 127 bytes; a longer one must neither
// overrun the search nor be cut into a shorter pattern that matches more.
TEST(NameSearch, ObjectPartOfAnyLengthIsMatchedWhole) {
  struct Case {
    std::size_t objectNameLength;
    std::size_t objectPartLength;
    int found;
  };
  const Case cases[] = {{127, 127, 1}, {128, 128, 1}, {300, 300, 1}, {127, 128, 0}, {127, 400, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE("name of " + std::to_string(c.objectNameLength) + ", part of " + std::to_string(c.objectPartLength));
    hostsim::Scene scene;
    scene.AddBone(scene.AddObject(std::string(c.objectNameLength, 'x')), "Root");
    Host host(std::move(scene));
    const Outcome outcome = Search(host, std::string(c.objectPartLength, 'x') + ".Root", kKindObject);
    EXPECT_EQ(outcome.found, c.found);
    EXPECT_EQ(outcome.lines, c.found ? (Lines{"EditBones", "SelectItem 40000000"}) : Lines{});
  }
}

}  // namespace
