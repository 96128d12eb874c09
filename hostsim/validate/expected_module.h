// The module a file must be to pass for this one: its eleven commands in
// table order, the two services each asks for before anything else (in the
// order it asks), and the one tag every command carries. validate checks a
// file against it and the tests check the built module; one list keeps the
// two from drifting apart.
#ifndef QZ_HOSTSIM_VALIDATE_EXPECTED_MODULE_H
#define QZ_HOSTSIM_VALIDATE_EXPECTED_MODULE_H

#include <cstddef>
#include <cstdint>

#include "host/host_records.h"

namespace hostsim {

struct ExpectedCommand {
  const char* name;
  // A command answers 2, sending and showing nothing, when either is missing.
  const char* startServices[2];
};

// Not inline: the service names it points at are each translation unit's
// own, so each unit keeps its own small copy of the table too.
constexpr ExpectedCommand kExpectedCommands[] = {
    {"QZ_Sel_Child", {kItemInfoService, kInterfaceInfoService}},
    {"QZ_Sel_Parent", {kItemInfoService, kInterfaceInfoService}},
    {"QZ_Sel_Descendant", {kInterfaceInfoService, kItemInfoService}},
    {"QZ_Sel_Hierarchy", {kInterfaceInfoService, kItemInfoService}},
    {"QZ_Sel_Sibling", {kItemInfoService, kInterfaceInfoService}},
    {"QZ_Sel_Throwback", {kItemInfoService, kInterfaceInfoService}},
    {"QZ_Sel_AllNulls", {kObjectInfoService, kItemInfoService}},
    {"QZ_Sel_AllObjects", {kObjectInfoService, kItemInfoService}},
    {"QZ_Add_Child", {kItemInfoService, kInterfaceInfoService}},
    {"QZ_Add_Parent", {kItemInfoService, kInterfaceInfoService}},
    {"QZ_Sel_ByName", {kItemInfoService, kMessageService}},
};

constexpr std::size_t kExpectedCommandCount = sizeof kExpectedCommands / sizeof kExpectedCommands[0];

constexpr char kExpectedTag[] = "DArover";
constexpr std::uint32_t kExpectedTagCode = 0x00020000u;

}  // namespace hostsim

#endif  // QZ_HOSTSIM_VALIDATE_EXPECTED_MODULE_H
