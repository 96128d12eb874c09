// The generated scenes the benchmarks and the soak run on: exactly the size
// asked for, in the shape promised, and buildable at a million items (bone ids
// carry their object's low 16 bits, so too many objects with bones would clash).
#include "hostsim/scene/scene_shapes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using hostsim::Kind;
using hostsim::Pick;
using hostsim::Shape;

struct Outline {
  std::size_t depth = 0;         // levels, top-level items being level 1
  std::size_t mostChildren = 0;  // of any item, the scene root not counted
  std::size_t kinds[4] = {};
};

Outline OutlineOf(const hostsim::Scene& scene) {
  Outline outline;
  std::vector<std::size_t> depth(scene.items().size(), 0), children(scene.items().size(), 0);
  // The generators add parents before their children.
  for (std::size_t index = 1; index < scene.items().size(); ++index) {
    const hostsim::Item& item = scene.At(index);
    depth[index] = depth[item.parent] + 1;
    if (item.parent != hostsim::kNoItem) ++children[item.parent];
    outline.depth = std::max(outline.depth, depth[index]);
    ++outline.kinds[static_cast<int>(item.kind)];
  }
  outline.mostChildren = *std::max_element(children.begin(), children.end());
  return outline;
}

struct ShapeCase {
  Shape shape;
  std::size_t size;
  std::size_t depth, mostChildren, objects, lights, cameras, bones;
};

const ShapeCase kShapes[] = {
    {Shape::Wide, 1000, 2, 999, 1000, 0, 0, 0},
    {Shape::Deep, 2500, 1000, 1, 2500, 0, 0, 0},
    {Shape::Balanced, 1000, 5, 8, 1000, 0, 0, 0},
    // 31 whole rigs of 32 items, then a null, a mesh, a light, a camera and four bones.
    {Shape::Mixed, 1000, 9, 4, 64, 32, 32, 872},
    {Shape::Mixed, 1000000, 9, 4, 62500, 31250, 31250, 875000},
};

TEST(SceneShapes, EachShapeHasItsSizeDepthAndKinds) {
  for (const ShapeCase& c : kShapes) {
    SCOPED_TRACE(std::string(hostsim::ShapeName(c.shape)) + " " + std::to_string(c.size));
    const hostsim::Scene scene = hostsim::MakeScene(c.shape, c.size);
    ASSERT_EQ(scene.size(), c.size);
    const Outline outline = OutlineOf(scene);
    EXPECT_EQ(outline.depth, c.depth);
    EXPECT_EQ(outline.mostChildren, c.mostChildren);
    EXPECT_EQ(outline.kinds[0], c.objects);
    EXPECT_EQ(outline.kinds[1], c.lights);
    EXPECT_EQ(outline.kinds[2], c.cameras);
    EXPECT_EQ(outline.kinds[3], c.bones);
  }
}

TEST(SceneShapes, SelectionsTakeTheMiddleEveryHundredthOrEveryItem) {
  const hostsim::Scene scene = hostsim::MakeScene(Shape::Balanced, 1050);
  const std::vector<std::uint32_t> one = hostsim::PickSelection(scene, Pick::One);
  const std::vector<std::uint32_t> percent = hostsim::PickSelection(scene, Pick::OnePercent);
  const std::vector<std::uint32_t> all = hostsim::PickSelection(scene, Pick::All);
  EXPECT_EQ(one, std::vector<std::uint32_t>{0x10000000u + 525});
  ASSERT_EQ(percent.size(), 11u);
  EXPECT_EQ(percent.front(), 0x10000000u);
  EXPECT_EQ(percent.back(), 0x10000000u + 1000);
  ASSERT_EQ(all.size(), 1050u);
  EXPECT_EQ(all.front(), 0x10000000u);
  EXPECT_TRUE(hostsim::PickSelection(hostsim::Scene(), Pick::All).empty());
}

}  // namespace
