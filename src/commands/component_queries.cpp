// "KEP COUNT", "KEP SURFACE COUNT", "KEP SURFACE TEXTURE", "KEP ENTITY X",
// "KEP ENTITY Y", "KEP ENTITY Z", "KEP PIVOT ID" and "KEP GET MESH INDEX":
// counts, surfaces, entity positions and pivot indices of the current map,
// and the mesh that made a host object.
#include "commands/command_support.h"
#include "commands/component_codes.h"
#include "core/bits_and_case.h"
#include "map/kep_model.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"

namespace {

// One coordinate of an entity's position as the float's bits; 0.0 on failure.
uint32_t EntityCoordinate(int32_t entityIndex, int axis) {
    ResetLastError();
    KEP_Map* map = CurrentMapOrFail();
    if (!map) return KepFloatBits(0.0f);
    const KEP_Entity* entity = map->entities.At(entityIndex);
    if (!entity) {
        SetLastError(KepMessage::InvalidEntityIndex);
        return KepFloatBits(0.0f);
    }
    return KepFloatBits(entity->position[axis]);
}

} // namespace

KEP_EXPORT int32_t KEP_CDECL KEP_Count(int32_t component) {
    ResetLastError();
    KEP_Map* map = CurrentMapOrFail();
    if (!map) return 0;
    switch (component) {
    case kGroup:
        // The default group heads the list and is not one of the file's.
        return map->groups.Count() - 1;
    case kVisGroup:
        return map->visGroups.Count();
    case kEntity:
        return map->entities.Count();
    case kMesh:
        return map->meshes.Count();
    case kTexture:
        return map->textures.Count();
    case kLightmap:
        return map->lightmaps.Count();
    case kPivot:
        return map->pivots.Count();
    case kMap:
        return g_plugin.maps.Count();
    case kObject:
        return map->build.objectsBuilt;
    default:
        SetLastError(KepMessage::InvalidComponentType);
        return 0;
    }
}

KEP_EXPORT int32_t KEP_CDECL KEP_SurfaceCount(int32_t meshIndex) {
    ResetLastError();
    KEP_Map* map = CurrentMapOrFail();
    if (!map) return 0;
    const KEP_Mesh* mesh = map->meshes.At(meshIndex);
    if (!mesh) {
        SetLastError(KepMessage::InvalidMeshIndex);
        return 0;
    }
    return mesh->surfaces.Count();
}

KEP_EXPORT int32_t KEP_CDECL KEP_SurfaceTexture(int32_t meshIndex, int32_t surfaceIndex) {
    ResetLastError();
    KEP_Map* map = CurrentMapOrFail();
    if (!map) return -1;
    KEP_Mesh* mesh = map->meshes.At(meshIndex);
    if (!mesh) {
        SetLastError(KepMessage::InvalidMeshIndex);
        return -1;
    }
    const KEP_Surface* surface = mesh->surfaces.At(surfaceIndex);
    if (!surface) {
        SetLastError(KepMessage::InvalidSurfaceIndex);
        return -1;
    }
    return surface->textureIndex;
}

KEP_EXPORT uint32_t KEP_CDECL KEP_EntityX(int32_t entity) {
    return EntityCoordinate(entity, 0);
}
KEP_EXPORT uint32_t KEP_CDECL KEP_EntityY(int32_t entity) {
    return EntityCoordinate(entity, 1);
}
KEP_EXPORT uint32_t KEP_CDECL KEP_EntityZ(int32_t entity) {
    return EntityCoordinate(entity, 2);
}

KEP_EXPORT int32_t KEP_CDECL KEP_PivotID(int32_t entityIndex) {
    ResetLastError();
    KEP_Map* map = CurrentMapOrFail();
    if (!map) return -1;
    const KEP_Entity* entity = map->entities.At(entityIndex);
    if (!entity) {
        SetLastError(KepMessage::InvalidEntityIndex);
        return -1;
    }
    // An entity that is not a pivot gives -1 without a message.
    return map->pivots.IndexOf(entity);
}

KEP_EXPORT int32_t KEP_CDECL KEP_GetMeshIndex(int32_t object) {
    ResetLastError();
    KEP_Map* map = CurrentMapOrFail();
    if (!map) return -1;
    if (object <= 0) return -1;
    for (int32_t m = 0; m < map->meshes.Count(); ++m) {
        const KEP_Mesh* mesh = map->meshes.At(m);
        for (int32_t s = 0; s < mesh->surfaces.Count(); ++s)
            if (mesh->surfaces.At(s)->build.object == object) return m;
    }
    return -1;
}
