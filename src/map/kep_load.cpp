// PENDING: placeholder bodies that fail safely until the real commands land.
#include "plugin/exports.h"
#include "plugin/plugin_state.h"

KEP_EXPORT int32_t KEP_CDECL KEP_Load(const char* fileName, int32_t lightmapFlag) {
    ResetLastError();
    (void)fileName;
    (void)lightmapFlag;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_MakeKEPFromMemblock(int32_t memblock, int32_t lightmapFlag) {
    ResetLastError();
    (void)memblock;
    (void)lightmapFlag;
    SetLastError("No current map");
    return 0;
}
