// hostsim's id index: ids the scene numbered itself and ids given by hand are
// found alike, and one id is never given twice.
#include <gtest/gtest.h>

#include "hostsim/scene/scene.h"

namespace {

std::uint32_t AddWithId(hostsim::Scene& scene, hostsim::Kind kind, std::uint32_t id) {
  hostsim::ItemSpec spec;
  spec.kind = kind;
  spec.id = id;
  return scene.Add(spec);
}

TEST(SceneIndex, FindsEveryIdHoweverItWasNumbered) {
  hostsim::Scene scene;
  const auto body = scene.AddObject("Body");            // 10000000
  AddWithId(scene, hostsim::Kind::Object, 0x10000002);  // ahead of the numbering
  // The numbering has reached an id given by hand.
  EXPECT_THROW(scene.AddObject("Clash"), hostsim::SceneError);
  AddWithId(scene, hostsim::Kind::Object, 0x10000001);  // just where the numbering stands
  scene.AddObject("Third");                             // 10000003, past the hand-given id
  AddWithId(scene, hostsim::Kind::Light, 0x2000ABCD);
  scene.AddLight("Key");                           // 20000001
  const auto bone = scene.AddBone(body, "Spine");  // 40000000

  struct Lookup {
    std::uint32_t id;
    bool found;
  };
  const Lookup lookups[] = {
      {0x10000000, true},  {0x10000001, true},  {0x10000002, true},  {0x10000003, true},  {0x2000ABCD, true},
      {0x20000001, true},  {bone, true},        {0, false},          {0x10000004, false}, {0x20000000, false},
      {0x2000ABCC, false}, {0x30000000, false}, {0x50000000, false}, {0xF0000000, false},
  };
  for (const Lookup& lookup : lookups) {
    SCOPED_TRACE(lookup.id);
    EXPECT_EQ(scene.Contains(lookup.id), lookup.found);
    if (lookup.found) {
      EXPECT_EQ(scene.Get(lookup.id).id, lookup.id);
    }
  }
  EXPECT_EQ(scene.size(), 7u);
}

}  // namespace
