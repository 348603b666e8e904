// Lightmap section: each lightmap becomes a host image through scratch
// memblock 31, in the host's image memblock layout.
#include <cstdint>

#include "core/CError.h"
#include "host/host_functions.h"
#include "map/kep_import.h"

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

        host::memblock::MakeMemblock(KEP_kImageMemblock, static_cast<int32_t>(pixelBytes + 16));
        host::memblock::WriteMemblockDWord(KEP_kImageMemblock, 0, static_cast<uint32_t>(width));
        host::memblock::WriteMemblockDWord(KEP_kImageMemblock, 4, static_cast<uint32_t>(height));
        host::memblock::WriteMemblockDWord(KEP_kImageMemblock, 8, 32);
        int32_t position = 12;
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                const uint32_t pixel = static_cast<uint32_t>(reader.ReadInt());
                host::memblock::WriteMemblockDWord(KEP_kImageMemblock, position, pixel);
                position += 4;
            }
        }

        const int32_t image = KEP_FreeImageNumber(load.settings.initialImage);
        lightmap->build.image = image;
        KEP_Lightmap* added = KepHandOver(map->lightmaps, lightmap);
        if (image != 0) host::memblock::CreateImageFromMemblock(image, KEP_kImageMemblock);
        host::memblock::DeleteMemblock(KEP_kImageMemblock);
        // An image number is handed out only once the host holds the image.
        if (image == 0 || !host::image::GetExistEx(image)) {
            added->build.image = 0;
            KEP_FAIL(Media, InvalidImage, "KEP_DoLightmaps", KEP_UNIT_MAP);
        }
    }
}
