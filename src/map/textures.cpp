// Texture resolution: CAULK names drop their surface, known names (in any
// case) reuse their texture, new names are loaded from beside the map.
#include <string>
#include <vector>

#include "core/CError.h"
#include "host/host_functions.h"
#include "host/platform.h"
#include "map/kep_import.h"
#include "plugin/plugin_state.h"

int32_t KEP_FindTexture(const Cstring& name) {
    const std::string upper = KEP_UpperCase(name.CStr());
    if (upper.find("CAULK") != std::string::npos) return -1;
    KEP_Map* map = g_plugin.currentMap;
    const auto known = map->textureIndexByName.find(upper);
    if (known != map->textureIndexByName.end()) return known->second;
    return KEP_AddTexture(name);
}

int32_t KEP_AddTexture(const Cstring& name) {
    KEP_Map* map = g_plugin.currentMap;
    KepPending<KEP_TextureInfo> texture(KEP_NEW(KEP_TextureInfo, KEP_UNIT_MAP));
    if (!texture) KEP_FAIL(OutOfMemory, TextureAllocation, "KEP_AddTexture", KEP_UNIT_MAP);

    std::string path = map->mapDirectory;
    path += name.CStr();
    if (!g_plugin.mediaIncluded && !platform::FileExists(path.c_str()))
        KEP_FAIL(Media, TextureNotFound, "KEP_AddTexture", KEP_UNIT_MAP, path.c_str());

    // New textures always go to the end: indices of earlier ones never move.
    map->textures.SetCurrent(-1);
    KEP_TextureInfo* added = KepHandOver(map->textures, texture);

    const int32_t image = KEP_FreeImageNumber();
    if (image != 0) {
        std::vector<char> file(path.begin(), path.end());
        file.push_back('\0');
        host::image::LoadEx(file.data(), image);
    }
    if (image == 0 || !host::image::GetExistEx(image)) {
        added->image = 0;
        KEP_FAIL(Media, InvalidImage, "KEP_AddTexture", KEP_UNIT_MAP);
    }
    added->image = image;
    added->name = name;
    const int32_t index = map->textures.GetCurrentIndex();
    map->textureIndexByName.emplace(KEP_UpperCase(name.CStr()), index);
    return index;
}
