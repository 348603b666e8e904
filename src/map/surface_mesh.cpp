// One surface as host mesh 1, through memblock 30 in the host's mesh memblock
// layout: a plain triangle list, corners in reverse order.
#include <cstdint>

#include "core/CError.h"
#include "host/host_functions.h"
#include "map/kep_import.h"

namespace {

const int kMeshMemblock = 30;
const int kScratchMesh = 1;
const uint32_t kPlainFormat = 0x152;       // position, normal, diffuse, one UV pair
const uint32_t kLightmappedFormat = 0x252; // the same with two UV pairs

bool IsComplete(const KEP_Triangle* triangle) {
    return triangle->corners[0] && triangle->corners[1] && triangle->corners[2];
}

// Each sum is formed in double precision and rounded to float once.
float Place(float value, double subtract, float offset) {
    return static_cast<float>(static_cast<double>(value) - subtract + static_cast<double>(offset));
}

} // namespace

void KEP_BuildSurfaceMesh(KEP_Surface* surface, const KEP_Mesh* mesh, KEP_Group* group,
                          int32_t lightmapFlag, const KEP_BuildState& build,
                          const KEP_LoadSettings& settings) {
    const bool lightmapped = KEP_UsesLightmaps(lightmapFlag) && surface->lightmapIndex >= 0;
    const int32_t stride = lightmapped ? 44 : 36;

    // A triangle with a corner that names no vertex cannot be drawn: left out.
    int64_t triangles = 0;
    for (int32_t i = 0; i < surface->triangles.Count(); ++i)
        if (IsComplete(surface->triangles.At(i))) ++triangles;
    const int64_t size = 12 + triangles * 3 * stride;
    if (size > INT32_MAX)
        KEP_FAIL(OutOfMemory, InsufficientMemory, "KEP_BuildSurfaceMesh", KEP_UNIT_MAP);

    using namespace host::memblock;
    MakeMemblock(kMeshMemblock, static_cast<int32_t>(size));
    WriteMemblockDWord(kMeshMemblock, 0, lightmapped ? kLightmappedFormat : kPlainFormat);
    WriteMemblockDWord(kMeshMemblock, 4, static_cast<uint32_t>(stride));
    WriteMemblockDWord(kMeshMemblock, 8, static_cast<uint32_t>(triangles * 3));

    // Vertices are written relative to the build origin. The surface that
    // makes a group's object is placed by the object's position (its mesh's
    // position plus the origin); every later surface becomes a limb whose
    // chain leads back to the origin, so it carries its own mesh's position
    // in its vertices. Either way a vertex lands at its file position plus
    // its mesh's position plus the map offset.
    const bool becomesLimb = group->object != 0;
    double base[3];
    for (int axis = 0; axis < 3; ++axis)
        base[axis] = static_cast<double>(build.buildOrigin[axis]) -
                     (becomesLimb ? static_cast<double>(mesh->position[axis]) : 0.0);
    const float* offset = settings.mapOffset;
    int32_t at = 12;
    for (int32_t i = 0; i < surface->triangles.Count(); ++i) {
        const KEP_Triangle* triangle = surface->triangles.At(i);
        if (!IsComplete(triangle)) continue;
        for (int corner = 2; corner >= 0; --corner) {
            const KEP_Vertex* v = triangle->corners[corner];
            for (int axis = 0; axis < 3; ++axis)
                WriteMemblockFloat(kMeshMemblock, at + 4 * axis,
                                   Place(v->position[axis], base[axis], offset[axis]));
            for (int axis = 0; axis < 3; ++axis)
                WriteMemblockFloat(kMeshMemblock, at + 12 + 4 * axis, v->normal[axis]);
            const uint32_t diffuse = (static_cast<uint32_t>(v->colour[0]) & 0xFFu) << 16 |
                                     (static_cast<uint32_t>(v->colour[1]) & 0xFFu) << 8 |
                                     (static_cast<uint32_t>(v->colour[2]) & 0xFFu);
            WriteMemblockDWord(kMeshMemblock, at + 24, diffuse);
            WriteMemblockFloat(kMeshMemblock, at + 28, v->texture[0]);
            WriteMemblockFloat(kMeshMemblock, at + 32, v->texture[1]);
            if (lightmapped) {
                WriteMemblockFloat(kMeshMemblock, at + 36, v->lightmap[0]);
                WriteMemblockFloat(kMeshMemblock, at + 40, v->lightmap[1]);
            }
            at += stride;
        }
    }
    CreateMeshFromMemblock(kScratchMesh, kMeshMemblock);
}
