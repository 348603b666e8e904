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
// Every int32 index is safe, INT32_MAX included.
KEP_Group* GroupAtIndex(int32_t groupIndex);

// The script's group index of a group (its number less one; -1 for the
// default group and for no group).
int32_t GroupIndexOf(const KEP_Group* group);

// Copies `text` with its terminator into a caller's buffer; an empty text
// writes nothing at all.
void CopyTextToBuffer(char* buffer, const char* text);
