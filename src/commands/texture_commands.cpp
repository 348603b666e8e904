// "KEP TEXTURE NAME" (and its direct-call form), "KEP TEXTURE IMAGE" (and
// KEP_TextureID), "KEP TEXTURE CREATE" and "KEP TEXTURE MESH": texture
// queries of the current map, textures made from a script's own images, and
// retexturing a surface.
#include "commands/command_support.h"
#include "core/memory.h"
#include "host/host_functions.h"
#include "host/host_ranges.h"
#include "map/kep_model.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"

namespace {

// The texture at `index`; with no current map or a bad index, sets the
// message and returns null.
KEP_TextureInfo* TextureOrFail(int32_t index) {
    KEP_Map* map = CurrentMapOrFail();
    if (!map) return nullptr;
    KEP_TextureInfo* texture = map->textures.At(index);
    if (!texture) SetLastError(KepMessage::InvalidTextureIndex);
    return texture;
}

int32_t TextureImage(int32_t index) {
    ResetLastError();
    const KEP_TextureInfo* texture = TextureOrFail(index);
    return texture ? texture->build.image : 0;
}

// Makes the record; null when memory is short.
KEP_TextureInfo* NewTexture(const char* name, int32_t image) {
    KEP_TextureInfo* texture = KEP_NEW(KEP_TextureInfo, KEP_UNIT_MAP);
    if (!texture) return nullptr;
    // A null name leaves the name empty.
    if (name && !texture->name.Assign(name)) {
        KepDelete(texture);
        return nullptr;
    }
    texture->build.image = image;
    return texture;
}

} // namespace

KEP_EXPORT char* KEP_CDECL KEP_TextureName(char* previous, int32_t textureIndex) {
    ResetLastError();
    const KEP_TextureInfo* texture = TextureOrFail(textureIndex);
    // The previous result goes back to the host on every path.
    return ReturnHostString(previous, texture ? texture->name.CStr() : nullptr);
}

KEP_EXPORT int32_t KEP_CDECL KEPCPP_TextureName(char* buffer, int32_t textureIndex) {
    ResetLastError();
    const KEP_TextureInfo* texture = TextureOrFail(textureIndex);
    if (!texture) return 0;
    if (!buffer) {
        SetLastError(KepMessage::InvalidBuffer);
        return 0;
    }
    CopyTextToBuffer(buffer, texture->name.CStr());
    return 1;
}

KEP_EXPORT int32_t KEP_CDECL KEP_TextureID(int32_t texture) {
    return TextureImage(texture);
}

// The command table names this one for "KEP TEXTURE IMAGE".
KEP_EXPORT int32_t KEP_CDECL KEP_Texture(int32_t texture) {
    return TextureImage(texture);
}

KEP_EXPORT int32_t KEP_CDECL KEP_TextureCreate(const char* name, int32_t image) {
    ResetLastError();
    KEP_Map* map = CurrentMapOrFail();
    if (!map) return -1;
    // The host ends the script when asked about a number it has no place for.
    if (!host::IsImageNumber(image) || !host::image::GetExistEx(image)) {
        SetLastError(KepMessage::InvalidImageMedia);
        return -1;
    }
    KEP_TextureInfo* texture = NewTexture(name, image);
    if (!texture) {
        SetLastError(KepMessage::InsufficientMemory);
        return -1;
    }
    // Always at the end: surfaces name textures by index, so the textures
    // already listed keep theirs.
    try {
        map->textures.Add(texture);
    } catch (...) {
        KepDelete(texture);
        SetLastError(KepMessage::InsufficientMemory);
        return -1;
    }
    return map->textures.Count() - 1;
}

KEP_EXPORT int32_t KEP_CDECL KEP_TextureMesh(int32_t meshIndex, int32_t surfaceIndex,
                                             int32_t textureIndex) {
    ResetLastError();
    const KEP_TextureInfo* texture = TextureOrFail(textureIndex);
    if (!texture) return 0;
    KEP_Map* map = g_plugin.currentMap;
    KEP_Mesh* mesh = map->meshes.At(meshIndex);
    if (!mesh) {
        SetLastError(KepMessage::InvalidMeshIndex);
        return 0;
    }
    KEP_Surface* surface = mesh->surfaces.At(surfaceIndex);
    if (!surface) {
        SetLastError(KepMessage::InvalidSurfaceIndex);
        return 0;
    }
    surface->textureIndex = textureIndex;
    // The surface lives on as the limb it was built into; one that was never
    // built, or whose object or limb the script has deleted since, has nothing
    // in the host to retexture.
    if (HostHasLimb(surface->build.object, surface->build.limb))
        host::object::TextureLimb(surface->build.object, surface->build.limb, texture->build.image);
    return 1;
}
