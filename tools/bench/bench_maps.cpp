#include "bench_maps.h"

#include <cmath>

namespace kepbench {
namespace {

const char* Texture(int i) {
    return kTextureNames[i % 3];
}

// Vertex i of a ring strip: a band of `count` points around a cylinder.
kepw::Vertex StripVertex(int i, int count, float radius) {
    const float angle = 6.2831853f * static_cast<float>(i / 2) / static_cast<float>(count / 2);
    kepw::Vertex v;
    v.position = {radius * std::cos(angle), static_cast<float>(i % 2), radius * std::sin(angle)};
    v.normal = {std::cos(angle), 0.0f, std::sin(angle)};
    v.colour = {i % 256, (i * 7) % 256, (i * 13) % 256};
    v.texture = {static_cast<float>(i / 2) / 8.0f, static_cast<float>(i % 2)};
    v.lightmap = {static_cast<float>(i / 2) / static_cast<float>(count), 0.5f * (i % 2)};
    return v;
}

// 100k groups, each the child of group n / 2 (a binary tree), 1000k one-triangle
// meshes spread over them and 1000k entities, every tenth a pivot.
kepw::Map WideHierarchy(int scale) {
    kepw::Map map;
    const int groups = 100 * scale;
    for (int g = 1; g <= groups; ++g)
        map.groups.push_back({0, g / 2, "name=group" + std::to_string(g), {}});
    for (int m = 0; m < 1000 * scale; ++m) {
        kepw::Mesh mesh;
        mesh.groupNumber = m % groups + 1;
        mesh.position = {static_cast<float>(m % 100), 0.0f, static_cast<float>(m / 100)};
        mesh.surfaces.push_back(kepw::TriangleSurface(Texture(m), 0));
        map.meshes.push_back(std::move(mesh));
    }
    for (int e = 0; e < 1000 * scale; ++e)
        map.entities.push_back(
            {0,
             e % groups + 1,
             e % 10 == 0 ? "classname=pivot" : "classname=light\ncolour=255 255 255",
             {static_cast<float>(e), 1.0f, 2.0f}});
    return map;
}

// One mesh with one surface of 20,000k vertices and triangles, lightmapped.
kepw::Map HugeSurface(int scale) {
    kepw::Map map;
    map.lightmaps.push_back(kepw::PatternLightmap(64, 64, 1));
    kepw::Mesh mesh;
    mesh.surfaces.push_back(Strip(20000 * scale, Texture(0), 1, 100.0f));
    map.meshes.push_back(std::move(mesh));
    return map;
}

// 100 groups and 100 entities whose property text holds 200k lines each.
kepw::Map LongProperties(int scale) {
    kepw::Map map;
    std::string text;
    for (int line = 0; line < 200 * scale; ++line)
        text += "key" + std::to_string(line) + "=\"value number " + std::to_string(line) + "\"\r\n";
    for (int g = 0; g < 100; ++g)
        map.groups.push_back({0, 0, text, {}});
    for (int e = 0; e < 100; ++e)
        map.entities.push_back({0, e + 1, "classname=info\n" + text, {0.0f, 0.0f, 0.0f}});
    kepw::Mesh mesh;
    mesh.groupNumber = 1;
    mesh.surfaces.push_back(kepw::TriangleSurface(Texture(0), 0));
    map.meshes.push_back(std::move(mesh));
    return map;
}

// 64k meshes of 10 surfaces of 100 triangles over 100 vertices each (1 M
// triangles at 16x), in 10 groups, with 4 lightmaps.
kepw::Map MillionTriangles(int scale) {
    kepw::Map map;
    for (int l = 0; l < 4; ++l)
        map.lightmaps.push_back(kepw::PatternLightmap(128, 128, static_cast<uint32_t>(l)));
    for (int g = 0; g < 10; ++g)
        map.groups.push_back({0, 0, "name=block" + std::to_string(g), {}});
    for (int m = 0; m < 64 * scale; ++m) {
        kepw::Mesh mesh;
        mesh.groupNumber = m % 10 + 1;
        mesh.position = {static_cast<float>(m % 32) * 10.0f, 0.0f,
                         static_cast<float>(m / 32) * 10.0f};
        for (int s = 0; s < 10; ++s)
            mesh.surfaces.push_back(Strip(100, Texture(s), s % 4 + 1, 1.0f + s));
        map.meshes.push_back(std::move(mesh));
    }
    return map;
}

} // namespace

// A closed strip of `vertices` vertices and as many triangles.
kepw::Surface Strip(int vertices, const char* texture, int lightmap, float radius) {
    kepw::Surface s;
    s.textureName = texture;
    s.lightmapNumber = lightmap;
    s.vertices.reserve(static_cast<std::size_t>(vertices));
    for (int i = 0; i < vertices; ++i)
        s.vertices.push_back(StripVertex(i, vertices, radius));
    s.triangles.reserve(static_cast<std::size_t>(vertices));
    for (int i = 0; i < vertices; ++i)
        s.triangles.push_back({i, (i + 1) % vertices, (i + 2) % vertices});
    return s;
}

const char* const kTextureNames[3] = {"stone.bmp", "wood.bmp", "metal.bmp"};

const Shape kShapes[4] = {
    {"wide hierarchy", "100k groups (binary tree), 1000k meshes, 1000k entities", &WideHierarchy},
    {"huge surface", "one surface of 20,000k triangles", &HugeSurface},
    {"long properties", "200 records of 200k property lines", &LongProperties},
    {"1M triangles", "64k meshes x 10 surfaces x 100 triangles, 4 lightmaps", &MillionTriangles},
};

} // namespace kepbench
