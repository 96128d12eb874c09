// Heap arrays a command takes for its own scratch work and gives back before it
// returns.
//
// The host must never see an exception or an abort from us, so a refused
// allocation comes back as null and the command ends quietly instead.
#ifndef QZ_SELECTION_SCRATCH_ARRAY_H
#define QZ_SELECTION_SCRATCH_ARRAY_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "host/host_records.h"

template <typename Element>
using ScratchArray = std::unique_ptr<Element[]>;

// Room for count elements, left uninitialised; null when the heap refuses or
// the size cannot even be expressed.
template <typename Element>
ScratchArray<Element> NewScratchArray(std::size_t count) {
  if (count > SIZE_MAX / sizeof(Element)) return nullptr;
  return ScratchArray<Element>(new (std::nothrow) Element[count]);
}

// The collecting commands keep one slot beyond the selection's length, as the
// list itself does for its terminator.
inline ScratchArray<ItemId> NewItemArray(std::size_t selectedCount) {
  if (selectedCount == SIZE_MAX) return nullptr;
  return NewScratchArray<ItemId>(selectedCount + 1);
}

#endif  // QZ_SELECTION_SCRATCH_ARRAY_H
