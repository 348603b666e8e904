// Writes the maps the export tests run through outside glTF readers, with the
// textures they name, into one folder:
//   nested.kep  version 5, a chain of child groups built as nested limbs,
//               pivots, two lightmaps, unlit and CAULK surfaces
//   plain.kep   version 4, no lightmaps, geometry in no group
//   grid.kep    version 5, 120 groups of two surfaces each
//
//   make_export_maps <output folder>
#include <cstdio>
#include <string>
#include <vector>

#include "kep_writer.h"

#include "stb_image_write_here.h"

namespace {

// A square in the plane y = height, facing up, its corner at (x, z); the file
// stores normals and texture coordinates negated, as the reader expects.
kepw::Surface Tile(const std::string& texture, int lightmap, float x, float z, float size,
                   float height) {
    kepw::Surface surface;
    surface.textureName = texture;
    surface.lightmapNumber = lightmap;
    const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const auto& c : corners) {
        kepw::Vertex v;
        v.position = {x + c[0] * size, height, z + c[1] * size};
        v.normal = {0, -1, 0};
        v.colour = {255, 255, 255};
        v.texture = {-c[0], -c[1]};
        v.lightmap = {c[0], -c[1]};
        surface.vertices.push_back(v);
    }
    surface.triangles = {{0, 2, 1}, {0, 3, 2}};
    return surface;
}

kepw::Map Nested() {
    kepw::Map map;
    map.version = 5;
    // Group n + 1 is the parent of group n: built from the last number down,
    // group 5 makes the object and the others join it as limbs in a chain.
    for (int n = 1; n <= 5; ++n)
        map.groups.push_back({0, n < 5 ? n + 1 : 0, "name=link " + std::to_string(n), {}});
    map.visGroups = {{"All", {}}};
    map.lightmaps = {kepw::PatternLightmap(8, 8, 1), kepw::PatternLightmap(4, 16, 2)};
    for (int n = 1; n <= 5; ++n) {
        kepw::Mesh mesh;
        mesh.groupNumber = n;
        mesh.visGroupNumber = 1;
        mesh.surfaces = {Tile("a.bmp", 1 + n % 2, 0, n * 2.0f, 1.5f, n * 0.5f),
                         Tile("b.bmp", 0, 2, n * 2.0f, 1.5f, n * 0.5f),
                         Tile("CAULK", 0, 4, n * 2.0f, 1.5f, 0)};
        map.meshes.push_back(mesh);
    }
    map.entities = {{0, 0, "classname=worldspawn", {0, 0, 0}},
                    {0, 5, "classname=pivot\nname=chain", {0, 2.5f, 10}},
                    {0, 3, "classname=pivot\nname=middle", {0, 1.5f, 6}},
                    {0, 0, "classname=info_player_start\nangle=0", {-4, 1, 5}}};
    return map;
}

kepw::Map Plain() {
    kepw::Map map;
    map.version = 4;
    kepw::Mesh mesh;
    for (int i = 0; i < 3; ++i)
        mesh.surfaces.push_back(Tile(i % 2 ? "a.bmp" : "b.bmp", 0, i * 3.0f, 0, 2, 0));
    map.meshes = {mesh};
    map.entities = {{0, 0, "classname=light\nlight=200 200 200", {1, 3, 1}}};
    return map;
}

kepw::Map Grid() {
    kepw::Map map;
    map.version = 5;
    map.lightmaps = {kepw::PatternLightmap(16, 16, 3)};
    for (int n = 1; n <= 120; ++n) {
        map.groups.push_back({0, 0, "name=cell " + std::to_string(n), {}});
        kepw::Mesh mesh;
        mesh.groupNumber = n;
        const float x = (n % 12) * 2.0f, z = (n / 12) * 2.0f;
        mesh.surfaces = {Tile("a.bmp", 1, x, z, 1.8f, 0), Tile("b.bmp", 0, x, z, 1.8f, 1)};
        map.meshes.push_back(mesh);
    }
    return map;
}

bool WriteTexture(const std::string& path, uint8_t red) {
    std::vector<uint8_t> rgb(8 * 8 * 3);
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = red;
        rgb[i + 1] = static_cast<uint8_t>(i);
        rgb[i + 2] = 90;
    }
    return stbi_write_bmp(path.c_str(), 8, 8, 3, rgb.data()) != 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    const bool written = WriteTexture(folder + "a.bmp", 200) &&
                         WriteTexture(folder + "b.bmp", 40) &&
                         kepw::WriteFile(folder + "nested.kep", kepw::Write(Nested())) &&
                         kepw::WriteFile(folder + "plain.kep", kepw::Write(Plain())) &&
                         kepw::WriteFile(folder + "grid.kep", kepw::Write(Grid()));
    if (!written) std::fprintf(stderr, "cannot write the maps into %s\n", argv[1]);
    return written ? 0 : 1;
}
