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

#include "hostsim/scene/json_writer.h"
#include "hostsim/scene/scene.h"
#include "hostsim/scene/scene_tree.h"

namespace hostsim {

struct TreeStyle {
  bool color = false;  // ANSI colours: green newly selected, red deselected
  bool files = false;  // show the file of each loaded object
};

// Selections in host order (entry 0 first); a mark shows an item's place.
struct SelectionMarks {
  std::vector<std::uint32_t> before, after;
};

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

// The items in tree order with id, kind, name, parent and file.
void WriteItemsJson(JsonWriter& json, const Scene& scene, const SelectionMarks* marks);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_TREE_VIEW_H
