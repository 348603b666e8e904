// Mesh section: meshes, their surfaces, vertices, triangles and lines. Each
// surface's geometry is read as three blocks straight into the surface's one
// block of memory: the file stores vertices, corner indices and line ends
// just as the model keeps them (little-endian, as both targets are).
#include <cstdint>
#include <cstring>

#include "core/CError.h"
#include "map/kep_import.h"

namespace {

// Blocks of `count` records of `size` bytes, one after another: the data for
// each must be there before anything is allocated for it, and a count larger
// than the data fails at once, naming the shortfall where that block would
// begin.
struct Block {
    const char* item;
    int32_t count;
    int32_t size;
};

void NeedBlocks(KEP_LoadContext& load, const Block* blocks, int count) {
    const CFile& reader = load.reader;
    int64_t at = reader.Position();
    for (int b = 0; b < count; ++b) {
        load.place.item = blocks[b].item;
        const int64_t wanted = int64_t{blocks[b].count} * blocks[b].size;
        if (wanted > reader.Size() - at)
            KepFailEndOfData("KEP_DoSurfaces", KEP_UNIT_MAP, __LINE__, static_cast<int32_t>(at),
                             reader.Size(), wanted);
        if (wanted > 0) at += wanted;
    }
}

// A vertex's words as the model keeps them. Its 12 float values read one
// by one pass through the x87 stack on i386, which turns a signalling NaN
// into a quiet one; the block keeps that, so a vertex holds the same bytes
// whichever way it was read. Normals and V coordinates are stored pointing
// the other way from the host's sense: their sign is turned.
void TurnVertex(KEP_Vertex& vertex) {
    const uint32_t kSign = 0x80000000u, kExponent = 0x7F800000u, kQuiet = 0x00400000u;
    const uint32_t floats = 0x7E3Fu; // every word but the three colour values (6-8)
    const uint32_t turned = 0x2638u; // normal (3-5), texture (9-10), lightmap V (13)
    uint32_t words[15];
    std::memcpy(words, &vertex, sizeof words);
    for (int w = 0; w < 15; ++w) {
        if (!(floats >> w & 1u)) continue;
        if ((words[w] & kExponent) == kExponent && (words[w] & ~(kSign | kExponent)) != 0)
            words[w] |= kQuiet;
        if (turned >> w & 1u) words[w] ^= kSign;
    }
    std::memcpy(&vertex, words, sizeof words);
}

// For the tools only: corners that name no vertex of their surface (the
// builder leaves such triangles out).
void NoteCornersNamingNoVertex(const KEP_LoadContext& load, const KEP_Geometry& geometry) {
    const KEP_Triangle* triangles = geometry.Triangles();
    for (int32_t i = 0; i < geometry.TriangleCount(); ++i)
        for (int c = 0; c < 3; ++c) {
            const int32_t index = triangles[i].corners[c];
            if (geometry.VertexAt(index)) continue;
            KEP_NoteOddity(load, "triangle " + std::to_string(i + 1),
                           "corner " + std::to_string(c + 1) + " names vertex " +
                               std::to_string(index) + " of " +
                               std::to_string(geometry.VertexCount()));
        }
}

// The surface's one block for its vertices, triangles and lines, after
// checking that the data holds all three. When it cannot be had, the reader
// of the first kind it was to hold is the one that failed.
void AllocateGeometry(KEP_LoadContext& load, KEP_Surface* surface, int32_t vertexCount,
                      int32_t triangleCount, int32_t lineCount) {
    const Block blocks[3] = {{"vertex data", vertexCount, int32_t{sizeof(KEP_Vertex)}},
                             {"triangle data", triangleCount, int32_t{sizeof(KEP_Triangle)}},
                             {"line data", lineCount, int32_t{sizeof(KEP_Line)}}};
    NeedBlocks(load, blocks, 3);
    if (vertexCount <= 0 && triangleCount <= 0 && lineCount <= 0) return;
    if (surface->geometry.Allocate(vertexCount, triangleCount, lineCount)) {
        surface->vertexCount = surface->geometry.VertexCount();
        surface->triangleCount = surface->geometry.TriangleCount();
        return;
    }
    static const char* const kReaders[3] = {"KEP_DoVertices", "KEP_DoTriangles", "KEP_DoLines"};
    int first = 0;
    while (blocks[first].count <= 0)
        ++first;
    load.place.item = blocks[first].item;
    KEP_FAIL(OutOfMemory, RecordAllocation, kReaders[first], KEP_UNIT_MAP);
}

} // namespace

