// The in-memory model of a loaded KEP map: plain records in lists. Each record
// owns what its owning lists hold and frees it with itself, so deleting a map
// frees every record under it; reference lists (CListOf) own nothing.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/CList.h"
#include "core/Cstring.h"
#include "core/memory.h"

struct KEP_Entity;
struct KEP_Group;
struct KEP_Mesh;

// A record's properties, keys and values in the order read. Each pair is held
// as "key\0value\0" in one block of text, beside where each pair starts, so
// that a record of many short lines costs about what its text does.
class KEP_Properties {
  public:
    int32_t Count() const { return static_cast<int32_t>(m_starts.size()); }
    // The key or value of property `index`; "" when there is none.
    const char* Key(int32_t index) const;
    const char* Value(int32_t index) const;
    // Appends one property; when memory is short, throws CError and leaves
    // the properties as they were.
    void Add(const std::string& key, const std::string& value);
    // Room for `bytes` more of text and `count` more properties, taken at once
    // where it can be (a long text then grows nothing while it is parsed);
    // Trim gives back what was not used.
    void Reserve(std::size_t bytes, std::size_t count);
    void Trim();

  private:
    std::vector<char, KepFixedAllocator<char, kKepUnitMap, __LINE__>> m_text;
    std::vector<int32_t, KepFixedAllocator<int32_t, kKepUnitMap, __LINE__>> m_starts;
};

// Each record keeps what the file says (and the links the readers resolve
// from it) apart from what the builders made of it in the host, which sits in
// one nested `build` record.

// What building made of a group.
struct KEP_GroupBuild {
    int32_t ownsObject = 0; // 1 when the group's own first surface made `object`
    int32_t object = 0;     // host object holding the group's geometry; 0 = none
    int32_t firstLimb = 0;  // the group's root limb; 0 = none
    int32_t built = 0;      // 1 once building has visited the group
};

struct KEP_Group {
    int32_t flags = 0;
    KEP_Properties properties;
    int32_t groupNumber = 0;
    int32_t parentGroupNumber = 0;
    int32_t values[3] = {};
    CListOf<KEP_Mesh> meshes;
    CListOf<KEP_Group> childGroups;
    KEP_Group* parent = nullptr;
    KEP_Entity* pivotEntity = nullptr; // the last PIVOT entity read for this group
    KEP_GroupBuild build;
};

struct KEP_VisGroup {
    Cstring name;
    int32_t values[4] = {};
};

// The host image a lightmap's pixels or a texture's file became; 0 = none.
struct KEP_ImageBuild {
    int32_t image = 0;
};

// A lightmap's pixels as the file holds them (32 bits each, in the host's
// image memblock order), kept from the read until the build has made the
// lightmap's image.
class KEP_Pixels {
  public:
    KEP_Pixels() = default;
    ~KEP_Pixels() { Release(); }
    KEP_Pixels(const KEP_Pixels&) = delete;
    KEP_Pixels& operator=(const KEP_Pixels&) = delete;

    // Room for `bytes` bytes in place of what was held; false, holding
    // nothing, when memory is short.
    bool Allocate(int32_t bytes);
    void Release();
    uint8_t* Bytes() const { return m_bytes; }

  private:
    uint8_t* m_bytes = nullptr;
};

struct KEP_Lightmap {
    int32_t width = 0;
    int32_t height = 0;
    KEP_Pixels pixels; // width * height * 4 bytes while held; none for a side <= 0
    KEP_ImageBuild build;
};

// A vertex as the file holds it, its 15 values in the file's order (normals,
// texture V and lightmap V already turned to the host's sense).
struct KEP_Vertex {
    float position[3] = {};
    float normal[3] = {};
    int32_t colour[3] = {};
    float texture[2] = {};
    float textureW = 0.0f;
    float lightmap[2] = {};
    float lightmapW = 0.0f;
};
static_assert(sizeof(KEP_Vertex) == 60, "a vertex is read as the file's 60 bytes");

// Corners and ends are indices of the surface's vertices as the file gives
// them; one that names no vertex stays as it is (and such a triangle is left
// out of the host's mesh).
struct KEP_Triangle {
    int32_t corners[3] = {};
};
struct KEP_Line {
    int32_t ends[2] = {};
};

// A surface's vertices, triangles and lines, held in one block: one
// allocation and one read per kind however many there are, and nothing at
// all for a surface without any (or once the geometry has been let go).
class KEP_Geometry {
  public:
    KEP_Geometry() = default;
    ~KEP_Geometry() { Release(); }
    KEP_Geometry(const KEP_Geometry&) = delete;
    KEP_Geometry& operator=(const KEP_Geometry&) = delete;

    // Room for the counts given (negative ones count 0), in place of what
    // was held; false, holding nothing, when memory is short.
    bool Allocate(int32_t vertices, int32_t triangles, int32_t lines);
    void Release();

