#include "seed_maps.h"

namespace fuzz {

namespace {

kepw::Surface Triangle(const std::string& texture, int32_t lightmap, float at) {
    kepw::Surface s = kepw::TriangleSurface(texture, lightmap);
    for (kepw::Vertex& v : s.vertices)
        v.position[0] += at;
    return s;
}

// Groups 1 (top, with a pivot), 2 (child of 1) and 3 (child of 2), a
// visgroup, lightmaps of several shapes, meshes in the default group and in
// groups, surfaces that are lit, caulked, lined or without triangles, and
// entities: pivots, an ambient colour and plain ones.
kepw::Map FullMap(int32_t version) {
    kepw::Map map;
    map.version = version;
    map.groups = {{1, 0, "name=top\nkind=room", {1, 2, 3}},
                  {2, 1, "name=door\nx=y", {4, 5, 6}},
                  {0, 2, "name=handle", {7, 8, 9}}};
    map.visGroups = {{"inside", {1, 2, 3, 4}}, {"outside", {0, 0, 0, 0}}};
    map.lightmaps = {kepw::PatternLightmap(2, 2, 5), kepw::PatternLightmap(1, 1, 6),
                     kepw::PatternLightmap(0, 0, 7), kepw::PatternLightmap(3, 1, 8)};
    kepw::Mesh room;
    room.groupNumber = 1;
    room.properties = "solid=1";
    room.position = {1.0f, 2.0f, 3.0f};
    room.visGroupNumber = 1;
    room.surfaces = {Triangle("t.bmp", 1, 0), Triangle("caulk", 0, 1), Triangle("u.bmp", 2, 2)};
    room.surfaces[0].lines = {{0, 2}, {1, 2}};
    kepw::Mesh door;
    door.groupNumber = 2;
    door.position = {-4.0f, 0.0f, 8.0f};
    door.surfaces = {Triangle("u.bmp", 4, 3)};
    kepw::Mesh loose; // the default group's
    loose.surfaces = {Triangle("t.bmp", 0, 4), kepw::Surface{}};
    loose.surfaces[1].textureName = "t.bmp";
    kepw::Mesh handle;
    handle.groupNumber = 3;
    handle.visGroupNumber = 2;
    handle.surfaces = {Triangle("T.BMP", 3, 5)};
    map.meshes = {room, door, loose, handle};
    map.entities = {{1, 1, "classname=pivot\nname=p1", {1, 2, 3}},
                    {0, 2, "classname=PIVOT", {-1, 0, 4}},
                    {0, 0, "ambient=10 20 30", {0, 0, 0}},
                    {2, 3, "classname=light\nbrightness=200", {5, 5, 5}}};
    return map;
}

} // namespace

const std::vector<std::string>& SeedTextureNames() {
    static const std::vector<std::string> names = {"t.bmp", "u.bmp"};
    return names;
}

std::vector<std::pair<std::string, kepw::Map>> SeedMaps() {
    std::vector<std::pair<std::string, kepw::Map>> maps;
    for (int32_t version : {4, 5}) {
        const std::string v = "v" + std::to_string(version) + "_";
        kepw::Map empty;
        empty.version = version;
        maps.emplace_back(v + "empty", empty);
        maps.emplace_back(v + "full", FullMap(version));
        kepw::Map meshOnly;
        meshOnly.version = version;
        meshOnly.meshes = {{}};
        meshOnly.meshes[0].position = {10.0f, 0.0f, -10.0f};
        meshOnly.meshes[0].surfaces = {Triangle("t.bmp", 0, 0), Triangle("t.bmp", 0, 1)};
        maps.emplace_back(v + "mesh", meshOnly);
    }
    return maps;
}

} // namespace fuzz
