// PENDING: placeholder bodies that fail safely until the real commands land.
#include "plugin/exports.h"
#include "plugin/plugin_state.h"

KEP_EXPORT int32_t KEP_CDECL KEP_ObjectToGroup(int32_t object) {
    ResetLastError();
    (void)object;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_GroupToObject(int32_t group) {
    ResetLastError();
    (void)group;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_GroupToPivot(int32_t group) {
    ResetLastError();
    (void)group;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_PivotToGroup(int32_t pivot) {
    ResetLastError();
    (void)pivot;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_MeshToGroup(int32_t mesh) {
    ResetLastError();
    (void)mesh;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_EntityToGroup(int32_t entity) {
    ResetLastError();
    (void)entity;
    SetLastError("No current map");
    return 0;
}
