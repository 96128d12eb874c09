// One step down, sideways or all the way up from every selected item.
//
// These commands walk the live selection list in place, so they read each entry
// afresh through the reader and never keep the list pointer.
#include "host/host_records.h"
#include "module/activation.h"
#include "module/commands.h"
#include "selection/command_line.h"
#include "selection/selection_command.h"
#include "selection/selection_reader.h"

namespace {

// Shared by the two child commands: they differ only in whether the first child
// replaces the selection and whether selected children are skipped.
void SendChildren(SelectionCommand& command, CommandLine& line, bool replaceSelection) {
  bool switchedToAdd = !replaceSelection;
  for (std::size_t index = 0;; ++index) {
    const ItemId entry = SelectedItem(command.selection, index);
    if (entry == 0) break;
    for (ItemId child = command.items->firstChild(entry); child != 0;
         child = command.items->nextChild(SelectedItem(command.selection, index), child)) {
      if (KindBits(child) != command.referenceKind) continue;
      WriteItemDigits(line, child);
      if (!replaceSelection && IsSelected(command.selection, child)) continue;
      SendLine(line);
      if (!switchedToAdd) {
        switchedToAdd = true;
        SetLinePrefix(line, kAddPrefix);
        // The "SelectItem" line may have shrunk the list under the walk.
        ForgetSelectionLength(command.selection);
      }
    }
  }
}

int RunChildCommand(ServiceLookup lookup, void* local, bool replaceSelection) {
  SelectionCommand command{};
  int result = kResultDone;
  if (!StartSelectionCommand(lookup, ServiceOrder::ItemInfoFirst, command, result)) return result;

  CommandLine line = StartCommandLine(local, replaceSelection ? kSelectPrefix : kAddPrefix);
  SendChildren(command, line, replaceSelection);
  return kResultDone;
}

}  // namespace

int SelectChildren(int /*version*/, ServiceLookup lookup, void* local, void* /*serverData*/) {
  return RunChildCommand(lookup, local, true);
}

int AddChildren(int /*version*/, ServiceLookup lookup, void* local, void* /*serverData*/) {
  return RunChildCommand(lookup, local, false);
}

int SelectSiblings(int /*version*/, ServiceLookup lookup, void* local, void* /*serverData*/) {
  SelectionCommand command{};
  int result = kResultDone;
  if (!StartSelectionCommand(lookup, ServiceOrder::ItemInfoFirst, command, result)) return result;
  CommandLine line = StartCommandLine(local, kAddPrefix);

  for (std::size_t index = 0;; ++index) {
    const ItemId entry = SelectedItem(command.selection, index);
    if (entry == 0) break;
    // A top-level item's parent is 0; the host lists the top-level items as its children.
    const ItemId parent = command.items->parent(entry);
    for (ItemId sibling = command.items->firstChild(parent); sibling != 0;
         sibling = command.items->nextChild(parent, sibling)) {
      if (KindBits(sibling) != command.referenceKind) continue;
      WriteItemDigits(line, sibling);
      if (!IsSelected(command.selection, sibling)) SendLine(line);
    }
  }
  return kResultDone;
}

int SelectAncestors(int /*version*/, ServiceLookup lookup, void* local, void* /*serverData*/) {
  SelectionCommand command{};
  int result = kResultDone;
  if (!StartSelectionCommand(lookup, ServiceOrder::ItemInfoFirst, command, result)) return result;
  CommandLine line = StartCommandLine(local, kAddPrefix);

  for (std::size_t index = 0;; ++index) {
    const ItemId entry = SelectedItem(command.selection, index);
    if (entry == 0) break;
    // The climb stops at the first parent of another kind, even if higher
    // ancestors are of the reference kind again.
    for (ItemId ancestor = command.items->parent(entry); ancestor != 0 && KindBits(ancestor) == command.referenceKind;
         ancestor = command.items->parent(ancestor)) {
      WriteItemDigits(line, ancestor);
      if (!IsSelected(command.selection, ancestor)) SendLine(line);
    }
  }
  return kResultDone;
}
