// Selecting items whose names match a wildcard pattern.
#ifndef QZ_BYNAME_NAME_SEARCH_H
#define QZ_BYNAME_NAME_SEARCH_H

#include "host/host_records.h"

// Sends the kind's edit-mode line, then selects the items of that kind (bones:
// of object `scope`) whose names match. Returns 1 when any item matched.
int SelectByPattern(const LayoutGeneric* local, const ItemInfo* items, ItemKind kind, ItemId scope,
                    const char* pattern);

// Decides where to search (one kind; the selected bone's object; every object
// in turn; or, for "object.bone", the bones of matching objects) and searches.
// Returns 1 when something matched; the caller tells the user otherwise.
int SearchByName(const LayoutGeneric* local, const ItemInfo* items, ServiceLookup lookup, const char* pattern,
                 ItemKind kind);

#endif  // QZ_BYNAME_NAME_SEARCH_H
