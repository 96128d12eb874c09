// Where the by-name command looks, and the per-kind walk that selects.
#include "byname/name_search.h"

#include <cstring>
#include <new>

#include "byname/wildcard_match.h"
#include "module/activation.h"
#include "selection/command_line.h"
#include "selection/selection_reader.h"

namespace {

// Patterns from the panel are at most 127 bytes, so their object part always
// fits here; only a longer pattern needs the heap.
constexpr std::size_t kObjectPartCapacity = 128;

// A host that gives no name is taken to mean an unnamed item.
const char* NameOf(const ItemInfo* items, ItemId item) {
  const char* name = items->name(item);
  return name != nullptr ? name : "";
}

// The host numbers a bone after its object: the low 16 bits are the object's.
// The bits above the low 32 are the host's own, so they are kept as given.
ItemId ObjectOfBone(ItemId bone) {
  const ItemId hostBits = bone & ~ItemId{0xFFFFFFFFu};
  return hostBits | (bone & 0xFFFFu) | kObjectKindBits;
}

// Without the interface service there is no selection to consult, which the
// search treats like a selection that starts with no bone.
ItemId FirstSelected(ServiceLookup lookup) {
  const auto* interfaceInfo = LookUpService<InterfaceInfo>(lookup, kInterfaceInfoService);
  if (interfaceInfo == nullptr) return 0;
  SelectionReader selection = StartSelectionReader(interfaceInfo);
  return SelectedItem(selection, 0);
}

// Objects in scene order; stops at the first whose bones match.
int SearchBonesOfEveryObject(const LayoutGeneric* local, const ItemInfo* items, const char* pattern) {
  for (ItemId object = items->first(kKindObject, 0); object != 0; object = items->next(object)) {
    if (SelectByPattern(local, items, kKindBone, object, pattern)) return 1;
  }
  return 0;
}

// "object.bone": objects whose names match the part before the first dot,
// bones matching everything after it, dots included.
int SearchBonesOfMatchingObjects(const LayoutGeneric* local, const ItemInfo* items, const char* pattern,
                                 const char* dot) {
  const std::size_t objectLength = static_cast<std::size_t>(dot - pattern);
  // Cutting the object part short would let it match names it does not, so a
  // part too long for the buffer gets one of its own size instead.
  char fixedPart[kObjectPartCapacity];
  char* objectPart = objectLength < sizeof fixedPart ? fixedPart : new (std::nothrow) char[objectLength + 1];
  if (objectPart == nullptr) return 0;
  std::memcpy(objectPart, pattern, objectLength);
  objectPart[objectLength] = '\0';
  const char* bonePart = dot + 1;

  int found = 0;
  for (ItemId object = items->first(kKindObject, 0); object != 0; object = items->next(object)) {
    if (!WildcardMatch(NameOf(items, object), objectPart)) continue;
    // Only objects that have bones switch the host to editing bones.
    if (items->first(kKindBone, object) == 0) continue;
    found = SelectByPattern(local, items, kKindBone, object, bonePart);
    if (found) break;  // later objects are not even stepped onto
  }
  if (objectPart != fixedPart) delete[] objectPart;
  return found;
}

}  // namespace

int SelectByPattern(const LayoutGeneric* local, const ItemInfo* items, ItemKind kind, ItemId scope,
                    const char* pattern) {
  // The kind comes from a panel control the host fills; anything but the four
  // kinds has no edit mode and no items to match.
  if (kind < kKindObject || kind > kKindBone) return 0;
  CommandLine line{local, {}, nullptr};
  // The host switches modes even when nothing matches, as the user would expect
  // after asking for that kind.
  SendFixedLine(line, kEditModeLines[kind]);

  int matched = 0;
  for (ItemId item = items->first(kind, scope); item != 0; item = items->next(item)) {
    if (!WildcardMatch(NameOf(items, item), pattern)) continue;
    // Most objects of a bone search have no bone that matches: the prefix is
    // written only once there is a line to send.
    if (!matched) SetLinePrefix(line, kSelectPrefix);
    SendItemLine(line, item);
    if (!matched) {
      matched = 1;
      SetLinePrefix(line, kAddPrefix);
    }
  }
  return matched;
}

int SearchByName(const LayoutGeneric* local, const ItemInfo* items, ServiceLookup lookup, const char* pattern,
                 ItemKind kind) {
  const char* dot = std::strchr(pattern, '.');
  if (dot != nullptr) return SearchBonesOfMatchingObjects(local, items, pattern, dot);
  if (kind != kKindBone) return SelectByPattern(local, items, kind, 0, pattern);

  // Read only now, after the panel closed: the bone selected first at the
  // moment of confirmation names the one object to search.
  const ItemId first = FirstSelected(lookup);
  if (KindBits(first) == kBoneKindBits) return SelectByPattern(local, items, kKindBone, ObjectOfBone(first), pattern);
  return SearchBonesOfEveryObject(local, items, pattern);
}
