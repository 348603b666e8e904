// The map writer that the loading tests rely on must lay maps out byte-exactly.
#include <gtest/gtest.h>

#include <cstring>

#include "kep_writer.h"

namespace {

int32_t IntAt(const kepw::Bytes& bytes, std::size_t at) {
    uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v |= uint32_t{bytes.at(at + i)} << (8 * i);
    return static_cast<int32_t>(v);
}

float FloatAt(const kepw::Bytes& bytes, std::size_t at) {
    const uint32_t bits = static_cast<uint32_t>(IntAt(bytes, at));
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

TEST(MapWriter, EmptyMapsAreVersionAndCounts) {
    kepw::Map v4;
    EXPECT_EQ(kepw::Write(v4),
              kepw::Bytes({4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    kepw::Map v5;
    v5.version = 5;
    v5.visGroupCount = -2; // a count is written as given
    const kepw::Bytes bytes = kepw::Write(v5);
    ASSERT_EQ(bytes.size(), 24u);
    EXPECT_EQ(IntAt(bytes, 0), 5);
    EXPECT_EQ(IntAt(bytes, 8), -2);
}

TEST(MapWriter, MeshWithoutSurfacesHasTheVersionsLength) {
    kepw::Map map;
    kepw::Mesh mesh;
    mesh.properties = "a=b"; // 3 characters
    map.meshes.push_back(mesh);
    const std::size_t empty = 20;
    EXPECT_EQ(kepw::Write(map).size(), empty + 4 + 4 + 4 + 12 + 12 + 4);
    map.version = 5;
    EXPECT_EQ(kepw::Write(map).size(), empty + 4 + 4 + 4 + 4 + 12 + 12 + 4 + 4);
}

TEST(MapWriter, SurfaceFieldsStandInFileOrder) {
    kepw::Map map;
    kepw::Mesh mesh;
    kepw::Surface surface = kepw::TriangleSurface("abcde", 2);
    surface.firstValue = 77;
    surface.values = {1, 2, 3, 4, 5};
    surface.vertices[1].normal = {0.0f, 1.0f, 0.0f};
    surface.vertices[1].uv = {0.25f, 0.5f};
    surface.vertices[1].lightmapUv = {0.125f, 0.75f};
    surface.vertices[1].colour = {9, 8, 7};
    mesh.surfaces.push_back(surface);
    map.meshes.push_back(mesh);
    const kepw::Bytes bytes = kepw::Write(map);

    // version, group, lightmap and mesh counts; the mesh; its surface count
    const std::size_t surfaceAt = 16 + (4 + 4 + 1 + 12 + 12) + 4;
    ASSERT_EQ(bytes.size(), surfaceAt + 238 + 4); // 238-byte surface, then the entity count
    EXPECT_EQ(IntAt(bytes, surfaceAt), 77);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[surfaceAt + 4])), "abcde");
    EXPECT_EQ(IntAt(bytes, surfaceAt + 10), 2);
    EXPECT_EQ(FloatAt(bytes, surfaceAt + 14), 1.0f);
    EXPECT_EQ(FloatAt(bytes, surfaceAt + 30), 5.0f);
    EXPECT_EQ(IntAt(bytes, surfaceAt + 34), 3); // V
    EXPECT_EQ(IntAt(bytes, surfaceAt + 38), 1); // T
    EXPECT_EQ(IntAt(bytes, surfaceAt + 42), 0); // L
    const std::size_t vertex1 = surfaceAt + 46 + 60;
    EXPECT_EQ(FloatAt(bytes, vertex1 + 16), 1.0f);  // normal y, unchanged
    EXPECT_EQ(IntAt(bytes, vertex1 + 24), 9);       // red
    EXPECT_EQ(FloatAt(bytes, vertex1 + 36), 0.25f); // u
    EXPECT_EQ(FloatAt(bytes, vertex1 + 40), 0.5f);  // v
    EXPECT_EQ(FloatAt(bytes, vertex1 + 48), 0.125f);
    EXPECT_EQ(FloatAt(bytes, vertex1 + 52), 0.75f);
    const std::size_t triangle = surfaceAt + 46 + 180;
    EXPECT_EQ(IntAt(bytes, triangle + 8), 2);
}

TEST(MapWriter, LightmapPixelsFollowWidthAndHeight) {
    kepw::Map map;
    map.lightmaps.push_back(kepw::PatternLightmap(2, 3, 1));
    const kepw::Bytes bytes = kepw::Write(map);
    const std::size_t at = 4 + 4 + 4;
    ASSERT_EQ(bytes.size(), 20u + 8 + 24);
    EXPECT_EQ(IntAt(bytes, at), 2);
    EXPECT_EQ(IntAt(bytes, at + 4), 3);
    EXPECT_EQ(static_cast<uint32_t>(IntAt(bytes, at + 8 + 8)), map.lightmaps[0].pixels[2]);
}

TEST(MapWriter, BreakingHelpers) {
    kepw::Map map;
    map.groups.push_back({});
    map.groupCount = 0x7fffffff;
    const kepw::Bytes bytes = kepw::Write(map);
    EXPECT_EQ(IntAt(bytes, 4), 0x7fffffff);
    EXPECT_EQ(kepw::Truncate(bytes, 5).size(), 5u);
    EXPECT_EQ(kepw::Truncate(bytes, 1000), bytes);
    const kepw::Bytes v6 = kepw::WithVersion(bytes, 6);
    EXPECT_EQ(IntAt(v6, 0), 6);
    EXPECT_EQ(v6.size(), bytes.size());
}

} // namespace
