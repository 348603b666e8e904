// "KEP SET MAP", "KEP GET MAP", "KEP SHOW MAP", "KEP HIDE MAP", "KEP CLEAR"
// and the host's end call, which clears every map.
#include "commands/command_support.h"
#include "commands/map_teardown.h"
#include "host/host_functions.h"
#include "map/kep_model.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"

namespace {

// Makes the first map with that number current; false when none has it.
bool SelectMap(int32_t mapNumber) {
    for (KEP_Map* map : g_plugin.maps) {
        if (map->mapNumber == mapNumber) {
            g_plugin.currentMap = map;
            return true;
        }
    }
    return false;
}

// The map loaded last among those still held: map numbers only ever grow.
KEP_Map* MostRecentMap() {
    KEP_Map* latest = nullptr;
    for (int32_t i = 0; i < g_plugin.maps.Count(); ++i) {
        KEP_Map* map = g_plugin.maps.At(i);
        if (!latest || map->mapNumber > latest->mapNumber) latest = map;
    }
    return latest;
}

// Shows or hides every object that a group of the current map owns; groups
// that sit as limbs in another group's object follow that object. Objects the
// script has deleted since are passed over.
template <class HostCall> void ForEachOwnedObject(HostCall call) {
    KEP_Map* map = CurrentMapOrFail();
    if (!map) return;
    for (const KEP_Group* group : map->groups) {
        if (group->build.object != 0 && group->build.ownsObject != 0 &&
            HostHasObject(group->build.object))
            call(group->build.object);
    }
}

} // namespace

KEP_EXPORT int32_t KEP_CDECL KEP_SetCurrentMap(int32_t mapNumber) {
    ResetLastError();
    // A number that no loaded map has is no failure: the current map stays.
    return SelectMap(mapNumber) ? 1 : 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_GetCurrentMap() {
    ResetLastError();
    if (g_plugin.maps.Count() == 0 || !g_plugin.currentMap) return -1;
    return g_plugin.currentMap->mapNumber;
}

KEP_EXPORT void KEP_CDECL KEP_ShowMap() {
    ResetLastError();
    ForEachOwnedObject([](int32_t object) { host::object::Show(object); });
}

KEP_EXPORT void KEP_CDECL KEP_HideMap() {
    ResetLastError();
    ForEachOwnedObject([](int32_t object) { host::object::Hide(object); });
}

namespace {

// "KEP CLEAR" of the current map; the host's objects and images go too unless
// the host has already unloaded the modules that hold them.
void ClearCurrentMap(bool hostLoaded) {
    ResetLastError();
    KEP_Map* map = CurrentMapOrFail();
    if (!map) return;
    if (hostLoaded) KEP_DeleteHostMedia(map, g_plugin.build.numbers);
    g_plugin.currentMap = nullptr;
    // The current map is always one of the list's; its node goes with it.
    g_plugin.maps.RemoveAt(g_plugin.maps.IndexOf(map));
    if (g_plugin.maps.Count() == 0) return;
    // Map 0 when it is still loaded; otherwise the newest remaining map, so
    // that some map is current while any is loaded.
    if (!SelectMap(0)) g_plugin.currentMap = MostRecentMap();
}

} // namespace

KEP_EXPORT void KEP_CDECL KEP_Clear() {
    ClearCurrentMap(true);
}

KEP_EXPORT void KEP_CDECL Destructor() {
    // When a program ends the host may unload its modules first, and their
    // objects and images with them: then only the maps are left to free.
    const bool hostLoaded = host::ModulesStillLoaded();
    // Every clear removes the current map from the list, so this ends.
    while (g_plugin.maps.Count() > 0) {
        // A load whose map record could not be made leaves maps with none
        // current.
        if (!g_plugin.currentMap) g_plugin.currentMap = MostRecentMap();
        ClearCurrentMap(hostLoaded);
    }
    g_plugin.currentMap = nullptr;
}
