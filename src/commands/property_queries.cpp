// PENDING: placeholder bodies that fail safely until the real commands land.
#include "plugin/exports.h"
#include "plugin/plugin_state.h"

KEP_EXPORT int32_t KEP_CDECL KEP_Flags(int32_t component, int32_t index) {
    ResetLastError();
    (void)component;
    (void)index;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_PropertyCount(int32_t component, int32_t index) {
    ResetLastError();
    (void)component;
    (void)index;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT char* KEP_CDECL KEP_Property(char* previous, int32_t component, int32_t propertyOrValue, int32_t componentIndex, int32_t propertyIndex) {
    ResetLastError();
    (void)previous;
    (void)component;
    (void)propertyOrValue;
    (void)componentIndex;
    (void)propertyIndex;
    SetLastError("No current map");
    return nullptr;
}

KEP_EXPORT char* KEP_CDECL KEP_PropertyByKey(char* previous, int32_t component, int32_t componentIndex, const char* key) {
    ResetLastError();
    (void)previous;
    (void)component;
    (void)componentIndex;
    (void)key;
    SetLastError("No current map");
    return nullptr;
}

KEP_EXPORT int32_t KEP_CDECL KEPCPP_Property(char* buffer, int32_t component, int32_t propertyOrValue, int32_t componentIndex, int32_t propertyIndex) {
    ResetLastError();
    (void)buffer;
    (void)component;
    (void)propertyOrValue;
    (void)componentIndex;
    (void)propertyIndex;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT int32_t KEP_CDECL KEPCPP_PropertyByKey(char* buffer, int32_t component, int32_t componentIndex, const char* key) {
    ResetLastError();
    (void)buffer;
    (void)component;
    (void)componentIndex;
    (void)key;
    SetLastError("No current map");
    return 0;
}
