// Mesh section: meshes, their surfaces, vertices, triangles and lines.
#include "core/CError.h"
#include "map/kep_import.h"

namespace {

// A vertex index names a vertex of the same surface, or nothing.
KEP_Vertex* VertexAt(KEP_Surface* surface, int32_t index) {
    return surface->vertices.At(index);
}

// The data for `count` records of `size` bytes must be there before any is
// made: a count larger than the data fails at once, naming the shortfall.
void NeedBytes(KEP_LoadContext& load, const char* item, int32_t count, int32_t size) {
    load.place.item = item;
    const int64_t wanted = int64_t{count} * size;
    const CFile& reader = load.reader;
    if (wanted > reader.Remaining())
        KepFailEndOfData("KEP_DoSurfaces", KEP_UNIT_MAP, __LINE__, reader.Position(), reader.Size(),
                         wanted);
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
        }
        // The mesh joins its group's list and the map's list together, so a
        // failure never leaves a group pointing at a freed mesh.
        KEP_Mesh* added = KepHandOver(map->meshes, mesh);
        if (group) group->meshes.Add(added);
        KEP_ParseProperties(text, added->properties);
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
        KEP_DoVertices(load, surface.get(), vertexCount);
        KEP_DoTriangles(load, surface.get(), triangleCount);
        KEP_DoLines(load, surface.get(), lineCount);
        // A CAULK surface is read whole and then dropped.
        if (surface->textureIndex == -1) continue;
        KepHandOver(mesh->surfaces, surface);
    }
}

void KEP_DoVertices(KEP_LoadContext& load, KEP_Surface* surface, int32_t count) {
    CFile& reader = load.reader;
    NeedBytes(load, "vertex data", count, 60);
    for (int32_t i = 0; i < count; ++i) {
        KepPending<KEP_Vertex> vertex(KepNewRecord<KEP_Vertex>("KEP_DoVertices"));
        for (float& value : vertex->position)
            value = reader.ReadFloat();
        for (float& value : vertex->normal)
            value = -reader.ReadFloat();
        for (int32_t& value : vertex->colour)
            value = reader.ReadInt();
        for (float& value : vertex->texture)
            value = -reader.ReadFloat();
        vertex->textureW = reader.ReadFloat();
        vertex->lightmap[0] = reader.ReadFloat();
        vertex->lightmap[1] = -reader.ReadFloat();
        vertex->lightmapW = reader.ReadFloat();
        KepHandOver(surface->vertices, vertex);
    }
}

void KEP_DoTriangles(KEP_LoadContext& load, KEP_Surface* surface, int32_t count) {
    CFile& reader = load.reader;
    NeedBytes(load, "triangle data", count, 12);
    for (int32_t i = 0; i < count; ++i) {
        KepPending<KEP_Triangle> triangle(KepNewRecord<KEP_Triangle>("KEP_DoTriangles"));
        for (KEP_Vertex*& corner : triangle->corners)
            corner = VertexAt(surface, reader.ReadInt());
        KepHandOver(surface->triangles, triangle);
    }
}

void KEP_DoLines(KEP_LoadContext& load, KEP_Surface* surface, int32_t count) {
    CFile& reader = load.reader;
    NeedBytes(load, "line data", count, 8);
    for (int32_t i = 0; i < count; ++i) {
        KepPending<KEP_Line> line(KepNewRecord<KEP_Line>("KEP_DoLines"));
        for (KEP_Vertex*& end : line->ends)
            end = VertexAt(surface, reader.ReadInt());
        KepHandOver(surface->lines, line);
    }
}
