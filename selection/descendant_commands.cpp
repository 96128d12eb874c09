// Whole subtrees of the selection, and whole hierarchies it belongs to.
//
// The walk keeps its levels in a heap array rather than in recursion: rigs and
// generated null chains run deep enough to overflow the host's stack, and a
// module must not take the host down with it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "host/host_records.h"
#include "module/activation.h"
#include "module/commands.h"
#include "selection/command_line.h"
#include "selection/scratch_array.h"
#include "selection/selection_command.h"
#include "selection/selection_reader.h"

namespace {

// The host steps to a child's next sibling only given the parent as well, so a
// suspended level keeps both, and nothing else.
struct WalkLevel {
  ItemId item;
  ItemId child;
};

struct WalkStack {
  ScratchArray<WalkLevel> levels;
  std::size_t capacity = 0;
  std::size_t depth = 0;
};

// Most hierarchies are a handful of levels deep; deep chains grow from here.
constexpr std::size_t kFirstWalkCapacity = 64;

bool MakeRoomForLevel(WalkStack& stack) {
  if (stack.depth < stack.capacity) return true;
  if (stack.capacity > SIZE_MAX / 2) return false;
  const std::size_t grown = stack.capacity == 0 ? kFirstWalkCapacity : stack.capacity * 2;
  ScratchArray<WalkLevel> larger = NewScratchArray<WalkLevel>(grown);
  if (!larger) return false;
  std::copy(stack.levels.get(), stack.levels.get() + stack.depth, larger.get());
  stack.levels = std::move(larger);
  stack.capacity = grown;
  return true;
}

// Depth first, each item before its children, children in the host's order;
// the same host calls in the same order as a recursive walk would make. No
// flags are asked, so selected items are sent again. Returns false when the
// walk could not go deeper for want of memory: the command must send no more.
// The stack is empty again when the walk returns true; one stack serves every
// walk of a command, so a command of many small walks allocates once.
bool AddDescendants(const SelectionCommand& command, ItemId item, CommandLine& line, WalkStack& stack) {
  ItemId parent = item;
  ItemId child = command.items->firstChild(item);
  for (;;) {
    if (child == 0) {
      if (stack.depth == 0) return true;
      const WalkLevel finished = stack.levels[--stack.depth];
      parent = finished.item;
      child = command.items->nextChild(finished.item, finished.child);
      continue;
    }
    // A child of another kind hides its whole subtree, reference-kind items included.
    if (KindBits(child) != command.referenceKind) {
      child = command.items->nextChild(parent, child);
      continue;
    }
    // Room first, so no item is named whose subtree the walk cannot reach.
    if (!MakeRoomForLevel(stack)) return false;
    SendItemLine(line, child);
    stack.levels[stack.depth++] = {parent, child};
    parent = child;
    child = command.items->firstChild(child);
  }
}

int CompareItemIds(ItemId a, ItemId b) {
  if (a < b) return -1;
  return a > b ? 1 : 0;
}

// Below this many roots a comparison sort is quicker than clearing the counts.
constexpr std::size_t kFewRoots = 256;

// Ascending, by one stable counting pass per byte from the lowest up, into
// `spare` and back; a byte every id shares takes no pass. A whole rig scene
// selected has nearly as many roots as items, where a comparison sort's
// n log n steps and mispredicted branches outweighed the walk itself. Returns
// whichever of the two arrays holds the result.
ItemId* SortItemIds(ItemId* ids, ItemId* spare, std::size_t count) {
  if (count < kFewRoots) {
    std::sort(ids, ids + count, [](ItemId a, ItemId b) { return CompareItemIds(a, b) < 0; });
    return ids;
  }
  ItemId varying = 0;
  for (std::size_t index = 1; index < count; ++index) varying |= ids[index] ^ ids[0];
  for (unsigned shift = 0; shift < 8 * sizeof(ItemId); shift += 8) {
    if (((varying >> shift) & 0xFFu) == 0) continue;
    std::size_t starts[256] = {};
    for (std::size_t index = 0; index < count; ++index) ++starts[(ids[index] >> shift) & 0xFFu];
    std::size_t next = 0;
    for (std::size_t& start : starts) next += std::exchange(start, next);
    for (std::size_t index = 0; index < count; ++index) spare[starts[(ids[index] >> shift) & 0xFFu]++] = ids[index];
    std::swap(ids, spare);
  }
  return ids;
}

// The highest item reached through an unbroken chain of reference-kind
// parents; an item under another kind, or at the top, is its own root whatever
// its own kind.
ItemId FindRoot(const SelectionCommand& command, ItemId item) {
  for (ItemId parent = command.items->parent(item); parent != 0 && KindBits(parent) == command.referenceKind;
       parent = command.items->parent(parent)) {
    item = parent;
  }
  return item;
}

// Entries are walked independently and read afresh: a host that applies the
// additions at once hands the walk its own additions as further entries.
void AddSelectedDescendants(SelectionCommand& command, CommandLine& line) {
  WalkStack stack;
  for (std::size_t index = 0;; ++index) {
    const ItemId entry = SelectedItem(command.selection, index);
    if (entry == 0 || !AddDescendants(command, entry, line, stack)) return;
  }
}

void SelectWholeHierarchies(SelectionCommand& command, CommandLine& line) {
  // All roots are found before the first line replaces the list they come from.
  const std::size_t selectedCount = CountSelected(command.selection);
  ScratchArray<ItemId> roots = NewItemArray(selectedCount);
  if (!roots) return;
  std::size_t rootCount = 0;
  for (std::size_t index = selectedCount; index-- > 0;) {
    const ItemId entry = SelectedItem(command.selection, index);
    if (entry == 0) continue;
    // Neighbouring entries tend to share a hierarchy: a root just kept is not
    // kept again, which leaves the sort less to do and changes nothing it yields.
    const ItemId root = FindRoot(command, entry);
    if (rootCount == 0 || roots[rootCount - 1] != root) roots[rootCount++] = root;
  }
  roots[rootCount] = 0;

  ScratchArray<ItemId> spare = NewItemArray(selectedCount);
  if (!spare) return;
  ItemId* const sorted = SortItemIds(roots.get(), spare.get(), rootCount);
  // Several selected items of one hierarchy share its root; it is walked once.
  *std::unique(sorted, sorted + rootCount) = 0;
  (sorted == roots.get() ? spare : roots).reset();

  WalkStack stack;
  for (const ItemId* root = sorted; *root != 0; ++root) {
    if (root == sorted) {
      SendShortHexLine(line, kSelectPrefix, *root);
      SetLinePrefix(line, kAddPrefix);
    } else {
      SendItemLine(line, *root);
    }
    if (!AddDescendants(command, *root, line, stack)) return;
  }
}

// Unlike the other selection commands, these two ask for the interface record
// before the item record.
// The walks need the item record, the selection and the reference kind; the
// host's local record travels in the command line the walk sends through.
int RunWalkCommand(ServiceLookup lookup, void* local, void (*walk)(SelectionCommand&, CommandLine&)) {
  SelectionCommand command{};
  int result = kResultDone;
  if (!StartSelectionCommand(lookup, ServiceOrder::InterfaceInfoFirst, command, result)) return result;

  CommandLine line = StartCommandLine(local, kAddPrefix);
  walk(command, line);
  return kResultDone;
}

}  // namespace

int SelectDescendants(int /*version*/, ServiceLookup lookup, void* local, void* /*serverData*/) {
  return RunWalkCommand(lookup, local, AddSelectedDescendants);
}

int SelectHierarchies(int /*version*/, ServiceLookup lookup, void* local, void* /*serverData*/) {
  return RunWalkCommand(lookup, local, SelectWholeHierarchies);
}
