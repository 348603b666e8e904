// Lightmap section: each lightmap becomes a host image through the scratch
// memblock (usually 31), in the host's image memblock layout.
#include <cstdint>
#include <cstring>

#include "core/CError.h"
#include "host/host_functions.h"
#include "map/kep_import.h"

namespace {

// The image memblock's header (width, height, bit depth) and the pixels: read
// from the data straight into the memblock's bytes when the host gives their
// address and they are all there, else one host write per value (which
// leaves the same bytes).
void FillImageMemblock(CFile& reader, int32_t memblock, int32_t width, int32_t height,
                       int32_t pixelBytes) {
    const uint32_t header[3] = {static_cast<uint32_t>(width), static_cast<uint32_t>(height), 32};
    if (uint8_t* bytes = host::memblock::WritableBytes(memblock, int64_t{pixelBytes} + 16)) {
        std::memcpy(bytes, header, sizeof header);
        reader.ReadBytes(bytes + sizeof header, pixelBytes);
        return;
    }
    for (int32_t i = 0; i < 3; ++i)
        host::memblock::WriteMemblockDWord(memblock, 4 * i, header[i]);
    for (int32_t at = 12; at < pixelBytes + 12; at += 4)
        host::memblock::WriteMemblockDWord(memblock, at, static_cast<uint32_t>(reader.ReadInt()));
}

} // namespace

void KEP_DoLightmaps(KEP_LoadContext& load) {
    CFile& reader = load.reader;
    KEP_Map* map = &load.map;
    load.place = {"lightmap"};
    const int32_t count = reader.ReadInt();
    for (int32_t i = 0; i < count; ++i) {
        load.place.record = i + 1;
        load.place.item = nullptr;
        KepPending<KEP_Lightmap> lightmap(KepNewRecord<KEP_Lightmap>("KEP_DoLightmaps"));
        const int32_t width = reader.ReadInt();
        const int32_t height = reader.ReadInt();
        lightmap->width = width;
        lightmap->height = height;

        if (width <= 0 || height <= 0) {
            // No pixels to read and no image to make: image number 0.
            KepHandOver(map->lightmaps, lightmap);
            continue;
        }
        // The pixels must be there before the host is asked for memory. The
        // sides are compared with what the data can hold by division first:
        // two large sides multiplied would overflow and let a huge claim pass
        // as a small one.
        load.place.item = "pixels";
        const int32_t pixelsLeft = reader.Remaining() / 4;
        const int64_t pixels = int64_t{width} * height; // below 2^62
        if (pixelsLeft / width < height)
            KepFailEndOfData("KEP_DoLightmaps", KEP_UNIT_MAP, __LINE__, reader.Position(),
                             reader.Size(), pixels > INT64_MAX / 4 ? INT64_MAX : pixels * 4);
        const int64_t pixelBytes = pixels * 4; // at most the data's size
        if (pixelBytes + 16 > INT32_MAX)
            KepFailEndOfData("KEP_DoLightmaps", KEP_UNIT_MAP, __LINE__, reader.Position(),
                             reader.Size(), pixelBytes);

        KEP_ChooseLightmapScratch(load.build.numbers);
        const int32_t memblock = load.build.numbers.scratch.imageMemblock;
        host::memblock::MakeMemblock(memblock, static_cast<int32_t>(pixelBytes + 16));
        try {
            FillImageMemblock(reader, memblock, width, height, static_cast<int32_t>(pixelBytes));
        } catch (...) {
            // Only a file cut short while it is read gets here.
            host::memblock::DeleteMemblock(memblock);
            throw;
        }

        const int32_t image = KEP_FreeImageNumber(load.build.numbers, load.settings.initialImage);
        lightmap->build.image = image;
        KEP_Lightmap* added = KepHandOver(map->lightmaps, lightmap);
        if (image != 0) host::memblock::CreateImageFromMemblock(image, memblock);
        host::memblock::DeleteMemblock(memblock);
        // An image number is handed out only once the host holds the image.
        if (image == 0 || !host::image::GetExistEx(image)) {
            added->build.image = 0;
            KEP_FAIL(Media, InvalidImage, "KEP_DoLightmaps", KEP_UNIT_MAP);
        }
    }
}
