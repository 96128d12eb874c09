#include "selection/selection_reader.h"

SelectionReader StartSelectionReader(const InterfaceInfo* interfaceInfo) { return {interfaceInfo, 0}; }

ItemId SelectedItem(SelectionReader& reader, std::size_t index) {
  const ItemId* list = reader.interfaceInfo->selectedItems;
  if (list == nullptr) return 0;
  while (reader.knownLength <= index) {
    if (list[reader.knownLength] == 0) return 0;
    ++reader.knownLength;
  }
  return list[index];
}

std::size_t CountSelected(SelectionReader& reader) {
  std::size_t count = 0;
  while (SelectedItem(reader, count) != 0) ++count;
  return count;
}

void ForgetSelectionLength(SelectionReader& reader) { reader.knownLength = 0; }

bool IsSelected(const SelectionReader& reader, ItemId item) {
  return (reader.interfaceInfo->itemFlags(item) & kItemFlagSelected) != 0;
}
