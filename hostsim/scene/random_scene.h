// Seeded random scenes and selections: the same seed gives the same scene on
// every platform, so a failure found by validate can be saved and replayed.
#ifndef QZ_HOSTSIM_RANDOM_SCENE_H
#define QZ_HOSTSIM_RANDOM_SCENE_H

#include <cstdint>
#include <vector>

#include "hostsim/scene/scene.h"

namespace hostsim {

// The standard library's distributions differ between implementations; this
// one does not.
class SplitMix64 {
 public:
  explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next();
  std::uint64_t Below(std::uint64_t bound);  // 0 when bound is 0
  bool Chance(int percent) { return Below(100) < static_cast<std::uint64_t>(percent); }

 private:
  std::uint64_t state_;
};

// Up to 60 items of every kind: loaded and null objects, bones in chains,
// lights and cameras, parented across kinds, with repeated, dotted and empty
// names and object ids that leave gaps.
Scene RandomScene(std::uint64_t seed);

// A selection for the scene: empty, a few items in any order, or everything.
std::vector<std::uint32_t> RandomSelection(const Scene& scene, SplitMix64& random);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_RANDOM_SCENE_H
