// Texture resolution: CAULK names drop their surface, known names (in any
// case) reuse their texture, new names are loaded from beside the map.
#include <string>
#include <vector>

#include "core/CError.h"
#include "core/file_access.h"
#include "host/host_functions.h"
#include "map/kep_import.h"

namespace {

// The host copies a file name into fixed buffers of 256 and 260 characters
// before it opens the file; a longer name would run past them.
const std::size_t kLongestImagePath = 255;

// Loads an image file into a free image number. A host that has the silent
// loader makes no image of a file it cannot read; the plain loader, all older
// releases have, ends the script instead.
void LoadImageFile(const std::string& path, int32_t image) {
    std::vector<char> file(path.begin(), path.end());
    file.push_back('\0');
    if (host::image::HasLoadExSilent())
        host::image::LoadExSilent(file.data(), image, 0, 0, 1);
    else
        host::image::LoadEx(file.data(), image);
}

} // namespace

int32_t KEP_FindTexture(KEP_LoadContext& load, const Cstring& name) {
    const std::string upper = KEP_UpperCase(name.CStr());
    if (upper.find("CAULK") != std::string::npos) return -1;
    const auto known = load.map.textureIndexByName.find(upper);
    if (known != load.map.textureIndexByName.end()) return known->second;
    return KEP_AddTexture(load, name);
}

int32_t KEP_AddTexture(KEP_LoadContext& load, const Cstring& name) {
    KEP_Map* map = &load.map;
    KepPending<KEP_TextureInfo> texture(KEP_NEW(KEP_TextureInfo, KEP_UNIT_MAP));
    if (!texture) KEP_FAIL(OutOfMemory, TextureAllocation, "KEP_AddTexture", KEP_UNIT_MAP);

    std::string path = map->mapDirectory;
    path += name.CStr();
    if (!load.settings.mediaIncluded && !file_access::Exists(path.c_str()))
        KEP_FAIL(Media, TextureNotFound, "KEP_AddTexture", KEP_UNIT_MAP, path.c_str());

    // New textures always go to the end: indices of earlier ones never move.
    KEP_TextureInfo* added = KepHandOver(map->textures, texture);

    const int32_t image = path.size() > kLongestImagePath
                              ? 0
                              : KEP_FreeImageNumber(load.build.numbers, load.settings.initialImage);
    if (image != 0) LoadImageFile(path, image);
    if (image == 0 || !host::image::GetExistEx(image)) {
        added->build.image = 0;
        KEP_FAIL(Media, InvalidImage, "KEP_AddTexture", KEP_UNIT_MAP);
    }
    added->build.image = image;
    if (!added->name.Assign(name.CStr()))
        KEP_FAIL(OutOfMemory, TextureAllocation, "KEP_AddTexture", KEP_UNIT_MAP);
    const int32_t index = map->textures.Count() - 1;
    map->textureIndexByName.emplace(KEP_UpperCase(name.CStr()), index);
    return index;
}
