// Writes the bundled sample map: a small lit room with a crate that moves
// through its pivot, its textures and a lightmap.
//
//   make_sample_map <output directory>
//
// The room (group 1) is lightmapped; the crate (group 3) has a pivot entity
// and a child group (its lid, group 2) that builds into the crate's object as
// limbs; a pillar belongs to no group; one CAULK face shows how hidden faces
// are dropped; the worldspawn entity carries an AMBIENT colour.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "kep_writer.h"

#include "stb_image_write_here.h"

namespace {

struct P3 {
    float x, y, z;
};

// File values: the reader negates normals, texture coordinates and the
// lightmap v, so they are written negated here.
kepw::Vertex MakeVertex(P3 p, P3 normal, float u, float v, float lu, float lv) {
    kepw::Vertex vertex;
    vertex.position = {p.x, p.y, p.z};
    vertex.normal = {-normal.x, -normal.y, -normal.z};
    vertex.colour = {255, 255, 255};
    vertex.texture = {-u, -v};
    vertex.lightmap = {lu, -lv};
    return vertex;
}

// A quad p0 p1 p2 p3 with texture coordinates from a world-units-per-tile scale
// and lightmap coordinates spread over the whole lightmap.
kepw::Surface Quad(const std::string& texture, int lightmap, P3 p0, P3 p1, P3 p2, P3 p3, P3 normal,
                   float tile) {
    kepw::Surface surface;
    surface.textureName = texture;
    surface.lightmapNumber = lightmap;
    const P3 corners[4] = {p0, p1, p2, p3};
    const float uvs[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const float width = std::sqrt((p1.x - p0.x) * (p1.x - p0.x) + (p1.y - p0.y) * (p1.y - p0.y) +
                                  (p1.z - p0.z) * (p1.z - p0.z));
    const float height = std::sqrt((p3.x - p0.x) * (p3.x - p0.x) + (p3.y - p0.y) * (p3.y - p0.y) +
                                   (p3.z - p0.z) * (p3.z - p0.z));
    for (int i = 0; i < 4; ++i)
        surface.vertices.push_back(MakeVertex(corners[i], normal, uvs[i][0] * width / tile,
                                              uvs[i][1] * height / tile, uvs[i][0], uvs[i][1]));
    surface.triangles = {{0, 1, 2}, {0, 2, 3}};
    surface.lines = {{0, 1}, {1, 2}, {2, 3}, {3, 0}};
    return surface;
}

// The five visible faces of an axis-aligned box (no bottom).
std::vector<kepw::Surface> Box(const std::string& texture, P3 low, P3 high, float tile) {
    const float x0 = low.x, y0 = low.y, z0 = low.z, x1 = high.x, y1 = high.y, z1 = high.z;
    return {
        Quad(texture, 0, {x0, y1, z0}, {x1, y1, z0}, {x1, y1, z1}, {x0, y1, z1}, {0, 1, 0}, tile),
        Quad(texture, 0, {x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0}, {0, 0, -1}, tile),
        Quad(texture, 0, {x1, y0, z1}, {x0, y0, z1}, {x0, y1, z1}, {x1, y1, z1}, {0, 0, 1}, tile),
        Quad(texture, 0, {x0, y0, z1}, {x0, y0, z0}, {x0, y1, z0}, {x0, y1, z1}, {-1, 0, 0}, tile),
        Quad(texture, 0, {x1, y0, z0}, {x1, y0, z1}, {x1, y1, z1}, {x1, y1, z0}, {1, 0, 0}, tile),
    };
}

using Texels = std::vector<uint8_t>;

bool WriteTexture(const std::string& path, int size, void (*shade)(int, int, uint8_t*)) {
    Texels rgb(static_cast<std::size_t>(size) * size * 3);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            shade(x, y, &rgb[(static_cast<std::size_t>(y) * size + x) * 3]);
    return stbi_write_bmp(path.c_str(), size, size, 3, rgb.data()) != 0;
}

void Flagstones(int x, int y, uint8_t* out) {
    const bool light = ((x / 16) + (y / 16)) % 2 == 0;
    const bool seam = x % 16 == 0 || y % 16 == 0;
    const int base = seam ? 70 : light ? 150 : 120;
    out[0] = static_cast<uint8_t>(base);
    out[1] = static_cast<uint8_t>(base - 6);
    out[2] = static_cast<uint8_t>(base - 14);
}

void Bricks(int x, int y, uint8_t* out) {
    const int row = y / 8;
    const bool mortar = y % 8 == 0 || (x + (row % 2) * 8) % 16 == 0;
    out[0] = mortar ? 180 : static_cast<uint8_t>(150 + (x * 7 + row * 13) % 30);
    out[1] = mortar ? 175 : 70;
    out[2] = mortar ? 160 : 50;
}

void Planks(int x, int y, uint8_t* out) {
    const bool frame = x < 4 || y < 4 || x > 59 || y > 59 || std::abs(x - y) < 3;
    const int grain = (y * 5 + (x % 9) * 3) % 24;
    out[0] = static_cast<uint8_t>(frame ? 110 : 160 + grain);
    out[1] = static_cast<uint8_t>(frame ? 70 : 110 + grain);
    out[2] = static_cast<uint8_t>(frame ? 35 : 55);
}

// A warm pool of light in the middle of the room, darker towards the walls.
kepw::Lightmap RoomLightmap() {
    kepw::Lightmap lightmap;
    lightmap.width = lightmap.height = 32;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const double dx = (x - 15.5) / 16.0, dy = (y - 15.5) / 16.0;
            const double glow = std::max(0.0, 1.0 - std::sqrt(dx * dx + dy * dy) / 1.2);
            const uint32_t level = static_cast<uint32_t>(80 + 120 * glow);
            const uint32_t red = level, green = level * 94 / 100, blue = level * 80 / 100;
            lightmap.pixels.push_back(0xFF000000u | red << 16 | green << 8 | blue);
        }
    return lightmap;
}

kepw::Map SampleMap() {
    kepw::Map map;
    map.version = 5;
    map.groups = {
        {0, 0, "name=room\nsolid=1", {0, 0, 0}},
        // The lid is numbered before its parent: groups are built from the
        // last number down, so the crate makes the object and the lid joins
        // it as limbs.
        {0, 3, "name=crate lid", {0, 0, 0}},
        {1, 0, "name=crate\nmovable=1", {0, 0, 0}},
    };
    map.visGroups = {{"Structure", {0, 0, 0, 0}}, {"Props", {0, 0, 0, 0}}};
    map.lightmaps = {RoomLightmap()};

    kepw::Mesh room;
    room.groupNumber = 1;
    room.visGroupNumber = 1;
    room.properties = "detail=0";
    const float h = 6.0f;
    room.surfaces = {
        Quad("floor.bmp", 1, {-10, 0, -10}, {10, 0, -10}, {10, 0, 10}, {-10, 0, 10}, {0, 1, 0}, 4),
        Quad("wall.bmp", 1, {-10, 0, 10}, {10, 0, 10}, {10, h, 10}, {-10, h, 10}, {0, 0, -1}, 4),
        Quad("wall.bmp", 1, {-10, 0, -10}, {-10, 0, 10}, {-10, h, 10}, {-10, h, -10}, {1, 0, 0}, 4),
        Quad("wall.bmp", 1, {10, 0, 10}, {10, 0, -10}, {10, h, -10}, {10, h, 10}, {-1, 0, 0}, 4),
        // The ceiling is hidden: a CAULK face is read and dropped.
        Quad("common/caulk.bmp", 0, {-10, h, -10}, {10, h, -10}, {10, h, 10}, {-10, h, 10},
             {0, -1, 0}, 4),
    };

    kepw::Mesh crate;
    crate.groupNumber = 3;
    crate.visGroupNumber = 2;
    crate.properties = "material=wood";
    crate.surfaces = Box("crate.bmp", {2, 0, 1}, {4, 2, 3}, 2);

    kepw::Mesh lid;
    lid.groupNumber = 2;
    lid.visGroupNumber = 2;
    lid.surfaces = {Quad("crate.bmp", 0, {1.8f, 2.05f, 0.8f}, {4.2f, 2.05f, 0.8f},
                         {4.2f, 2.05f, 3.2f}, {1.8f, 2.05f, 3.2f}, {0, 1, 0}, 2.4f)};

    kepw::Mesh pillar;
    pillar.groupNumber = 0;
    pillar.visGroupNumber = 1;
    pillar.surfaces = Box("WALL.BMP", {-6, 0, 4}, {-5, 4, 5}, 1);

    map.meshes = {room, crate, lid, pillar};
    map.entities = {
        {0, 0, "classname=worldspawn\nmessage=KEP sample room\nAMBIENT=16 16 24", {0, 0, 0}},
        {0, 0, "classname=light\nlight=255 230 200\nradius=14", {0, 5, 0}},
        {0, 0, "classname=info_player_start\nangle=90", {0, 1, -8}},
        {2, 3, "classname=pivot\nname=crate pivot", {3, 0, 2}},
        {2, 2, "classname=pivot\nname=lid hinge", {3, 2.05f, 0.8f}},
    };
    return map;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const bool written = kepw::WriteFile(dir + "sample.kep", kepw::Write(SampleMap())) &&
                         WriteTexture(dir + "floor.bmp", 64, Flagstones) &&
                         WriteTexture(dir + "wall.bmp", 64, Bricks) &&
                         WriteTexture(dir + "crate.bmp", 64, Planks);
    if (!written) {
        std::fprintf(stderr, "could not write the sample map into %s\n", argv[1]);
        return 1;
    }
    std::printf("wrote %ssample.kep with floor.bmp, wall.bmp and crate.bmp\n", dir.c_str());
    return 0;
}