    int32_t VertexCount() const { return m_block ? m_block->vertices : 0; }
    int32_t TriangleCount() const { return m_block ? m_block->triangles : 0; }
    int32_t LineCount() const { return m_block ? m_block->lines : 0; }
    // The arrays; null while nothing is held.
    KEP_Vertex* Vertices() const {
        return m_block ? reinterpret_cast<KEP_Vertex*>(m_block + 1) : nullptr;
    }
    KEP_Triangle* Triangles() const {
        return m_block ? reinterpret_cast<KEP_Triangle*>(Vertices() + VertexCount()) : nullptr;
    }
    KEP_Line* Lines() const {
        return m_block ? reinterpret_cast<KEP_Line*>(Triangles() + TriangleCount()) : nullptr;
    }
    // The vertex an index names, or null.
    const KEP_Vertex* VertexAt(int32_t index) const {
        return index >= 0 && index < VertexCount() ? Vertices() + index : nullptr;
    }

  private:
    struct Header {
        int32_t vertices;
        int32_t triangles;
        int32_t lines;
    };
    Header* m_block = nullptr; // the counts, then the three arrays
};

// What a surface became in the host: object and limb (limb 0 for the surface
// that made the object). object 0 = never built.
struct KEP_SurfaceBuild {
    int32_t object = 0;
    int32_t limb = 0;
};

struct KEP_Surface {
    int32_t firstValue = 0;
    int32_t textureIndex = 0;
    int32_t lightmapIndex = 0;
    float values[5] = {};
    KEP_Geometry geometry;
    // The geometry's counts as read, kept when the geometry is let go after
    // the build, so that the map can still say how large each surface is.
    int32_t vertexCount = 0;
    int32_t triangleCount = 0;
    KEP_SurfaceBuild build;
};

struct KEP_Mesh {
    int32_t flags = 0;
    KEP_Group* group = nullptr;
    KEP_VisGroup* visGroup = nullptr;
    KEP_Properties properties;
    int32_t values[3] = {};
    float position[3] = {};
    COwningList<KEP_Surface> surfaces;
};

struct KEP_Entity {
    KEP_VisGroup* visGroup = nullptr;
    KEP_Group* group = nullptr;
    KEP_Properties properties;
    float position[3] = {};
};

struct KEP_TextureInfo {
    Cstring name;
    KEP_ImageBuild build;
};

// What building made of a whole map.
struct KEP_MapBuild {
    int32_t objectsBuilt = 0; // host objects the build created for the map
};

struct KEP_Map {
    int32_t mapNumber = 0;
    int32_t version = 0;
    char mapDirectory[260] = {};
    // The default group first, then the file's groups from the last read to the first.
    COwningList<KEP_Group> groups;
    COwningList<KEP_VisGroup> visGroups;
    COwningList<KEP_Lightmap> lightmaps;
    COwningList<KEP_Mesh> meshes;
    COwningList<KEP_Entity> entities;
    COwningList<KEP_TextureInfo> textures; // in order of first use
    CListOf<KEP_Entity> pivots;
    // The colour the last AMBIENT property of an entity gave, if any.
    bool hasAmbient = false;
    uint32_t ambientColour = 0;
    KEP_MapBuild build;

    // Lookup aids for the readers beside the lists:
    // groupsByNumber[n - 1] is group number n; the default group is separate.
    std::vector<KEP_Group*, KepAllocator<KEP_Group*>> groupsByNumber{
        KepAllocator<KEP_Group*>(KEP_UNIT_MAP, __LINE__)};
    KEP_Group* defaultGroup = nullptr;
    // Upper-cased name -> index, for the textures the readers added. Those a
    // script adds later ("KEP TEXTURE CREATE") are not in it: only the
    // readers look names up, and they are done before a script can add one.
    using TextureIndex = std::pair<const std::string, int32_t>;
    std::unordered_map<std::string, int32_t, std::hash<std::string>, std::equal_to<std::string>,
                       KepAllocator<TextureIndex>>
        textureIndexByName{0, std::hash<std::string>(), std::equal_to<std::string>(),
                           KepAllocator<TextureIndex>(KEP_UNIT_MAP, __LINE__)};
};

// Vertices, triangles, lines and lightmap pixels serve only to build the
// host's meshes and images, and no command reads them: once a load has built
// (or failed), they go, which leaves a built map a small fraction of its
// file's size.
void KEP_ReleaseBuildInput(KEP_Map* map);

// Sets the map's directory, where its texture files are looked for, from the
// name of the file it is read from: the part up to the last separator, kept;
// empty when the name has no separator or that part is shorter than two
// characters. The name must fit the directory's room.
void KEP_SetMapDirectory(KEP_Map& map, const char* fileName);

// The map's group with that number, or null.
KEP_Group* KEP_FindGroup(KEP_Map& map, int32_t groupNumber);

// Turns a record's property text into properties; calls `onLine` with the
// key and value buffers of every finished line and whether it had an "="
// (entities look at CLASSNAME and AMBIENT there, the tools at lines without
// "="). Throws CError when memory is short.
template <class OnLine>
void KEP_ParseProperties(const Cstring& text, KEP_Properties& into, OnLine onLine);

// The text with the ASCII letters a to z turned to upper case, as names and
// keys are compared in a map: without regard to case.
std::string KEP_UpperCase(std::string text);

#include "map/property_text.inl"
