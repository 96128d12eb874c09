// The scene as an outliner shows it: items in tree order, each with its
// depth, and the kind a person reads in a row.
#ifndef QZ_HOSTSIM_SCENE_SCENE_TREE_H
#define QZ_HOSTSIM_SCENE_SCENE_TREE_H

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "hostsim/scene/scene.h"

namespace hostsim {

// Each item with its depth (0 at the top), parents before children in the
// host's child order; without recursion, as scene files can nest deeper than
// a stack.
template <typename Visit>
void WalkTree(const Scene& scene, Visit visit) {
  std::vector<std::pair<std::size_t, int>> pending;
  const auto pushChildren = [&](std::size_t parent, int depth) {
    const std::size_t first = pending.size();
    for (std::size_t child = scene.At(parent).firstChild; child != kNoItem; child = scene.At(child).nextSibling)
      pending.emplace_back(child, depth);
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(first), pending.end());
  };
  pushChildren(kNoItem, 0);
  while (!pending.empty()) {
    const auto [index, depth] = pending.back();
    pending.pop_back();
    visit(scene.At(index), depth);
    pushChildren(index, depth + 1);
  }
}

// "object" for a loaded object, "null" for a null object, else the kind.
inline const char* KindLabel(const Item& item) {
  if (item.kind == Kind::Object) return item.fileName.empty() ? "null" : "object";
  return KindName(item.kind);
}

}  // namespace hostsim

#endif  // QZ_HOSTSIM_SCENE_SCENE_TREE_H
