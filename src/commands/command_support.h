// Steps shared by the script commands that work on the current map.
#pragma once

#include <cstdint>

#include "map/kep_model.h"

// The current map; with none, sets "No current map" and returns null.
KEP_Map* CurrentMapOrFail();

// Whether the host still holds an object a build recorded, or that object's
// limb. The script may have deleted or replaced it since, and the host ends
// the script when a command names an object or limb that is not there.
bool HostHasObject(int32_t object);
bool HostHasLimb(int32_t object, int32_t limb);

// The group a script names by group index (group number index + 1), or null.
// Every int32 index is safe, INT32_MAX included; the group list's cursor is
// kept as KEP_FindGroup keeps it.
KEP_Group* GroupAtIndex(int32_t groupIndex);

// The script's group index of a group (its number less one; -1 for the
// default group and for no group).
int32_t GroupIndexOf(const KEP_Group* group);

// Position of `item` in `list`, walking from the head with the list's own
// cursor (First/Next) and stopping at a null item; -1 when not found. The
// cursor is left on the item found, or with no current node.
template <class List, class Record> int32_t WalkToItem(List& list, const Record* item) {
    for (bool more = list.First(); more && list.GetCurrent(); more = list.Next())
        if (list.GetCurrent() == item) return list.GetCurrentIndex();
    return -1;
}

// Copies `text` with its terminator into a caller's buffer; an empty text
// writes nothing at all.
void CopyTextToBuffer(char* buffer, const char* text);
