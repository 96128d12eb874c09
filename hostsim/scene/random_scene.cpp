#include "hostsim/scene/random_scene.h"

#include "hostsim/scene/item_ids.h"

namespace hostsim {

namespace {

const char* const kObjectNames[] = {"Body", "Head", "Arm.L", "Arm.R", "Prop", "Body", "Rig", "Head2", "Leg.001"};
const char* const kNullNames[] = {"Rig", "Target", "Arm.L", "Null", "", "Pivot", "Body", "Ctrl.Hand"};
const char* const kBoneNames[] = {"Root", "Arm", "Arm.L", "Hand", "Bone", "", "Spine1", "Foot.R"};
const char* const kLightNames[] = {"Key", "Fill", "Light", "Sun", "Key"};
const char* const kCameraNames[] = {"Camera", "Closeup", "Camera"};

template <std::size_t N>
const char* Pick(SplitMix64& random, const char* const (&names)[N]) {
  return names[random.Below(N)];
}

}  // namespace

std::uint64_t SplitMix64::Next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::uint64_t SplitMix64::Below(std::uint64_t bound) { return bound == 0 ? 0 : Next() % bound; }

Scene RandomScene(std::uint64_t seed) {
  SplitMix64 random(seed);
  Scene scene;
  std::vector<std::uint32_t> items, objects;
  std::uint32_t nextObject = SerialId(Kind::Object, 0);
  const std::uint64_t count = 1 + random.Below(60);
  for (std::uint64_t made = 0; made < count; ++made) {
    const std::uint32_t parent = items.empty() || random.Chance(40) ? 0 : items[random.Below(items.size())];
    const std::uint64_t roll = random.Below(100);
    std::uint32_t id = 0;
    if (roll < 45 || (roll < 70 && objects.empty())) {
      ItemSpec spec;
      spec.id = nextObject;
      nextObject += 1 + static_cast<std::uint32_t>(random.Chance(15) ? random.Below(3) : 0);
      spec.parent = parent;
      if (random.Chance(55)) {
        spec.name = Pick(random, kObjectNames);
        spec.fileName = Scene::DefaultObjectPath(spec.name);
        spec.pointCount = 1 + static_cast<int>(random.Below(5000));
      } else {
        spec.name = Pick(random, kNullNames);
      }
      id = scene.Add(spec);
      objects.push_back(id);
    } else if (roll < 70) {
      const std::uint32_t owner = objects[random.Below(objects.size())];
      std::uint32_t boneParent = 0;  // under the owner
      const Item& ownerItem = scene.Get(owner);
      if (ownerItem.boneCount >= kMaxBonesPerObject) continue;
      if (ownerItem.lastBone != kNoItem && random.Chance(60))
        boneParent = scene.At(ownerItem.lastBone).id;
      else if (random.Chance(15))
        boneParent = parent;
      id = scene.AddBone(owner, Pick(random, kBoneNames), boneParent);
    } else if (roll < 85) {
      id = scene.AddLight(Pick(random, kLightNames), parent);
    } else {
      id = scene.AddCamera(Pick(random, kCameraNames), parent);
    }
    items.push_back(id);
  }
  return scene;
}

std::vector<std::uint32_t> RandomSelection(const Scene& scene, SplitMix64& random) {
  std::vector<std::uint32_t> all;
  for (const Item& item : scene.items()) {
    if (item.id != 0) all.push_back(item.id);
  }
  if (random.Chance(10)) return all;
  std::vector<std::uint32_t> selection;
  const std::uint64_t size = random.Below(5);
  for (std::uint64_t entry = 0; entry < size && !all.empty(); ++entry)
    selection.push_back(all[random.Below(all.size())]);
  return selection;
}

}  // namespace hostsim
