// One level up from every selected item.
//
// Both commands collect all parents before they send anything: a "SelectItem"
// line replaces the very list they read from.
#include <cstddef>
#include <cstdint>

#include "host/host_records.h"
#include "module/activation.h"
#include "module/commands.h"
#include "selection/command_line.h"
#include "selection/scratch_array.h"
#include "selection/selection_command.h"
#include "selection/selection_reader.h"

namespace {

// Walks the entries from the last to the first, so the parent of the last
// selected item leads. Returns how many parents were kept.
std::size_t CollectParents(SelectionCommand& command, std::size_t selectedCount, bool skipSelected, ItemId* parents) {
  std::size_t kept = 0;
  for (std::size_t index = selectedCount; index-- > 0;) {
    const ItemId entry = SelectedItem(command.selection, index);
    if (entry == 0) continue;
    const ItemId parent = command.items->parent(entry);
    if (parent == 0 || KindBits(parent) != command.referenceKind) continue;
    if (skipSelected && IsSelected(command.selection, parent)) continue;
    parents[kept++] = parent;
  }
  return kept;
}

int RunParentCommand(ServiceLookup lookup, void* local, bool replaceSelection) {
  SelectionCommand command{};
  int result = kResultDone;
  if (!StartSelectionCommand(lookup, ServiceOrder::ItemInfoFirst, command, result)) return result;

  const std::size_t selectedCount = CountSelected(command.selection);
  const ScratchArray<ItemId> parents = NewItemArray(selectedCount);
  if (!parents) return kResultDone;
  // Selected parents are kept for a replacing command: the "SelectItem" line
  // would drop them from the selection otherwise.
  const std::size_t kept = CollectParents(command, selectedCount, !replaceSelection, parents.get());

  // Two lines in turn: each is written while the one before is sent, so the
  // host never reads digits stored a moment earlier (see WriteItemDigits).
  CommandLine lines[2] = {StartCommandLine(local, kAddPrefix), StartCommandLine(local, kAddPrefix)};
  std::size_t next = 0;
  if (replaceSelection && kept > 0) {
    SendShortHexLine(lines[1], kSelectPrefix, parents[next++]);
    SetLinePrefix(lines[1], kAddPrefix);
  }
  // A parent shared by several selected items goes out once for each of them.
  if (next < kept) WriteItemDigits(lines[next % 2], parents[next]);
  for (; next < kept; ++next) {
    if (next + 1 < kept) WriteItemDigits(lines[(next + 1) % 2], parents[next + 1]);
    SendLine(lines[next % 2]);
  }
  return kResultDone;
}

}  // namespace

int SelectParents(int /*version*/, ServiceLookup lookup, void* local, void* /*serverData*/) {
  return RunParentCommand(lookup, local, true);
}

int AddParents(int /*version*/, ServiceLookup lookup, void* local, void* /*serverData*/) {
  return RunParentCommand(lookup, local, false);
}
