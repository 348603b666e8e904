// "KEP OBJECT TO GROUP", "KEP GROUP TO OBJECT", "KEP GROUP TO PIVOT",
// "KEP PIVOT TO GROUP", "KEP MESH TO GROUP" and "KEP ENTITY TO GROUP":
// translations between a group's identities (group index, host object,
// pivot) and the group of a mesh or entity.
#include "commands/command_support.h"
#include "map/kep_model.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"

namespace {

// The group index of the record at `index` of a list whose records carry a
// group; -1 for no record, no group or the default group.
template <class List> int32_t GroupIndexOfRecordAt(const List& list, int32_t index) {
    const auto* record = list.At(index);
    return record ? GroupIndexOf(record->group) : -1;
}

} // namespace

KEP_EXPORT int32_t KEP_CDECL KEP_ObjectToGroup(int32_t object) {
    ResetLastError();
    KEP_Map* map = CurrentMapOrFail();
    if (!map) return -1;
    // The default group heads the list and is passed over.
    for (int32_t i = 1; i < map->groups.Count(); ++i) {
        const KEP_Group* group = map->groups.At(i);
        // Only the group whose own geometry made the object answers for it.
        if (group->build.object == object && group->build.ownsObject != 0 &&
            group->meshes.Count() > 0)
            return GroupIndexOf(group);
    }
    return -1;
}

KEP_EXPORT int32_t KEP_CDECL KEP_GroupToObject(int32_t groupIndex) {
    ResetLastError();
    if (!CurrentMapOrFail()) return 0;
    const KEP_Group* group = GroupAtIndex(groupIndex);
    if (!group || group->build.ownsObject == 0) return 0;
    return group->build.object;
}

KEP_EXPORT int32_t KEP_CDECL KEP_GroupToPivot(int32_t groupIndex) {
    ResetLastError();
    KEP_Map* map = CurrentMapOrFail();
    if (!map) return -1;
    const KEP_Group* group = GroupAtIndex(groupIndex);
    if (!group || !group->pivotEntity) return -1;
    return map->pivots.IndexOf(group->pivotEntity);
}

KEP_EXPORT int32_t KEP_CDECL KEP_PivotToGroup(int32_t pivot) {
    ResetLastError();
    KEP_Map* map = CurrentMapOrFail();
    return map ? GroupIndexOfRecordAt(map->pivots, pivot) : -1;
}

KEP_EXPORT int32_t KEP_CDECL KEP_MeshToGroup(int32_t mesh) {
    ResetLastError();
    KEP_Map* map = CurrentMapOrFail();
    return map ? GroupIndexOfRecordAt(map->meshes, mesh) : -1;
}

KEP_EXPORT int32_t KEP_CDECL KEP_EntityToGroup(int32_t entity) {
    ResetLastError();
    KEP_Map* map = CurrentMapOrFail();
    return map ? GroupIndexOfRecordAt(map->entities, entity) : -1;
}
