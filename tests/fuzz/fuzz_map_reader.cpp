// Map bytes from the fuzzer through the reader alone: no host, no plug-in,
// so thousands of inputs a second. Every record the read left in the map must
// be whole and linked within it; the leak checker sees that deleting the map
// frees every block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/CError.h"
#include "core/CFile.h"
#include "map/kep_read.h"

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

// Whether `record` is none or one of `list`.
template <class List, class Record> bool Holds(const List& list, const Record* record) {
    for (const Record* item : list)
        if (item == record) return true;
    return !record;
}

void ExpectWhole(const KEP_Map& map) {
    for (const KEP_Mesh* mesh : map.meshes) {
        Check(Holds(map.groups, mesh->group) && Holds(map.visGroups, mesh->visGroup));
        for (const KEP_Surface* surface : mesh->surfaces) {
            Check(surface->textureIndex >= -1 && surface->textureIndex < map.textures.Count());
            Check(surface->geometry.VertexCount() == surface->vertexCount &&
                  surface->geometry.TriangleCount() == surface->triangleCount);
        }
    }
    for (const KEP_Entity* entity : map.entities) {
        Check(Holds(map.groups, entity->group));
        for (int32_t p = 0; p < entity->properties.Count(); ++p)
            Check(entity->properties.Key(p) && entity->properties.Value(p));
    }
    for (const KEP_Entity* pivot : map.pivots)
        Check(pivot && Holds(map.entities, pivot));
    for (const KEP_Lightmap* lightmap : map.lightmaps)
        Check((lightmap->pixels.Bytes() != nullptr) ==
              (lightmap->width > 0 && lightmap->height > 0));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    CFile reader;
    if (size == 0 || !reader.OpenMemory(data, static_cast<int32_t>(size))) return 0;
    KEP_Oddities oddities;
    KEP_ReadOptions options;
    options.mediaIncluded = true; // texture files are the file system's business
    options.oddities = size % 2 ? &oddities : nullptr;
    try {
        const int32_t version = KEP_ReadVersion(reader);
        KepPending<KEP_Map> map(KepNewRecord<KEP_Map>("fuzz"));
        map->version = version;
        KEP_ReadContext read{reader, *map, options};
        try {
            KEP_ReadSections(read);
        } catch (const CError&) {
            // What was read before the failure stays: it must be whole too.
        }
        ExpectWhole(*map);
    } catch (const CError&) {
    }
    return 0;
}
