// The module's one public face: the descriptor the host finds by name, and the
// command table it leads to.
#include "host/host_records.h"
#include "module/commands.h"

// The host finds the descriptor only by its exported name; nothing in the
// module refers to it. Link-time optimisation does not read the export
// definition, so without `used` it drops the descriptor and the export is left
// pointing outside the module.
#if defined(_WIN32) && defined(__GNUC__)
#define QZ_EXPORT __attribute__((used))  // exported through the .def file, which also fixes the ordinal
#elif defined(_WIN32)
#define QZ_EXPORT  // exported through the .def file, which also fixes the ordinal
#else
#define QZ_EXPORT __attribute__((visibility("default"), used))
#endif

namespace {

// The host reads the tag code; every command carries the same one.
const CommandTag kCommandTags[] = {
    {"DArover", 0x00020000u},
    {nullptr, 0},
};

const CommandEntry kCommandTable[] = {
    {kCommandClass, "QZ_Sel_Child", SelectChildren, kCommandTags},
    {kCommandClass, "QZ_Sel_Parent", SelectParents, kCommandTags},
    {kCommandClass, "QZ_Sel_Descendant", SelectDescendants, kCommandTags},
    {kCommandClass, "QZ_Sel_Hierarchy", SelectHierarchies, kCommandTags},
    {kCommandClass, "QZ_Sel_Sibling", SelectSiblings, kCommandTags},
    {kCommandClass, "QZ_Sel_Throwback", SelectAncestors, kCommandTags},
    {kCommandClass, "QZ_Sel_AllNulls", SelectAllNulls, kCommandTags},
    {kCommandClass, "QZ_Sel_AllObjects", SelectAllLoadedObjects, kCommandTags},
    {kCommandClass, "QZ_Add_Child", AddChildren, kCommandTags},
    {kCommandClass, "QZ_Add_Parent", AddParents, kCommandTags},
    {kCommandClass, "QZ_Sel_ByName", SelectByName, kCommandTags},
    {nullptr, nullptr, nullptr, nullptr},
};

// The host only needs a non-null token back; the value carries no meaning.
void* ModuleStartup() { return reinterpret_cast<void*>(std::uintptr_t{4}); }  // NOLINT(performance-no-int-to-ptr)

void ModuleShutdown(void* /*serverData*/) {}

}  // namespace

// The host looks this symbol up by its exact name.
extern "C" QZ_EXPORT const ModuleDescriptor _mod_descrip = {
    kModuleSync, kModuleInterfaceVersion, kModuleMachineType, ModuleStartup, ModuleShutdown, kCommandTable,
};
