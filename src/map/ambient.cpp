// The ambient pass: brightens every lightmap image of a file-loaded map by the
// ambient colour, in place through the scratch memblock's address (the one the
// lightmap section chose; the host replaces what a memblock of that number
// held, so a script's own is never used).
#include <cstdint>
#include <cstring>

#include "host/host_functions.h"
#include "map/kep_import.h"

namespace {

uint32_t AddAmbient(uint32_t pixel, uint32_t ambient) {
    uint32_t result = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
        uint32_t sum = ((pixel >> shift) & 0xFFu) + ((ambient >> shift) & 0xFFu);
        if (sum > 255u) sum = 255u;
        result |= sum << shift;
    }
    return result; // the top byte ends as 0
}

} // namespace

void KEP_ApplyAmbient(const KEP_Map& map, uint32_t ambient, KEP_NumberSearches& searches) {
    for (int32_t i = 0; i < map.lightmaps.Count(); ++i) {
        const KEP_Lightmap* lightmap = map.lightmaps.At(i);
        if (lightmap->build.image <= 0) continue; // no image was made for it

        KEP_ChooseLightmapScratch(searches);
        const int32_t memblock = searches.scratch.imageMemblock;
        host::memblock::CreateMemblockFromImage(memblock, lightmap->build.image);
        const uint32_t address = host::memblock::GetMemblockPtr(memblock);
        const int32_t size = host::memblock::GetMemblockSize(memblock);
        const int64_t needed =
            12 + int64_t{lightmap->width} * lightmap->height * 4; // both are positive here
        // Only pixels that lie inside the memblock the host gave are touched;
        // an image the host cannot hand back whole is left as it was.
        if (address != 0 && needed <= size) {
            uint8_t* pixels = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(address)) + 12;
            const int64_t count = int64_t{lightmap->width} * lightmap->height;
            for (int64_t p = 0; p < count; ++p) {
                uint32_t pixel;
                std::memcpy(&pixel, pixels + 4 * p, 4);
                pixel = AddAmbient(pixel, ambient);
                std::memcpy(pixels + 4 * p, &pixel, 4);
            }
            KEP_DeleteHostImage(searches, lightmap->build.image);
            host::memblock::CreateImageFromMemblock(lightmap->build.image, memblock);
        }
        host::memblock::DeleteMemblock(memblock);
    }
}
