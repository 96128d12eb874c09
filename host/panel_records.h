// The host's panel records as the by-name panel and hostsim see them.
//
// As with the scene records, every slot and field we touch sits at a byte
// offset the host fixes, so each one is pinned with a static_assert.
#ifndef QZ_HOST_PANEL_RECORDS_H
#define QZ_HOST_PANEL_RECORDS_H

#include <cstddef>
#include <cstdint>

#include "host/host_records.h"

using PanelId = void*;  // the host's handle of one panel

// Type codes of a control value record.
constexpr std::int32_t kTextValue = 1;
constexpr std::int32_t kIntegerValue = 2;

// One attribute value passed to or read from a control. Pointer attributes are
// read from `pointer` whatever the type code says.
struct ControlValue {
  std::int32_t type;      // kTextValue or kIntegerValue
  std::int32_t integer;   // integer value
  void* pointer;          // pointer value, or the text buffer
  std::int32_t capacity;  // text: the buffer's size, terminator included
};
static_assert(offsetof(ControlValue, type) == 0, "value type code");
static_assert(offsetof(ControlValue, integer) == 4, "integer value");
static_assert(offsetof(ControlValue, pointer) == 8, "pointer value and text buffer");
static_assert(sizeof(void*) != 8 || offsetof(ControlValue, capacity) == 16, "text capacity");

// Handed to "add control". The words after the type code mean something
// different for each control type, so they are named by position.
struct ControlDescriptor {
  std::int32_t type;   // 0: the control type code
  std::int32_t word4;  // 4: edit width; border: 1
  union {
    const char* const* items;  // choice: item texts, ended by a null pointer
    std::int32_t word;         // border: 0
  } at8;
  std::int32_t word16;  // 16: choice: 0
};
static_assert(offsetof(ControlDescriptor, type) == 0, "descriptor type code");
static_assert(offsetof(ControlDescriptor, word4) == 4, "descriptor byte 4");
static_assert(offsetof(ControlDescriptor, at8) == 8, "descriptor byte 8");
static_assert(sizeof(void*) != 8 || offsetof(ControlDescriptor, word16) == 16, "descriptor byte 16");

struct PanelControl;

using ControlDrawFunc = void (*)(PanelControl* control, void* userData, int drawMode);
using PanelKeyFunc = int (*)(PanelId panel, void* userData, std::uint32_t keyCode);
using PanelOpenFunc = void (*)(PanelId panel, void* userData);

// What "add control" returns: the control is its own record.
struct PanelControl {
  void (*draw)(PanelControl* control, int drawMode);                  // 0
  void (*get)(PanelControl* control, int code, ControlValue* value);  // 1
  void (*set)(PanelControl* control, int code, ControlValue* value);  // 2
};
static_assert(offsetof(PanelControl, draw) == SlotOffset(0), "control slot 0");
static_assert(offsetof(PanelControl, get) == SlotOffset(1), "control slot 1");
static_assert(offsetof(PanelControl, set) == SlotOffset(2), "control slot 2");

// "LWPanelServices". Slots 11 and 12 are fields the module writes, not calls.
struct PanelServices {
  PanelId (*create)(const char* title, void* data);  // 0
  void (*destroy)(PanelId panel);                    // 1
  int (*open)(PanelId panel, int flags);             // 2
  Opaque slot3;
  Opaque slot4;
  void (*close)(PanelId panel);  // 5
  Opaque slot6;
  void (*set)(PanelId panel, int code, void* value);  // 7
  PanelControl* (*addControl)(PanelId panel, const char* typeName, ControlDescriptor* descriptor,
                              const char* label);  // 8
  Opaque slot9;
  Opaque slot10;
  void* userData;        // 11
  ServiceLookup lookup;  // 12
};
static_assert(offsetof(PanelServices, create) == SlotOffset(0), "panel slot 0");
static_assert(offsetof(PanelServices, destroy) == SlotOffset(1), "panel slot 1");
static_assert(offsetof(PanelServices, open) == SlotOffset(2), "panel slot 2");
static_assert(offsetof(PanelServices, close) == SlotOffset(5), "panel slot 5");
static_assert(offsetof(PanelServices, set) == SlotOffset(7), "panel slot 7");
static_assert(offsetof(PanelServices, addControl) == SlotOffset(8), "panel slot 8");
static_assert(offsetof(PanelServices, userData) == SlotOffset(11), "panel slot 11");
static_assert(offsetof(PanelServices, lookup) == SlotOffset(12), "panel slot 12");

// ---- Codes the by-name panel uses ----------------------------------------

constexpr const char kChoiceControlName[] = "ChoiceControl";
constexpr const char kEditControlName[] = "EditControl";
constexpr const char kBorderControlName[] = "BorderControl";
constexpr std::int32_t kChoiceControlType = 9;
constexpr std::int32_t kEditControlType = 1;
constexpr std::int32_t kBorderControlType = 19;

// Control attribute codes.
constexpr int kControlX = 0;
constexpr int kControlY = 1;
constexpr int kControlValue = 4;
constexpr int kControlDrawFunc = 13;
constexpr int kControlUserData = 16;
constexpr int kControlActivate = 21;  // typing goes to this control

// Panel attribute codes.
constexpr int kPanelX = 0;
constexpr int kPanelY = 1;
constexpr int kPanelWidth = 2;
constexpr int kPanelHeight = 3;
constexpr int kPanelOpenFunc = 9;
constexpr int kPanelUserData = 12;
constexpr int kPanelKeyFunc = 13;

constexpr int kPanelOpenFlags = 3;
constexpr int kDrawNormal = 0;

#endif  // QZ_HOST_PANEL_RECORDS_H
