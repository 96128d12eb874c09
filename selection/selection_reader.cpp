#include "selection/selection_reader.h"

SelectionReader StartSelectionReader(const InterfaceInfo* interfaceInfo) { return {interfaceInfo, 0}; }

std::size_t CountSelected(SelectionReader& reader) {
  std::size_t count = 0;
  while (SelectedItem(reader, count) != 0) ++count;
  return count;
}

void ForgetSelectionLength(SelectionReader& reader) { reader.knownLength = 0; }
