// Every object of one sort in the scene, whatever was selected before.
//
// The first object is selected unconditionally, so the "SelectItem" line clears
// the old selection even when no object qualifies; it is removed again at the
// end if it does not qualify itself.
#include <cstring>

#include "host/host_records.h"
#include "module/activation.h"
#include "module/commands.h"
#include "selection/command_line.h"

namespace {

using ObjectTest = bool (*)(const ObjectInfo* objects, ItemId object);

bool IsNullObject(const ObjectInfo* objects, ItemId object) { return objects->pointCount(object) == 0; }

// Objects loaded from a file carry a Windows path. A host that gives no name
// at all has no file to report.
bool IsLoadedFromFile(const ObjectInfo* objects, ItemId object) {
  const char* fileName = objects->fileName(object);
  return fileName != nullptr && std::strchr(fileName, '\\') != nullptr;
}

int SelectEveryObject(ServiceLookup lookup, void* local, ObjectTest qualifies) {
  const auto* objects = LookUpService<ObjectInfo>(lookup, kObjectInfoService);
  const auto* items = LookUpService<ItemInfo>(lookup, kItemInfoService);
  if (objects == nullptr || items == nullptr) return kResultServiceMissing;

  CommandLine line = StartCommandLine(local, kAddPrefix);
  SendFixedLine(line, kEditModeLines[kKindObject]);
  const ItemId first = items->first(kKindObject, 0);
  if (first == 0) return kResultDone;

  SendShortHexLine(line, kSelectPrefix, first);
  SetLinePrefix(line, kAddPrefix);
  for (ItemId object = items->next(first); object != 0; object = items->next(object)) {
    if (qualifies(objects, object)) SendItemLine(line, object);
  }
  if (!qualifies(objects, first)) SendShortHexLine(line, kRemovePrefix, first);
  return kResultDone;
}

}  // namespace

int SelectAllNulls(int /*version*/, ServiceLookup lookup, void* local, void* /*serverData*/) {
  return SelectEveryObject(lookup, local, IsNullObject);
}

int SelectAllLoadedObjects(int /*version*/, ServiceLookup lookup, void* local, void* /*serverData*/) {
  return SelectEveryObject(lookup, local, IsLoadedFromFile);
}
