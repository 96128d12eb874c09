// The scene drawn as an indented tree, for people: one item a line, children
// under their parent, with the selection before and after a command marked.
#ifndef QZ_HOSTSIM_TREE_VIEW_H
#define QZ_HOSTSIM_TREE_VIEW_H

#include <cstdint>
#include <string>
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

std::string RenderTree(const Scene& scene, const SelectionMarks* marks, const TreeStyle& style);

// "object" for a loaded object, "null" for a null object, else the kind.
const char* KindLabel(const Item& item);

// The items in tree order with id, kind, name, parent and file.
void WriteItemsJson(JsonWriter& json, const Scene& scene, const SelectionMarks* marks);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_TREE_VIEW_H
