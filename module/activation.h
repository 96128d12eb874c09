// What every command activation shares: the result codes the host reads and
// the typed service lookup.
#ifndef QZ_MODULE_ACTIVATION_H
#define QZ_MODULE_ACTIVATION_H

#include "host/host_records.h"

constexpr int kResultDone = 0;
constexpr int kResultServiceMissing = 2;

template <typename Record>
const Record* LookUpService(ServiceLookup lookup, const char* name) {
  return static_cast<const Record*>(lookup(name, 0));
}

#endif  // QZ_MODULE_ACTIVATION_H
