// PENDING: placeholder bodies that fail safely until the real commands land.
#include "plugin/exports.h"
#include "plugin/plugin_state.h"

KEP_EXPORT int32_t KEP_CDECL KEP_Count(int32_t component) {
    ResetLastError();
    (void)component;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_SurfaceCount(int32_t mesh) {
    ResetLastError();
    (void)mesh;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_SurfaceTexture(int32_t mesh, int32_t surface) {
    ResetLastError();
    (void)mesh;
    (void)surface;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT char* KEP_CDECL KEP_TextureName(char* previous, int32_t texture) {
    ResetLastError();
    (void)previous;
    (void)texture;
    SetLastError("No current map");
    return nullptr;
}

KEP_EXPORT int32_t KEP_CDECL KEPCPP_TextureName(char* buffer, int32_t texture) {
    ResetLastError();
    (void)buffer;
    (void)texture;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_TextureID(int32_t texture) {
    ResetLastError();
    (void)texture;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_Texture(int32_t texture) {
    ResetLastError();
    (void)texture;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_TextureCreate(const char* name, int32_t image) {
    ResetLastError();
    (void)name;
    (void)image;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_TextureMesh(int32_t mesh, int32_t surface, int32_t texture) {
    ResetLastError();
    (void)mesh;
    (void)surface;
    (void)texture;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT uint32_t KEP_CDECL KEP_EntityX(int32_t entity) {
    ResetLastError();
    (void)entity;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT uint32_t KEP_CDECL KEP_EntityY(int32_t entity) {
    ResetLastError();
    (void)entity;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT uint32_t KEP_CDECL KEP_EntityZ(int32_t entity) {
    ResetLastError();
    (void)entity;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_PivotID(int32_t entity) {
    ResetLastError();
    (void)entity;
    SetLastError("No current map");
    return 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_GetMeshIndex(int32_t object) {
    ResetLastError();
    (void)object;
    SetLastError("No current map");
    return 0;
}
