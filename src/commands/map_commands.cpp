// PENDING: placeholder bodies that fail safely until the real commands land.
#include "plugin/exports.h"
#include "plugin/plugin_state.h"

KEP_EXPORT int32_t KEP_CDECL KEP_SetCurrentMap(int32_t mapNumber) {
    ResetLastError();
    (void)mapNumber;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_GetCurrentMap() {
    ResetLastError();
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT void KEP_CDECL KEP_ShowMap() {
    ResetLastError();
    SetLastError("No current map");
}

KEP_EXPORT void KEP_CDECL KEP_HideMap() {
    ResetLastError();
    SetLastError("No current map");
}

KEP_EXPORT void KEP_CDECL KEP_Clear() {
    ResetLastError();
    SetLastError("No current map");
}

KEP_EXPORT void KEP_CDECL Destructor() {
}
