// Steps shared by the script commands that work on the current map.
#include "commands/command_support.h"

#include <cstring>
#include <limits>

#include "host/host_functions.h"
#include "host/host_ranges.h"
#include "plugin/plugin_state.h"

KEP_Map* CurrentMapOrFail() {
    if (!g_plugin.currentMap) SetLastError(KepMessage::NoCurrentMap);
    return g_plugin.currentMap;
}

bool HostHasObject(int32_t object) {
    return host::IsObjectNumber(object) && host::object::GetExist(object) != 0;
}

bool HostHasLimb(int32_t object, int32_t limb) {
    return limb >= 0 && HostHasObject(object) && host::object::GetLimbExist(object, limb) != 0;
}

KEP_Group* GroupAtIndex(int32_t groupIndex) {
    // No group number can exceed INT32_MAX, and index + 1 must not overflow.
    KEP_Map* map = g_plugin.currentMap;
    if (!map || groupIndex == std::numeric_limits<int32_t>::max()) return nullptr;
    return KEP_FindGroup(*map, groupIndex + 1);
}

int32_t GroupIndexOf(const KEP_Group* group) {
    if (!group || group->groupNumber <= 0) return -1;
    return group->groupNumber - 1;
}

void CopyTextToBuffer(char* buffer, const char* text) {
    if (!buffer || !text || !*text) return;
    std::memcpy(buffer, text, std::strlen(text) + 1);
}
