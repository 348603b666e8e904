// Mesh section: meshes, their surfaces, vertices, triangles and lines. Each
// surface's geometry is read as three blocks straight into the surface's one
// block of memory: the file stores vertices, corner indices and line ends
// just as the model keeps them (little-endian, as both targets are).
#include <cstdint>
#include <cstring>

#include "core/CError.h"
#include "map/kep_read.h"

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

void NeedBlocks(KEP_ReadContext& read, const Block* blocks, int count) {
    const CFile& reader = read.reader;
    int64_t at = reader.Position();
    for (int b = 0; b < count; ++b) {
        read.place.item = blocks[b].item;
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
void NoteCornersNamingNoVertex(const KEP_ReadContext& read, const KEP_Geometry& geometry) {
    const KEP_Triangle* triangles = geometry.Triangles();
    for (int32_t i = 0; i < geometry.TriangleCount(); ++i)
        for (int c = 0; c < 3; ++c) {
            const int32_t index = triangles[i].corners[c];
            if (geometry.VertexAt(index)) continue;
            KEP_NoteOddity(read, "triangle " + std::to_string(i + 1),
                           "corner " + std::to_string(c + 1) + " names vertex " +
                               std::to_string(index) + " of " +
                               std::to_string(geometry.VertexCount()));
        }
}

// The surface's one block for its vertices, triangles and lines, after
// checking that the data holds all three. When it cannot be had, the reader
// of the first kind it was to hold is the one that failed.
void AllocateGeometry(KEP_ReadContext& read, KEP_Surface* surface, int32_t vertexCount,
                      int32_t triangleCount, int32_t lineCount) {
    const Block blocks[3] = {{"vertex data", vertexCount, int32_t{sizeof(KEP_Vertex)}},
                             {"triangle data", triangleCount, int32_t{sizeof(KEP_Triangle)}},
                             {"line data", lineCount, int32_t{sizeof(KEP_Line)}}};
    NeedBlocks(read, blocks, 3);
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
    read.place.item = blocks[first].item;
    KEP_FAIL(OutOfMemory, RecordAllocation, kReaders[first], KEP_UNIT_MAP);
}

} // namespace

void KEP_DoMeshes(KEP_ReadContext& read) {
    CFile& reader = read.reader;
    KEP_Map* map = &read.map;
    KepForEachRecord(read, "mesh", [&](int32_t) {
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
            if (read.options.oddities && visGroup != 0 && !mesh->visGroup)
                KEP_NoteOddity(read, "",
                               "visgroup number " + std::to_string(visGroup) + " names none");
        }
        // The mesh joins its group's list and the map's list together, so a
        // failure never leaves a group pointing at a freed mesh.
        KEP_Mesh* added = KepHandOver(map->meshes, mesh);
        if (group) group->meshes.Add(added);
        KEP_ParseProperties(text, added->properties, KEP_BarePropertyLines{read});
        KEP_DoSurfaces(read, added);
    });
}

void KEP_DoSurfaces(KEP_ReadContext& read, KEP_Mesh* mesh) {
    CFile& reader = read.reader;
    read.place.item = "surface count";
    const int32_t count = reader.ReadInt();
    for (int32_t i = 0; i < count; ++i) {
        read.place.surface = i + 1;
        read.place.item = nullptr;
        KepPending<KEP_Surface> surface(KepNewRecord<KEP_Surface>("KEP_DoSurfaces"));
        surface->firstValue = reader.ReadInt();
        Cstring textureName;
        reader.ReadString(textureName);
        surface->textureIndex = KEP_FindTexture(read, textureName);
        const int32_t lightmapNumber = reader.ReadInt();
        surface->lightmapIndex = lightmapNumber > 0 ? lightmapNumber - 1 : -1;
        for (float& value : surface->values)
            value = reader.ReadFloat();
        const int32_t vertexCount = reader.ReadInt();
        const int32_t triangleCount = reader.ReadInt();
        const int32_t lineCount = reader.ReadInt();
        AllocateGeometry(read, surface.get(), vertexCount, triangleCount, lineCount);
        KEP_DoVertices(read, surface.get());
        KEP_DoTriangles(read, surface.get());
        KEP_DoLines(read, surface.get());
        // A CAULK surface is read whole and then dropped.
        if (surface->textureIndex == -1) continue;
        if (read.options.oddities && surface->lightmapIndex >= read.map.lightmaps.Count())
            KEP_NoteOddity(read, "",
                           "lightmap number " + std::to_string(lightmapNumber) + " names none");
        KepHandOver(mesh->surfaces, surface);
    }
}

void KEP_DoVertices(KEP_ReadContext& read, KEP_Surface* surface) {
    KEP_Geometry& geometry = surface->geometry;
    read.place.item = "vertex data";
    KEP_Vertex* vertices = geometry.Vertices();
    read.reader.ReadBytes(vertices, geometry.VertexCount() * int32_t{sizeof(KEP_Vertex)});
    for (int32_t i = 0; i < geometry.VertexCount(); ++i)
        TurnVertex(vertices[i]);
}

void KEP_DoTriangles(KEP_ReadContext& read, KEP_Surface* surface) {
    const KEP_Geometry& geometry = surface->geometry;
    read.place.item = "triangle data";
    read.reader.ReadBytes(geometry.Triangles(),
                          geometry.TriangleCount() * int32_t{sizeof(KEP_Triangle)});
    if (read.options.oddities) NoteCornersNamingNoVertex(read, geometry);
}

void KEP_DoLines(KEP_ReadContext& read, KEP_Surface* surface) {
    const KEP_Geometry& geometry = surface->geometry;
    read.place.item = "line data";
    read.reader.ReadBytes(geometry.Lines(), geometry.LineCount() * int32_t{sizeof(KEP_Line)});
}
