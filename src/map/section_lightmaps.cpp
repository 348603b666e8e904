// Lightmap section: each lightmap's size and pixels, which the builder turns
// into a host image (build/build_images.cpp).
#include <cstdint>

#include "core/CError.h"
#include "map/kep_read.h"

void KEP_DoLightmaps(KEP_ReadContext& read) {
    CFile& reader = read.reader;
    KEP_Map* map = &read.map;
    KepForEachRecord(read, "lightmap", [&](int32_t) {
        KepPending<KEP_Lightmap> lightmap(KepNewRecord<KEP_Lightmap>("KEP_DoLightmaps"));
        const int32_t width = reader.ReadInt();
        const int32_t height = reader.ReadInt();
        lightmap->width = width;
        lightmap->height = height;

        if (width <= 0 || height <= 0) {
            // No pixels to read and no image to make: image number 0.
            KepHandOver(map->lightmaps, lightmap);
            return;
        }
        // The pixels must be there before memory is taken for them. The
        // sides are compared with what the data can hold by division first:
        // two large sides multiplied would overflow and let a huge claim pass
        // as a small one.
        read.place.item = "pixels";
        const int32_t pixelsLeft = reader.Remaining() / 4;
        const int64_t pixels = int64_t{width} * height; // below 2^62
        if (pixelsLeft / width < height)
            KepFailEndOfData("KEP_DoLightmaps", KEP_UNIT_MAP, __LINE__, reader.Position(),
                             reader.Size(), pixels > INT64_MAX / 4 ? INT64_MAX : pixels * 4);
        const int64_t pixelBytes = pixels * 4; // at most the data's size
        if (pixelBytes + 16 > INT32_MAX)
            KepFailEndOfData("KEP_DoLightmaps", KEP_UNIT_MAP, __LINE__, reader.Position(),
                             reader.Size(), pixelBytes);

        if (!lightmap->pixels.Allocate(static_cast<int32_t>(pixelBytes)))
            KEP_FAIL(OutOfMemory, RecordAllocation, "KEP_DoLightmaps", KEP_UNIT_MAP);
        reader.ReadBytes(lightmap->pixels.Bytes(), static_cast<int32_t>(pixelBytes));
        KepHandOver(map->lightmaps, lightmap);
    });
}
