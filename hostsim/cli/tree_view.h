// The scene drawn as an indented tree, for people: one item a line, children
// under their parent, with the selection before and after a command marked.
#ifndef QZ_HOSTSIM_TREE_VIEW_H
#define QZ_HOSTSIM_TREE_VIEW_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "hostsim/cli/json_writer.h"
#include "hostsim/scene/scene.h"

namespace hostsim {

struct TreeStyle {
  bool color = false;  // ANSI colours: green newly selected, red deselected
  bool files = false;  // show the file of each loaded object
};

// Selections in host order (entry 0 first); a mark shows an item's place.
struct SelectionMarks {
  std::vector<std::uint32_t> before, after;
};

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

// Each selected id with its place, 1 for entry 0; the first place of an id
// listed twice.
std::unordered_map<std::uint32_t, std::size_t> PlacesInSelection(const std::vector<std::uint32_t>& selection);

std::string RenderTree(const Scene& scene, const SelectionMarks* marks, const TreeStyle& style);

// One column of places: "before", then one for each selection compared.
struct MarkColumn {
  std::string title;
  std::vector<std::uint32_t> selection;
};
// The first column is the selection before; with more than one after it, a
// star marks the rows where those disagree.
std::string RenderTree(const Scene& scene, const std::vector<MarkColumn>& columns, const TreeStyle& style);

// "object" for a loaded object, "null" for a null object, else the kind.
const char* KindLabel(const Item& item);

// The items in tree order with id, kind, name, parent and file.
void WriteItemsJson(JsonWriter& json, const Scene& scene, const SelectionMarks* marks);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_TREE_VIEW_H
