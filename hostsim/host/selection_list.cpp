#include "hostsim/host/selection_list.h"

namespace hostsim {

namespace {

// Poisoned lists kept per activation, counted in entries (8 MiB).
constexpr std::size_t kMaxRetiredEntries = std::size_t{1} << 20;

}  // namespace

void SelectionList::Retire() {
  for (std::size_t entry = 0; entry < count_; ++entry) list_[entry] = kStaleEntry;
  retiredEntries_ += count_ + 1;
  retired_.emplace_back(std::move(list_), count_ + 1);
  while (retiredEntries_ > kMaxRetiredEntries && retired_.size() > 1) {
    retiredEntries_ -= retired_.front().second;
    retired_.pop_front();
  }
}

}  // namespace hostsim
