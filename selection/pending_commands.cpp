// Commands whose bodies are not written yet. They keep the activation
// contract's start, so a host sees the right answer when a service is missing.
#include "host/host_records.h"
#include "module/activation.h"
#include "module/commands.h"

namespace {

int LookUpBoth(ServiceLookup lookup, const char* firstService, const char* secondService) {
  const void* first = lookup(firstService, 0);
  const void* second = lookup(secondService, 0);
  return first == nullptr || second == nullptr ? kResultServiceMissing : kResultDone;
}

}  // namespace

int SelectParents(int /*version*/, ServiceLookup lookup, void* /*local*/, void* /*serverData*/) {
  return LookUpBoth(lookup, kItemInfoService, kInterfaceInfoService);
}

int AddParents(int /*version*/, ServiceLookup lookup, void* /*local*/, void* /*serverData*/) {
  return LookUpBoth(lookup, kItemInfoService, kInterfaceInfoService);
}

int SelectDescendants(int /*version*/, ServiceLookup lookup, void* /*local*/, void* /*serverData*/) {
  return LookUpBoth(lookup, kInterfaceInfoService, kItemInfoService);
}

int SelectHierarchies(int /*version*/, ServiceLookup lookup, void* /*local*/, void* /*serverData*/) {
  return LookUpBoth(lookup, kInterfaceInfoService, kItemInfoService);
}

int SelectAllNulls(int /*version*/, ServiceLookup lookup, void* /*local*/, void* /*serverData*/) {
  return LookUpBoth(lookup, kObjectInfoService, kItemInfoService);
}

int SelectAllLoadedObjects(int /*version*/, ServiceLookup lookup, void* /*local*/, void* /*serverData*/) {
  return LookUpBoth(lookup, kObjectInfoService, kItemInfoService);
}

int SelectByName(int /*version*/, ServiceLookup lookup, void* /*local*/, void* /*serverData*/) {
  return LookUpBoth(lookup, kItemInfoService, kMessageService);
}
