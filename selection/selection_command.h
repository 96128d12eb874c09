// How every command that acts on the current selection begins: its two
// services, then the reference kind from the first selected item.
#ifndef QZ_SELECTION_SELECTION_COMMAND_H
#define QZ_SELECTION_SELECTION_COMMAND_H

#include <cstdint>

#include "host/host_records.h"
#include "selection/selection_reader.h"

struct SelectionCommand {
  const ItemInfo* items;
  SelectionReader selection;
  std::uint32_t referenceKind;  // kind bits of selection entry 0
};

// Most commands ask for the item record first; the descendant walks ask for
// the interface record first. Both are asked for before either is tested.
enum class ServiceOrder { ItemInfoFirst, InterfaceInfoFirst };

// False when the command ends before it starts, with the activation's result
// in `result`: 2 for a missing service, 0 for an empty selection.
bool StartSelectionCommand(ServiceLookup lookup, ServiceOrder order, SelectionCommand& command, int& result);

#endif  // QZ_SELECTION_SELECTION_COMMAND_H
