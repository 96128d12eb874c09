// "QZ_Sel_Parent" and "QZ_Add_Parent" on a small rig. Both collect before they
// send, so every update mode must give the same lines.
#include <gtest/gtest.h>

#include "tests/support/module_fixture.h"

namespace {

using qztest::Ids;
using qztest::Lines;

// Body 10000000 > Arm 10000001 > Hand 10000002 > Finger1..3 10000003..5;
// Key 20000000 > Lamp 10000006, Fill 20000001; Body > Spine 40000000 > Tail
// 40010000; Shelf 10000007; Cart 10000008 > Wheel 10000009; Crate 1000000A >
// Lid 1000000B.
hostsim::Scene RigScene() {
  hostsim::Scene scene;
  const auto body = scene.AddObject("Body");
  const auto hand = scene.AddObject("Hand", scene.AddNull("Arm", body));
  for (const char* finger : {"Finger1", "Finger2", "Finger3"}) scene.AddObject(finger, hand);
  const auto key = scene.AddLight("Key");
  scene.AddObject("Lamp", key);
  scene.AddLight("Fill", key);
  scene.AddBone(body, "Tail", scene.AddBone(body, "Spine"));
  scene.AddObject("Shelf");
  scene.AddObject("Wheel", scene.AddObject("Cart"));
  scene.AddObject("Lid", scene.AddObject("Crate"));
  return scene;
}

struct ParentCase {
  const char* what;
  const char* command;
  Ids selection;
  Lines lines;
  Ids after;
};

const ParentCase kParentCases[] = {
    {"siblings share one parent, sent once per child",
     "QZ_Sel_Parent",
     {0x10000003, 0x10000004, 0x10000005},
     {"SelectItem 10000002", "AddToSelection 10000002", "AddToSelection 10000002"},
     {0x10000002}},
    {"siblings share one parent, added once per child",
     "QZ_Add_Parent",
     {0x10000003, 0x10000004, 0x10000005},
     {"AddToSelection 10000002", "AddToSelection 10000002", "AddToSelection 10000002"},
     {0x10000003, 0x10000004, 0x10000005, 0x10000002}},
    {"top-level items have no parent",
     "QZ_Sel_Parent",
     {0x10000000, 0x1000000A, 0x20000000},
     {},
     {0x10000000, 0x1000000A, 0x20000000}},
    {"top-level items have no parent to add", "QZ_Add_Parent", {0x10000007, 0x10000008}, {}, {0x10000007, 0x10000008}},
    {"a parent of another kind is skipped", "QZ_Sel_Parent", {0x10000006}, {}, {0x10000006}},
    {"a selected bone leads to its object parent",
     "QZ_Sel_Parent",
     {0x1000000A, 0x40000000},
     {"SelectItem 10000000"},
     {0x10000000}},
    {"the last selected item's parent is selected first",
     "QZ_Sel_Parent",
     {0x1000000B, 0x10000003},
     {"SelectItem 10000002", "AddToSelection 1000000A"},
     {0x10000002, 0x1000000A}},
    {"the first parent is named in printf form",
     "QZ_Sel_Parent",
     {0x10000003, 0x1000000B},
     {"SelectItem 1000000a", "AddToSelection 10000002"},
     {0x1000000A, 0x10000002}},
    {"an already selected parent is selected again",
     "QZ_Sel_Parent",
     {0x10000003, 0x10000002},
     {"SelectItem 10000001", "AddToSelection 10000002"},
     {0x10000001, 0x10000002}},
    {"an already selected parent is not added",
     "QZ_Add_Parent",
     {0x10000003, 0x10000004, 0x10000002},
     {"AddToSelection 10000001"},
     {0x10000003, 0x10000004, 0x10000002, 0x10000001}},
    {"bones as the reference kind skip object parents",
     "QZ_Sel_Parent",
     {0x40010000, 0x10000003},
     {"SelectItem 40000000"},
     {0x40000000}},
    {"lights as the reference kind",
     "QZ_Sel_Parent",
     {0x20000001, 0x10000006},
     {"SelectItem 20000000", "AddToSelection 20000000"},
     {0x20000000}},
    {"a bone's bone parent is added",
     "QZ_Add_Parent",
     {0x40010000},
     {"AddToSelection 40000000"},
     {0x40010000, 0x40000000}},
};

TEST(ParentCommands, SendTheCollectedParentsInEveryMode) {
  const hostsim::Scene scene = RigScene();
  for (const ParentCase& c : kParentCases) {
    for (const hostsim::UpdateMode mode : qztest::kAllModes) {
      for (const std::uint64_t highBits : qztest::kIdHighBitVariants) {
        SCOPED_TRACE(std::string(c.command) + ": " + c.what + ", " + qztest::RunLabel(mode, highBits));
        const qztest::CommandRun run =
            qztest::RunCommand(*qztest::HostOn(scene, c.selection, mode, qztest::WithIdHighBits(highBits)), c.command);
        EXPECT_EQ(run.code, 0);
        EXPECT_EQ(run.lines, c.lines);
        EXPECT_EQ(run.selectionAfter, c.after);
      }
    }
  }
}

}  // namespace
