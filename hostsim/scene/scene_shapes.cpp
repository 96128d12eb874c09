#include "hostsim/scene/scene_shapes.h"

#include <cstdio>

namespace hostsim {

namespace {

// Name templates in the proportions a character scene tends to have; each
// takes one number.
constexpr const char* kNameForms[] = {
    "Arm_L_%03u", "Arm_R_%03u", "Finger.L.%u", "Finger.R.%u",  "Null (%u)",   "Body_%05u",
    "Leg.L.%02u", "Leg.R.%02u", "Spine%02u",   "Key Light %u", "Camera (%u)", "prop_crate_%04u",
    "Tree (%u)",  "Hair_%05u",  "Eye_L",       "Head",
};
constexpr std::size_t kNameFormCount = sizeof kNameForms / sizeof kNameForms[0];

std::string FormatName(const char* form, std::size_t number) {
  char text[48];
  // Forms without a number ignore the argument, which printf allows.
  std::snprintf(text, sizeof text, form, static_cast<unsigned>(number));
  return text;
}

// A cheap, fixed mixing of the index, so neighbouring items get unrelated forms.
std::string NameFor(std::size_t index) {
  const std::uint64_t mixed = (index + 1) * 0x9E3779B97F4A7C15ull;
  return FormatName(kNameForms[(mixed >> 59) % kNameFormCount], (mixed >> 20) % 1000);
}

// Every third object is a null; the others are loaded from files.
std::uint32_t AddSomeObject(Scene& scene, std::size_t index, std::uint32_t parent) {
  return index % 3 == 2 ? scene.AddNull(NameFor(index), parent) : scene.AddObject(NameFor(index), parent);
}

void MakeWide(Scene& scene, std::size_t size) {
  const std::uint32_t root = scene.AddNull("Root");
  for (std::size_t index = 1; index < size; ++index) AddSomeObject(scene, index, root);
}

void MakeDeep(Scene& scene, std::size_t size) {
  std::uint32_t parent = 0;
  for (std::size_t index = 0; index < size; ++index) {
    if (index % kDeepChainLength == 0) parent = 0;
    parent = AddSomeObject(scene, index, parent);
  }
}

void MakeBalanced(Scene& scene, std::size_t size) {
  std::vector<std::uint32_t> ids;
  ids.reserve(size);
  for (std::size_t index = 0; index < size; ++index) {
    const std::uint32_t parent = index == 0 ? 0 : ids[(index - 1) / kBranching];
    ids.push_back(AddSomeObject(scene, index, parent));
  }
}

// One rig is 32 items with two objects, so bone ids, which carry their
// object's low 16 bits, stay unique up to a million items and more.
void MakeMixed(Scene& scene, std::size_t size) {
  constexpr const char* kChains[] = {"Arm_L_%03u", "Arm_R_%03u", "Finger.L.%u", "Finger.R.%u"};
  constexpr std::size_t kChainLength = 7, kRigSize = 4 + 4 * kChainLength;
  std::uint32_t null = 0, mesh = 0, bone = 0;
  for (std::size_t index = 0; index < size; ++index) {
    const std::size_t rig = index / kRigSize, place = index % kRigSize;
    if (place == 0) {
      null = scene.AddNull(FormatName("Rig (%u)", rig));
    } else if (place == 1) {
      mesh = scene.AddObject(FormatName("Body_%05u", rig), null);
    } else if (place == 2) {
      scene.AddLight(FormatName("Key Light %u", rig), null);
    } else if (place == 3) {
      scene.AddCamera(FormatName("Camera (%u)", rig), null);
    } else {
      const std::size_t chain = (place - 4) / kChainLength, link = (place - 4) % kChainLength;
      // Each chain's first bone hangs under the mesh, the others under the bone before.
      bone = scene.AddBone(mesh, FormatName(kChains[chain], link), link == 0 ? 0 : bone);
    }
  }
}

}  // namespace

const char* ShapeName(Shape shape) {
  switch (shape) {
    case Shape::Wide: return "wide";
    case Shape::Deep: return "deep";
    case Shape::Balanced: return "balanced";
    case Shape::Mixed: return "mixed";
  }
  return "?";
}

Scene MakeScene(Shape shape, std::size_t size) {
  Scene scene;
  if (size == 0) return scene;
  switch (shape) {
    case Shape::Wide: MakeWide(scene, size); break;
    case Shape::Deep: MakeDeep(scene, size); break;
    case Shape::Balanced: MakeBalanced(scene, size); break;
    case Shape::Mixed: MakeMixed(scene, size); break;
  }
  return scene;
}

const char* PickName(Pick pick) {
  switch (pick) {
    case Pick::One: return "one";
    case Pick::OnePercent: return "1%";
    case Pick::All: return "all";
    case Pick::None: return "none";
  }
  return "?";
}

std::vector<std::uint32_t> PickSelection(const Scene& scene, Pick pick) {
  const auto& items = scene.items();  // [0] is the root, not an item
  std::vector<std::uint32_t> selection;
  if (scene.size() == 0) return selection;
  switch (pick) {
    case Pick::One: selection.push_back(items[1 + scene.size() / 2].id); break;
    case Pick::OnePercent:
      for (std::size_t index = 1; index < items.size(); index += 100) selection.push_back(items[index].id);
      break;
    case Pick::All:
      selection.reserve(scene.size());
      for (std::size_t index = 1; index < items.size(); ++index) selection.push_back(items[index].id);
      break;
    case Pick::None: break;
  }
  return selection;
}

std::vector<std::string> RealisticNames(std::size_t count) {
  std::vector<std::string> names;
  names.reserve(count);
  for (std::size_t index = 0; index < count; ++index) names.push_back(NameFor(index));
  return names;
}

}  // namespace hostsim
