// The host's plug-in records as this module and hostsim see them.
//
// Every record is a table of pointer-sized slots in the host's order; the
// offsets are part of the binary contract with the host, so each slot we use is
// pinned with a static_assert. Slots we never touch are kept as opaque
// placeholders only to hold the later ones at their offsets.
#ifndef QZ_HOST_HOST_RECORDS_H
#define QZ_HOST_HOST_RECORDS_H

#include <cstddef>
#include <cstdint>

// An item identifier as the host hands it out: pointer-sized, 0 means "none".
// Only the low 32 bits carry meaning for command lines and kind tests.
using ItemId = std::uintptr_t;

// Kind index used by the host's first-item function and the edit-mode lines.
using ItemKind = int;
constexpr ItemKind kKindObject = 0;
constexpr ItemKind kKindLight = 1;
constexpr ItemKind kKindCamera = 2;
constexpr ItemKind kKindBone = 3;

// Kind bits live in bits 28..31 of the low 32 bits of an identifier.
constexpr std::uint32_t kKindBitsMask = 0xF0000000u;
constexpr std::uint32_t kObjectKindBits = 0x10000000u;
constexpr std::uint32_t kLightKindBits = 0x20000000u;
constexpr std::uint32_t kCameraKindBits = 0x30000000u;
constexpr std::uint32_t kBoneKindBits = 0x40000000u;

constexpr std::uint32_t KindBits(ItemId item) { return static_cast<std::uint32_t>(item) & kKindBitsMask; }

// lookup(service name, 0) -> the service's record, or null when unavailable.
using ServiceLookup = void* (*)(const char* serviceName, int useMode);

using Opaque = void*;  // a slot we do not call or read

// Byte offset of a slot: a slot is one pointer wide.
constexpr std::size_t SlotOffset(std::size_t slot) { return sizeof(void*) * slot; }

// ---- "LW Item Info 3" ---------------------------------------------------

struct ItemInfo {
  ItemId (*first)(ItemKind kind, ItemId scope);         // 0
  ItemId (*next)(ItemId item);                          // 1
  ItemId (*firstChild)(ItemId parent);                  // 2
  ItemId (*nextChild)(ItemId parent, ItemId previous);  // 3
  ItemId (*parent)(ItemId item);                        // 4
  Opaque slot5;
  Opaque slot6;
  Opaque slot7;
  const char* (*name)(ItemId item);  // 8
};
static_assert(offsetof(ItemInfo, first) == SlotOffset(0), "item info slot 0");
static_assert(offsetof(ItemInfo, next) == SlotOffset(1), "item info slot 1");
static_assert(offsetof(ItemInfo, firstChild) == SlotOffset(2), "item info slot 2");
static_assert(offsetof(ItemInfo, nextChild) == SlotOffset(3), "item info slot 3");
static_assert(offsetof(ItemInfo, parent) == SlotOffset(4), "item info slot 4");
static_assert(offsetof(ItemInfo, name) == SlotOffset(8), "item info slot 8");

// ---- "LW Interface Info 3" ----------------------------------------------

constexpr unsigned kItemFlagSelected = 1u;

struct InterfaceInfo {
  Opaque slot0;
  const ItemId* selectedItems;         // 1: zero-terminated, entry 0 first
  unsigned (*itemFlags)(ItemId item);  // 2
};
static_assert(offsetof(InterfaceInfo, selectedItems) == SlotOffset(1), "interface slot 1");
static_assert(offsetof(InterfaceInfo, itemFlags) == SlotOffset(2), "interface slot 2");

// ---- "LW Object Info 4" -------------------------------------------------

struct ObjectInfo {
  const char* (*fileName)(ItemId object);  // 0
  int (*pointCount)(ItemId object);        // 1: 0 for a null object
};
static_assert(offsetof(ObjectInfo, fileName) == SlotOffset(0), "object info slot 0");
static_assert(offsetof(ObjectInfo, pointCount) == SlotOffset(1), "object info slot 1");

// ---- "Info Messages 2" --------------------------------------------------

struct MessageFuncs {
  void (*info)(const char* text, const char* secondText);  // 0
};
static_assert(offsetof(MessageFuncs, info) == SlotOffset(0), "messages slot 0");

// ---- Local record of a "LayoutGeneric" command ---------------------------

struct LayoutGeneric {
  Opaque slot0;
  Opaque slot1;
  void* context;  // 2
  Opaque slot3;
  Opaque slot4;
  int (*evaluate)(void* context, const char* commandLine);  // 5
};
static_assert(offsetof(LayoutGeneric, context) == SlotOffset(2), "generic slot 2");
static_assert(offsetof(LayoutGeneric, evaluate) == SlotOffset(5), "generic slot 5");

// ---- Service names ------------------------------------------------------

constexpr const char kItemInfoService[] = "LW Item Info 3";
constexpr const char kInterfaceInfoService[] = "LW Interface Info 3";
constexpr const char kObjectInfoService[] = "LW Object Info 4";
constexpr const char kMessageService[] = "Info Messages 2";
constexpr const char kPanelService[] = "LWPanelServices";

// ---- Module descriptor and command table --------------------------------

// Activation routine of a "LayoutGeneric" command.
using ActivateFunc = int (*)(int version, ServiceLookup lookup, void* local, void* serverData);

struct CommandTag {
  const char* text;
  std::uint32_t code;
};
static_assert(offsetof(CommandTag, code) == SlotOffset(1), "tag code after its text");
static_assert(sizeof(CommandTag) == SlotOffset(2), "tag entries are two slots");

struct CommandEntry {
  const char* className;
  const char* name;
  ActivateFunc activate;
  const CommandTag* tags;
};
static_assert(offsetof(CommandEntry, className) == SlotOffset(0), "entry slot 0");
static_assert(offsetof(CommandEntry, name) == SlotOffset(1), "entry slot 1");
static_assert(offsetof(CommandEntry, activate) == SlotOffset(2), "entry slot 2");
static_assert(offsetof(CommandEntry, tags) == SlotOffset(3), "entry slot 3");

constexpr std::uint32_t kModuleSync = 0x04121994u;
constexpr std::uint32_t kModuleInterfaceVersion = 3;
constexpr std::uint32_t kModuleMachineType = 0x300;

struct ModuleDescriptor {
  std::uint32_t sync;
  std::uint32_t version;
  std::uint32_t machine;
  void* (*startup)();
  void (*shutdown)(void* serverData);
  const CommandEntry* commands;
};
static_assert(sizeof(void*) != 8 || offsetof(ModuleDescriptor, startup) == 16, "startup on an 8-byte boundary");
static_assert(sizeof(void*) != 8 || offsetof(ModuleDescriptor, shutdown) == 24, "shutdown after startup");
static_assert(sizeof(void*) != 8 || offsetof(ModuleDescriptor, commands) == 32, "command table last");

constexpr const char kDescriptorSymbol[] = "_mod_descrip";
constexpr const char kCommandClass[] = "LayoutGeneric";

#endif  // QZ_HOST_HOST_RECORDS_H
