// "QZ_Sel_AllNulls" and "QZ_Sel_AllObjects": every object of one sort, the
// same lines whatever was selected before.
#include <gtest/gtest.h>

#include <optional>

#include "tests/support/module_fixture.h"

namespace {

using qztest::Ids;
using qztest::Lines;

std::uint32_t AddMesh(hostsim::Scene& scene, const char* name, std::string fileName,
                      std::optional<std::uint32_t> id = std::nullopt) {
  hostsim::ItemSpec spec;
  spec.kind = hostsim::Kind::Object;
  spec.name = name;
  spec.id = id;
  spec.fileName = std::move(fileName);
  spec.pointCount = 8;
  return scene.Add(spec);
}

// Key 20000000, Camera 30000000: not one object.
hostsim::Scene LightsOnly() {
  hostsim::Scene scene;
  scene.AddLight("Key");
  scene.AddCamera("Camera");
  return scene;
}

// Body 1000002A, loaded from a file, and nothing else.
hostsim::Scene OneMesh() {
  hostsim::Scene scene;
  scene.AddLight("Key");
  AddMesh(scene, "Body", "C:\\Content\\Objects\\Body.lwo", 0x1000002A);
  return scene;
}

// Pivot 1000002A, a null, and nothing else.
hostsim::Scene OneNull() {
  hostsim::Scene scene;
  hostsim::ItemSpec spec;
  spec.name = "Pivot";
  spec.id = 0x1000002A;
  scene.Add(spec);
  return scene;
}

// Stage 10000000 (null) > Box 10000001 (loaded); Key 20000000; Rig 10000002
// (null); Tree 10000003 (forward slashes only); Crate 10000004 (loaded, under
// Rig); bones of Box. Scene order is creation order, not the hierarchy.
hostsim::Scene NullFirst() {
  hostsim::Scene scene;
  const auto stage = scene.AddNull("Stage");
  const auto box = scene.AddObject("Box", stage);
  scene.AddLight("Key", box);
  const auto rig = scene.AddNull("Rig");
  AddMesh(scene, "Tree", "C:/Content/Objects/Tree.lwo");
  scene.AddObject("Crate", rig);
  scene.AddBone(box, "Lid");
  return scene;
}

// Box 10000000 (loaded); Marker 10000001 (null); Ball 10000002 (loaded).
hostsim::Scene MeshFirst() {
  hostsim::Scene scene;
  scene.AddObject("Box");
  scene.AddNull("Marker");
  scene.AddObject("Ball");
  return scene;
}

struct SceneCase {
  const char* what;
  hostsim::Scene (*build)();
  const char* command;
  Lines lines;
  std::optional<Ids> after;  // unset: the selection stays as it was
  bool hostGivesNoNames = false;
};

const SceneCase kSceneCases[] = {
    {"no objects: only the edit mode changes", LightsOnly, "QZ_Sel_AllNulls", {"EditObjects"}, std::nullopt},
    {"no objects: only the edit mode changes", LightsOnly, "QZ_Sel_AllObjects", {"EditObjects"}, std::nullopt},
    {"the only object is no null",
     OneMesh,
     "QZ_Sel_AllNulls",
     {"EditObjects", "SelectItem 1000002a", "RemoveFromSelection 1000002a"},
     Ids{}},
    {"the only object is a null",
     OneMesh,
     "QZ_Sel_AllObjects",
     {"EditObjects", "SelectItem 1000002a"},
     Ids{0x1000002A}},
    {"the only object is a null", OneNull, "QZ_Sel_AllNulls", {"EditObjects", "SelectItem 1000002a"}, Ids{0x1000002A}},
    {"the only object was not loaded",
     OneNull,
     "QZ_Sel_AllObjects",
     {"EditObjects", "SelectItem 1000002a", "RemoveFromSelection 1000002a"},
     Ids{}},
    {"a null first, later nulls added",
     NullFirst,
     "QZ_Sel_AllNulls",
     {"EditObjects", "SelectItem 10000000", "AddToSelection 10000002"},
     Ids{0x10000000, 0x10000002}},
    {"a null first is removed after the loaded objects, forward slashes do not count",
     NullFirst,
     "QZ_Sel_AllObjects",
     {"EditObjects", "SelectItem 10000000", "AddToSelection 10000001", "AddToSelection 10000004",
      "RemoveFromSelection 10000000"},
     Ids{0x10000001, 0x10000004}},
    {"a loaded object first is removed after the nulls",
     MeshFirst,
     "QZ_Sel_AllNulls",
     {"EditObjects", "SelectItem 10000000", "AddToSelection 10000001", "RemoveFromSelection 10000000"},
     Ids{0x10000001}},
    {"a loaded object first stays",
     MeshFirst,
     "QZ_Sel_AllObjects",
     {"EditObjects", "SelectItem 10000000", "AddToSelection 10000002"},
     Ids{0x10000000, 0x10000002}},
    {"an object without a file name was not loaded",
     MeshFirst,
     "QZ_Sel_AllObjects",
     {"EditObjects", "SelectItem 10000000", "RemoveFromSelection 10000000"},
     Ids{},
     true},
};

TEST(SceneCommands, SelectEveryObjectOfOneSortWhateverWasSelected) {
  for (const SceneCase& c : kSceneCases) {
    const hostsim::Scene scene = c.build();
    // Nothing, the last item made, and every item: none of it may change a line.
    std::vector<Ids> priorSelections = {{}, {scene.items().back().id}, {}};
    for (const hostsim::Item& item : scene.items()) {
      if (item.id != 0) priorSelections.back().push_back(item.id);
    }
    for (const Ids& prior : priorSelections) {
      for (const hostsim::UpdateMode mode : qztest::kAllModes) {
        for (const std::uint64_t highBits : qztest::kIdHighBitVariants) {
          SCOPED_TRACE(std::string(c.command) + ": " + c.what + ", " + std::to_string(prior.size()) +
                       " selected before, " + qztest::RunLabel(mode, highBits));
          hostsim::Faults faults = qztest::WithIdHighBits(highBits);
          faults.nullNames = c.hostGivesNoNames;
          const qztest::CommandRun run = qztest::RunCommand(*qztest::HostOn(scene, prior, mode, faults), c.command);
          EXPECT_EQ(run.code, 0);
          EXPECT_EQ(run.lines, c.lines);
          EXPECT_EQ(run.selectionAfter, c.after.value_or(prior));
          EXPECT_EQ(run.editModeAfter, 0);
        }
      }
    }
  }
}

}  // namespace
