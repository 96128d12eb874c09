// Activation routines of the eleven commands, in the order of the table.
#ifndef QZ_MODULE_COMMANDS_H
#define QZ_MODULE_COMMANDS_H

#include "host/host_records.h"

int SelectChildren(int version, ServiceLookup lookup, void* local, void* serverData);
int SelectParents(int version, ServiceLookup lookup, void* local, void* serverData);
int SelectDescendants(int version, ServiceLookup lookup, void* local, void* serverData);
int SelectHierarchies(int version, ServiceLookup lookup, void* local, void* serverData);
int SelectSiblings(int version, ServiceLookup lookup, void* local, void* serverData);
int SelectAncestors(int version, ServiceLookup lookup, void* local, void* serverData);
int SelectAllNulls(int version, ServiceLookup lookup, void* local, void* serverData);
int SelectAllLoadedObjects(int version, ServiceLookup lookup, void* local, void* serverData);
int AddChildren(int version, ServiceLookup lookup, void* local, void* serverData);
int AddParents(int version, ServiceLookup lookup, void* local, void* serverData);
int SelectByName(int version, ServiceLookup lookup, void* local, void* serverData);

#endif  // QZ_MODULE_COMMANDS_H
