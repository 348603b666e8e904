// Builds the bytes of a KEP map (versions 4 and 5) from a description in code.
// Field names and order follow docs/kep-format.md.
//
// The description holds the values exactly as they stand in a file: nothing is
// checked, negated or resolved, so a map can be written deliberately broken
// (indices out of range, counts larger than the data, a foreign version) as
// well as sound. Used by the tests and by tools that make sample maps.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kepw {

struct Group {
    int32_t flags = 0;
    int32_t parentGroupNumber = 0; // 0 for none
    std::string properties;
    std::array<int32_t, 3> values{};
};

struct VisGroup {
    std::string name;
    std::array<int32_t, 4> values{};
};

// Pixels are written as given, row after row; a well-formed lightmap holds
// width * height of them. Fewer (or none) make a lightmap that claims more
// data than the file has.
struct Lightmap {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
};

// A vertex as stored in the file (the reader applies any sign changes).
struct Vertex {
    std::array<float, 3> position{};
    std::array<float, 3> normal{};
    std::array<int32_t, 3> colour{};
    std::array<float, 2> texture{};
    float textureW = 0.0f;
    std::array<float, 2> lightmap{};
    float lightmapW = 0.0f;
};

struct Surface {
    int32_t firstValue = 0;
    std::string textureName;
    int32_t lightmapNumber = 0; // 1-based, 0 for none
    std::array<float, 5> values{};
    std::vector<Vertex> vertices;
    std::vector<std::array<int32_t, 3>> triangles; // corners: 0-based vertex indices
    std::vector<std::array<int32_t, 2>> lines;     // ends: 0-based vertex indices
    // Written instead of the list sizes when set.
    std::optional<int32_t> vertexCount;
    std::optional<int32_t> triangleCount;
    std::optional<int32_t> lineCount;
};

struct Mesh {
    int32_t flags = 0;
    int32_t groupNumber = 0; // 0 for the default group
    std::string properties;
    std::array<int32_t, 3> values{};
    std::array<float, 3> position{};
    int32_t visGroupNumber = 0; // 1-based; written for version 5 only
    std::vector<Surface> surfaces;
    std::optional<int32_t> surfaceCount;
};

struct Entity {
    int32_t visGroupNumber = 0; // 1-based, 0 for none; written for every version
    int32_t groupNumber = 0;
    std::string properties;
    std::array<float, 3> position{};
};

struct Map {
    int32_t version = 4;
    std::vector<Group> groups;
    std::vector<VisGroup> visGroups; // written for version 5 only
    std::vector<Lightmap> lightmaps;
    std::vector<Mesh> meshes;
    std::vector<Entity> entities;
    // Written instead of the list sizes when set.
    std::optional<int32_t> groupCount;
    std::optional<int32_t> visGroupCount;
    std::optional<int32_t> lightmapCount;
    std::optional<int32_t> meshCount;
    std::optional<int32_t> entityCount;
};

using Bytes = std::vector<uint8_t>;

// Little-endian primitives of the format, for hand-made byte sequences.
class ByteWriter {
  public:
    void Int(int32_t value);
    void UInt(uint32_t value);
    void Float(float value);
    // The text's bytes and a terminating zero.
    void String(const std::string& text);
    // Raw bytes, without a terminator.
    void Raw(const void* data, std::size_t size);

    const Bytes& bytes() const { return m_bytes; }
    Bytes Take() { return std::move(m_bytes); }

  private:
    Bytes m_bytes;
};

// The whole map. The visgroup section and each mesh's visgroup number are
// written when the version is 5; any other version is written with the
// version-4 layout.
Bytes Write(const Map& map);

// The first `size` bytes (all of them when `size` is larger).
Bytes Truncate(const Bytes& bytes, std::size_t size);

// The same bytes with the leading version number replaced.
Bytes WithVersion(Bytes bytes, int32_t version);

// A lightmap of the given size whose pixels are 0xff000000 + its position
// mixed with `seed`, so that every pixel differs.
Lightmap PatternLightmap(int32_t width, int32_t height, uint32_t seed);

// A surface with three distinct vertices and one triangle over them.
Surface TriangleSurface(const std::string& textureName, int32_t lightmapNumber);

// Writes the bytes to a file, replacing it; false on any failure.
bool WriteFile(const std::string& path, const Bytes& bytes);

} // namespace kepw
