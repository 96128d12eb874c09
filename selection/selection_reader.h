// Reading the host's selection list by index.
//
// The list is never copied: every read fetches the list pointer from the
// interface record again, because a host may apply the command's own lines at
// once and move or rewrite the list in between. An index at or past the
// list's current terminator reads as 0, which ends every walk.
#ifndef QZ_SELECTION_SELECTION_READER_H
#define QZ_SELECTION_SELECTION_READER_H

#include <cstddef>

#include "host/host_records.h"

struct SelectionReader {
  const InterfaceInfo* interfaceInfo;
  // Entries known to stand before the terminator. Reads below it need no scan;
  // reads above it extend it, so a whole walk scans each entry once.
  std::size_t knownLength;
};

SelectionReader StartSelectionReader(const InterfaceInfo* interfaceInfo);

// Read once for every entry and for every child a child walk steps over, so
// it is made here, inline, rather than across a call.
inline ItemId SelectedItem(SelectionReader& reader, std::size_t index) {
  const ItemId* list = reader.interfaceInfo->selectedItems;
  if (list == nullptr) return 0;
  while (reader.knownLength <= index) {
    if (list[reader.knownLength] == 0) return 0;
    ++reader.knownLength;
  }
  return list[index];
}

// Entries before the terminator, by one pass over the list.
std::size_t CountSelected(SelectionReader& reader);

// After a line that replaces the selection the list may be shorter than the
// reader remembers; the next read checks it again from the start.
void ForgetSelectionLength(SelectionReader& reader);

inline bool IsSelected(const SelectionReader& reader, ItemId item) {
  return (reader.interfaceInfo->itemFlags(item) & kItemFlagSelected) != 0;
}

#endif  // QZ_SELECTION_SELECTION_READER_H
