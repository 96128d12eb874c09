#include "selection/selection_command.h"

#include "module/activation.h"

bool StartSelectionCommand(ServiceLookup lookup, ServiceOrder order, SelectionCommand& command, int& result) {
  const ItemInfo* items = nullptr;
  const InterfaceInfo* interfaceInfo = nullptr;
  if (order == ServiceOrder::ItemInfoFirst) {
    items = LookUpService<ItemInfo>(lookup, kItemInfoService);
    interfaceInfo = LookUpService<InterfaceInfo>(lookup, kInterfaceInfoService);
  } else {
    interfaceInfo = LookUpService<InterfaceInfo>(lookup, kInterfaceInfoService);
    items = LookUpService<ItemInfo>(lookup, kItemInfoService);
  }
  if (items == nullptr || interfaceInfo == nullptr) {
    result = kResultServiceMissing;
    return false;
  }
  command.items = items;
  command.selection = StartSelectionReader(interfaceInfo);
  const ItemId first = SelectedItem(command.selection, 0);
  result = kResultDone;
  if (first == 0) return false;
  command.referenceKind = KindBits(first);
  return true;
}
