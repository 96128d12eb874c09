// The selection list the host hands out through the interface record:
// zero-terminated, entry 0 first, in a fresh array whenever it is replaced.
// A replaced list stays readable, poisoned, until the activation returns, so
// a module that kept an old list pointer reads entries the host can name as
// stale rather than freed memory.
#ifndef QZ_HOSTSIM_HOST_SELECTION_LIST_H
#define QZ_HOSTSIM_HOST_SELECTION_LIST_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <utility>

#include "host/host_records.h"

namespace hostsim {

// What every entry of a replaced list reads as; its low 32 bits carry no kind
// and name no item.
constexpr ItemId kStaleEntry = static_cast<ItemId>(0xDEADDEADDEADDEADull);
constexpr std::uint32_t kStaleLow = 0xDEADDEADu;

class SelectionList {
 public:
  const ItemId* entries() const { return list_.get(); }
  std::size_t capacity() const { return capacity_; }  // entries before the terminator's slot

  // A fresh list of `count` entries, entry(i) each, with room for `capacity`.
  // While `keepReplaced`, the list it replaces is kept, poisoned.
  template <typename Entry>
  void Replace(std::size_t count, std::size_t capacity, bool keepReplaced, Entry entry) {
    std::unique_ptr<ItemId[]> fresh(new ItemId[capacity + 1]);
    for (std::size_t index = 0; index < count; ++index) fresh[index] = entry(index);
    fresh[count] = 0;
    if (list_ && keepReplaced) Retire();
    list_ = std::move(fresh);
    count_ = count;
    capacity_ = capacity;
  }

  // Adds an entry in place; there must be room for it.
  void Append(ItemId id) {
    list_[count_++] = id;
    list_[count_] = 0;
  }

  // When the activation returns, no module can still hold a replaced list.
  void ForgetReplaced() {
    retired_.clear();
    retiredEntries_ = 0;
  }

 private:
  void Retire();

  std::unique_ptr<ItemId[]> list_;
  std::size_t count_ = 0;
  std::size_t capacity_ = 0;
  std::deque<std::pair<std::unique_ptr<ItemId[]>, std::size_t>> retired_;
  std::size_t retiredEntries_ = 0;
};

}  // namespace hostsim

#endif  // QZ_HOSTSIM_HOST_SELECTION_LIST_H
