// Images for a read map: each lightmap's pixels become a host image through
// the scratch memblock (usually 31), in the host's image memblock layout, and
// each texture's file is loaded beside the map.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "build/kep_build.h"
#include "core/CError.h"
#include "host/host_functions.h"

namespace {

// The host copies a file name into fixed buffers of 256 and 260 characters
// before it opens the file; a longer name would run past them.
const std::size_t kLongestImagePath = 255;

uint32_t AddAmbient(uint32_t pixel, uint32_t ambient) {
    uint32_t result = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
        uint32_t sum = ((pixel >> shift) & 0xFFu) + ((ambient >> shift) & 0xFFu);
        if (sum > 255u) sum = 255u;
        result |= sum << shift;
    }
    return result; // the top byte ends as 0
}

void Brighten(uint8_t* pixels, int64_t count, uint32_t ambient) {
    for (int64_t p = 0; p < count; ++p) {
        uint32_t pixel;
        std::memcpy(&pixel, pixels + 4 * p, 4);
        pixel = AddAmbient(pixel, ambient);
        std::memcpy(pixels + 4 * p, &pixel, 4);
    }
}

// The image memblock's header (width, height, bit depth) and the pixels:
// copied straight into the memblock's bytes when the host gives their
// address, else one host write per value (which leaves the same bytes).
void FillImageMemblock(int32_t memblock, const KEP_Lightmap& lightmap, int32_t pixelBytes) {
    const uint32_t header[3] = {static_cast<uint32_t>(lightmap.width),
                                static_cast<uint32_t>(lightmap.height), 32};
    const uint8_t* pixels = lightmap.pixels.Bytes();
    if (uint8_t* bytes = host::memblock::WritableBytes(memblock, int64_t{pixelBytes} + 16)) {
        std::memcpy(bytes, header, sizeof header);
        std::memcpy(bytes + sizeof header, pixels, static_cast<std::size_t>(pixelBytes));
        return;
    }
    for (int32_t i = 0; i < 3; ++i)
        host::memblock::WriteMemblockDWord(memblock, 4 * i, header[i]);
    for (int32_t at = 0; at < pixelBytes; at += 4) {
        uint32_t value;
        std::memcpy(&value, pixels + at, 4);
        host::memblock::WriteMemblockDWord(memblock, at + 12, value);
    }
}

// Makes `image` from the lightmap's pixels through the scratch memblock.
void MakeLightmapImage(KEP_NumberSearches& searches, const KEP_Lightmap& lightmap, int32_t image) {
    const int32_t pixelBytes = lightmap.width * lightmap.height * 4; // the reader checked it fits
    KEP_ChooseLightmapScratch(searches);
    const int32_t memblock = searches.scratch.imageMemblock;
    host::memblock::MakeMemblock(memblock, pixelBytes + 16);
    FillImageMemblock(memblock, lightmap, pixelBytes);
    host::memblock::CreateImageFromMemblock(image, memblock);
    host::memblock::DeleteMemblock(memblock);
}

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

// An image number is handed out only once the host holds the image.
void KeepImage(KEP_ImageBuild& build, int32_t image, const char* function) {
    if (image == 0 || !host::image::GetExistEx(image))
        KepFail(CErrorKind::Media, KepMessage::InvalidImage, function, KEP_UNIT_MAP, __LINE__);
    build.image = image;
}

} // namespace

void KEP_BuildImages(KEP_Map& map, KEP_NumberSearches& searches, const KEP_BuildOptions& options) {
    for (int32_t i = 0; i < map.lightmaps.Count(); ++i) {
        KEP_Lightmap* lightmap = map.lightmaps.At(i);
        if (!lightmap->pixels.Bytes()) continue; // a side <= 0: image number 0
        const int32_t image = KEP_FreeImageNumber(searches, options.initialImage);
        if (image != 0) MakeLightmapImage(searches, *lightmap, image);
        KeepImage(lightmap->build, image, "KEP_DoLightmaps");
    }
    for (int32_t i = 0; i < map.textures.Count(); ++i) {
        KEP_TextureInfo* texture = map.textures.At(i);
        const std::string path = std::string(map.mapDirectory) + texture->name.CStr();
        const int32_t image = path.size() > kLongestImagePath
                                  ? 0
                                  : KEP_FreeImageNumber(searches, options.initialImage);
        if (image != 0) LoadImageFile(path, image);
        KeepImage(texture->build, image, "KEP_AddTexture");
    }
    // The ambient pass: every lightmap image is made again, brightened, under
    // its own number. The pixels are not needed after it.
    for (KEP_Lightmap* lightmap : map.lightmaps) {
        if (options.applyAmbient && lightmap->build.image > 0) {
            Brighten(lightmap->pixels.Bytes(), int64_t{lightmap->width} * lightmap->height,
                     options.ambientColour);
            KEP_DeleteHostImage(searches, lightmap->build.image);
            MakeLightmapImage(searches, *lightmap, lightmap->build.image);
        }
        lightmap->pixels.Release();
    }
}
