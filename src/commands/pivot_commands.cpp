// PENDING: placeholder bodies that fail safely until the real commands land.
#include "plugin/exports.h"
#include "plugin/plugin_state.h"

KEP_EXPORT void KEP_CDECL KEP_Move(int32_t pivot, float dx, float dy, float dz) {
    ResetLastError();
    (void)pivot;
    (void)dx;
    (void)dy;
    (void)dz;
    SetLastError("No current map");
}

KEP_EXPORT void KEP_CDECL KEP_Position(int32_t pivot, float x, float y, float z) {
    ResetLastError();
    (void)pivot;
    (void)x;
    (void)y;
    (void)z;
    SetLastError("No current map");
}

KEP_EXPORT void KEP_CDECL KEP_Angle(int32_t pivot, float ax, float ay, float az) {
    ResetLastError();
    (void)pivot;
    (void)ax;
    (void)ay;
    (void)az;
    SetLastError("No current map");
}

KEP_EXPORT void KEP_CDECL KEP_Rotate(int32_t pivot, float dax, float day, float daz) {
    ResetLastError();
    (void)pivot;
    (void)dax;
    (void)day;
    (void)daz;
    SetLastError("No current map");
}

KEP_EXPORT void KEP_CDECL KEP_Show(int32_t pivot) {
    ResetLastError();
    (void)pivot;
    SetLastError("No current map");
}

KEP_EXPORT void KEP_CDECL KEP_Hide(int32_t pivot) {
    ResetLastError();
    (void)pivot;
    SetLastError("No current map");
}
