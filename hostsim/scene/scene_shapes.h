// Generated scenes for benchmarks, soak runs and tests: the same shapes at any size,
// item for item the same on every run, so figures from different machines and
// days compare.
#ifndef QZ_HOSTSIM_SCENE_SCENE_SHAPES_H
#define QZ_HOSTSIM_SCENE_SCENE_SHAPES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hostsim/scene/scene.h"

namespace hostsim {

enum class Shape {
  Wide,      // one null with every other item as its child
  Deep,      // chains of kDeepChainLength items, each the child of the one before
  Balanced,  // every item has kBranching children, filled breadth first
  Mixed,     // rigs: a null holding a mesh with bone chains, a light and a camera
};
constexpr Shape kShapes[] = {Shape::Wide, Shape::Deep, Shape::Balanced, Shape::Mixed};
const char* ShapeName(Shape shape);

// Long enough that climbs and descents dominate; short enough that walks from
// every item of a chain, which cost the selection times the depth, still
// reach large scenes within the benchmark's budget.
constexpr std::size_t kDeepChainLength = 1000;
constexpr std::size_t kBranching = 8;

// Exactly `size` items. Objects alternate between loaded meshes and nulls so
// the scene-wide commands have both to find.
Scene MakeScene(Shape shape, std::size_t size);

enum class Pick {
  One,         // the item in the middle of scene order
  OnePercent,  // every hundredth item, the first one included
  All,         // every item, in scene order
  None,        // nothing: what a command costs before it visits anything
};
constexpr Pick kPicks[] = {Pick::One, Pick::OnePercent, Pick::All};  // None is not a workload
const char* PickName(Pick pick);

std::vector<std::uint32_t> PickSelection(const Scene& scene, Pick pick);

// Names as artists type them ("Arm_L_012", "Finger.R.3", "Null (2)"), the
// same sequence on every call.
std::vector<std::string> RealisticNames(std::size_t count);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_SCENE_SCENE_SHAPES_H