void KEP_DoMeshes(KEP_LoadContext& load) {
    CFile& reader = load.reader;
    KEP_Map* map = &load.map;
    load.place = {"mesh"};
    const int32_t count = reader.ReadInt();
    for (int32_t i = 0; i < count; ++i) {
        load.place.record = i + 1;
        load.place.surface = 0;
        load.place.item = nullptr;
        KepPending<KEP_Mesh> mesh(KepNewRecord<KEP_Mesh>("KEP_DoMeshes"));
        mesh->flags = reader.ReadInt();
        KEP_Group* group = KEP_FindGroup(*map, reader.ReadInt());
        mesh->group = group;
        Cstring text;
        reader.ReadString(text);
        for (int32_t& value : mesh->values)
            value = reader.ReadInt();
        for (float& value : mesh->position)
            value = reader.ReadFloat();
        if (map->version == 5) {
            const int32_t visGroup = reader.ReadInt();
            if (visGroup > 0) mesh->visGroup = map->visGroups.At(visGroup - 1);
            if (load.oddities && visGroup != 0 && !mesh->visGroup)
                KEP_NoteOddity(load, "",
                               "visgroup number " + std::to_string(visGroup) + " names none");
        }
        // The mesh joins its group's list and the map's list together, so a
        // failure never leaves a group pointing at a freed mesh.
        KEP_Mesh* added = KepHandOver(map->meshes, mesh);
        if (group) group->meshes.Add(added);
        KEP_ParseProperties(text, added->properties, KEP_BarePropertyLines{load});
        KEP_DoSurfaces(load, added);
    }
}

void KEP_DoSurfaces(KEP_LoadContext& load, KEP_Mesh* mesh) {
    CFile& reader = load.reader;
    load.place.item = "surface count";
    const int32_t count = reader.ReadInt();
    for (int32_t i = 0; i < count; ++i) {
        load.place.surface = i + 1;
        load.place.item = nullptr;
        KepPending<KEP_Surface> surface(KepNewRecord<KEP_Surface>("KEP_DoSurfaces"));
        surface->firstValue = reader.ReadInt();
        Cstring textureName;
        reader.ReadString(textureName);
        surface->textureIndex = KEP_FindTexture(load, textureName);
        const int32_t lightmapNumber = reader.ReadInt();
        surface->lightmapIndex = lightmapNumber > 0 ? lightmapNumber - 1 : -1;
        for (float& value : surface->values)
            value = reader.ReadFloat();
        const int32_t vertexCount = reader.ReadInt();
        const int32_t triangleCount = reader.ReadInt();
        const int32_t lineCount = reader.ReadInt();
        AllocateGeometry(load, surface.get(), vertexCount, triangleCount, lineCount);
        KEP_DoVertices(load, surface.get());
        KEP_DoTriangles(load, surface.get());
        KEP_DoLines(load, surface.get());
        // A CAULK surface is read whole and then dropped.
        if (surface->textureIndex == -1) continue;
        if (load.oddities && surface->lightmapIndex >= load.map.lightmaps.Count())
            KEP_NoteOddity(load, "",
                           "lightmap number " + std::to_string(lightmapNumber) + " names none");
        KepHandOver(mesh->surfaces, surface);
    }
}

void KEP_DoVertices(KEP_LoadContext& load, KEP_Surface* surface) {
    KEP_Geometry& geometry = surface->geometry;
    load.place.item = "vertex data";
    KEP_Vertex* vertices = geometry.Vertices();
    load.reader.ReadBytes(vertices, geometry.VertexCount() * int32_t{sizeof(KEP_Vertex)});
    for (int32_t i = 0; i < geometry.VertexCount(); ++i)
        TurnVertex(vertices[i]);
}

void KEP_DoTriangles(KEP_LoadContext& load, KEP_Surface* surface) {
    const KEP_Geometry& geometry = surface->geometry;
    load.place.item = "triangle data";
    load.reader.ReadBytes(geometry.Triangles(),
                          geometry.TriangleCount() * int32_t{sizeof(KEP_Triangle)});
    if (load.oddities) NoteCornersNamingNoVertex(load, geometry);
}

void KEP_DoLines(KEP_LoadContext& load, KEP_Surface* surface) {
    const KEP_Geometry& geometry = surface->geometry;
    load.place.item = "line data";
    load.reader.ReadBytes(geometry.Lines(), geometry.LineCount() * int32_t{sizeof(KEP_Line)});
}
