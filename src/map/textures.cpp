// Texture names: CAULK names drop their surface, known names (in any case)
// reuse their texture, new names get a record whose file must be beside the
// map. The builder loads the images (build/build_images.cpp).
#include <string>

#include "core/CError.h"
#include "core/file_access.h"
#include "map/kep_read.h"

namespace {

int32_t AddTexture(KEP_ReadContext& read, const Cstring& name) {
    KEP_Map* map = &read.map;
    KepPending<KEP_TextureInfo> texture(KEP_NEW(KEP_TextureInfo, KEP_UNIT_MAP));
    if (!texture) KEP_FAIL(OutOfMemory, TextureAllocation, "KEP_AddTexture", KEP_UNIT_MAP);

    std::string path = map->mapDirectory;
    path += name.CStr();
    if (!read.options.mediaIncluded && !file_access::Exists(path.c_str()))
        KEP_FAIL(Media, TextureNotFound, "KEP_AddTexture", KEP_UNIT_MAP, path.c_str());
    if (!texture->name.Assign(name.CStr()))
        KEP_FAIL(OutOfMemory, TextureAllocation, "KEP_AddTexture", KEP_UNIT_MAP);

    // New textures always go to the end: indices of earlier ones never move.
    KepHandOver(map->textures, texture);
    const int32_t index = map->textures.Count() - 1;
    map->textureIndexByName.emplace(KEP_UpperCase(name.CStr()), index);
    return index;
}

} // namespace

int32_t KEP_FindTexture(KEP_ReadContext& read, const Cstring& name) {
    const std::string upper = KEP_UpperCase(name.CStr());
    if (upper.find("CAULK") != std::string::npos) return -1;
    const auto known = read.map.textureIndexByName.find(upper);
    if (known != read.map.textureIndexByName.end()) return known->second;
    return AddTexture(read, name);
}
