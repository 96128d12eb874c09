// Parent commands: not written yet. They keep the activation
// contract's start, so a host sees the right answer when a service is missing.
#include "host/host_records.h"
#include "module/activation.h"
#include "module/commands.h"

int SelectParents(int /*version*/, ServiceLookup lookup, void* /*local*/, void* /*serverData*/) {
  const void* first = lookup(kItemInfoService, 0);
  const void* second = lookup(kInterfaceInfoService, 0);
  return first == nullptr || second == nullptr ? kResultServiceMissing : kResultDone;
}

int AddParents(int /*version*/, ServiceLookup lookup, void* /*local*/, void* /*serverData*/) {
  const void* first = lookup(kItemInfoService, 0);
  const void* second = lookup(kInterfaceInfoService, 0);
  return first == nullptr || second == nullptr ? kResultServiceMissing : kResultDone;
}
