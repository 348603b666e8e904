// A map with every kind of record through both loading commands in both versions,
// compared field by field with what was written.
#include <algorithm>
#include <climits>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "load_helpers.h"
#include "plugin/exports.h"
#include "simhost/memblocks_images.h"

namespace {

using Ints = std::vector<int32_t>;
using Strings = std::vector<std::string>;
template <class T, std::size_t N> std::vector<T> Vec(const T (&a)[N]) {
    return {a, a + N};
}

// `get` of each item of a model list, in list order.
template <class List, class Get> auto Each(const List& list, Get get) {
    std::vector<std::decay_t<decltype(get(list.At(0)))>> results;
    for (auto* item : list)
        results.push_back(get(item));
    return results;
}

const auto NumberOf = [](const KEP_Group* group) { return group ? group->groupNumber : -1; };

kepw::Map RichMap(int32_t version) {
    using kepw::TriangleSurface;
    kepw::Map map;
    map.version = version;
    // Group 1 has children 2 and 3, group 3 has child 5; group 4's parent 7 does not exist.
    map.groups = {{11, 0, "name=Door\r\n\"target\"=\"t1\"\n\nempty\n=x\na=b=d\n a = b ", {1, 2, 3}},
                  {22, 1, "name=Frame", {4, 5, 6}},
                  {33, 1, "", {}},
                  {44, 7, "x", {}},
                  {55, 3, "", {}}};
    map.visGroups = {{"Walls", {1, 2, 3, 4}}, {"Lights", {5, 6, 7, 8}}};
    map.lightmaps = {{3, 1, {0xff804020u, 0x80f00010u, 0x0000f000u}}, {-3, -2, {}}, {4, 0, {}}};

    kepw::Surface wall = TriangleSurface("Wall.bmp", 3);
    wall.firstValue = 99;
    wall.values = {1.0f, 2.0f, 3.0f, 4.0f, 5.0f};
    wall.triangles = {{0, 1, 5}, {-1, 2, 0}};
    wall.lines = {{2, 0}, {3, 1}};
    map.meshes.resize(4);
    map.meshes[0].flags = 5;
    map.meshes[0].groupNumber = map.meshes[0].visGroupNumber = 2;
    map.meshes[0].position = {1.5f, -2.0f, 3.0f};
    map.meshes[0].surfaces = {wall, TriangleSurface("common/caulk", 1),
                              TriangleSurface("WALL.BMP", 0)};
    map.meshes[1].visGroupNumber = 3;
    map.meshes[1].surfaces = {TriangleSurface("tex/floor.png", 1),
                              TriangleSurface("Tex/Floor.PNG", INT_MIN)};
    map.meshes[2].groupNumber = map.meshes[2].visGroupNumber = INT_MIN;
    map.meshes[2].surfaces = {TriangleSurface("CAULK", 1), TriangleSurface("xCaUlKy.bmp", 0)};
    map.meshes[3].groupNumber = 2;
    map.meshes[3].visGroupNumber = 1;
    map.entities = {{1, 1, "classname=Pivot\nname=door1", {1.0f, 2.0f, 3.0f}},
                    {0, 0, "CLASSNAME=light\nAMBIENT=300 32 250", {}},
                    {5, 1, "ClassName=\"PIVOT\"", {4.0f, 5.0f, 6.0f}},
                    {-1, 9, "classname=pivot", {}},
                    {2, 2, "CLASSNAME =pivot\nclassname=pivots", {}},
                    {INT_MIN, 0, "CLASSNAME=PIVOT", {}}};
    return map;
}

// Test name, version, file name to load (none: from a memblock), its map directory.
using LoadCase = std::tuple<std::string, int32_t, std::string, std::string>;

class MapRoundTrip : public PluginTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(MapRoundTrip, EveryRecordArrivesAsWritten) {
    simhost::SetCallLog(simhost::CallLog::kFull);
    const auto& [caseName, version, fileName, mapDirectory] = GetParam();
    const kepw::Map written = RichMap(version);
    TempDir dir;
    for (const char* file : {"Wall.bmp", "tex/floor.png", "maps/Wall.bmp", "maps/tex/floor.png"})
        WriteImageFile(dir.Place(file));
    ScopedWorkingDir here(dir.Path()); // where maps without a directory find textures
    KEP_InitialImage(500);
    simhost::MakeTestImage(501, 1, 1, {0});
    KEP_MapOffset(10.0f, 0.0f, -5.0f);
    kepw::Bytes bytes = kepw::Write(written);
    kepw::Map plusOne = written; // the writer must lay surfaces out as the format does
    plusOne.meshes[3].surfaces.push_back(kepw::TriangleSurface("abcde", 0));
    ASSERT_EQ(kepw::Write(plusOne).size() - bytes.size(), 238u);
    bytes.insert(bytes.end(), {1, 2, 3}); // bytes after the entity section are ignored
    if (!fileName.empty()) {
        std::string onDisk = fileName;
        std::replace(onDisk.begin(), onDisk.end(), '\\', '/');
        ASSERT_TRUE(kepw::WriteFile(dir.Place(onDisk), bytes));
        simhost::ClearCalls();
        ASSERT_EQ(KEP_Load(fileName.c_str(), 0), 1) << LastErrorText();
        ExpectLoadedMapsConsistent(); // as the load helpers do
    } else {
        ASSERT_EQ(LoadFromMemblock(bytes), 1) << LastErrorText();
        std::vector<uint8_t> after; // the memblock stays the caller's, untouched
        ASSERT_TRUE(simhost::ReadMemblock(kMapMemblock, &after));
        EXPECT_EQ(after, bytes);
    }
    const KEP_Map& map = *CurrentMap();
    EXPECT_EQ(map.version, version);

    // The default group first, then the file's last to first (links: the invariant check).
    auto group = [](KEP_Group* g) { return Ints{g->groupNumber, g->flags, NumberOf(g->parent)}; };
    EXPECT_EQ(Each(map.groups, group),
              (std::vector<Ints>{
                  {0, 0, -1}, {5, 55, 3}, {4, 44, -1}, {3, 33, 1}, {2, 22, 1}, {1, 11, -1}}));
    const KEP_Group* g1 = map.groups.At(5);
    EXPECT_EQ(Vec(g1->values), (Ints{1, 2, 3}));
    // Quotes and any further "=" go, spaces stay; no "=": empty value; empty key: nothing.
    Strings pairs;
    for (int32_t i = 0; i < g1->properties.Count(); ++i)
        pairs.push_back(std::string(g1->properties.Key(i)) + "|" + g1->properties.Value(i));
    EXPECT_EQ(pairs, (Strings{"name|Door", "target|t1", "empty|", "a|bd", " a | b "}));

    // CLASSNAME=PIVOT in any case makes a pivot; key and value must match whole.
    auto entityIndex = [&](KEP_Entity* e) { return map.entities.IndexOf(e); };
    EXPECT_EQ(Each(map.pivots, entityIndex), (Ints{0, 2, 3, 5}));
    const bool v5 = version == 5;
    auto visGroup = [](KEP_VisGroup* x) { return x->name.CStr() + std::to_string(x->values[3]); };
    EXPECT_EQ(Each(map.visGroups, visGroup), (v5 ? Strings{"Walls4", "Lights8"} : Strings{}));
    // Group number and visgroup index of each mesh and entity.
    auto links = [&](auto* x) {
        return Ints{NumberOf(x->group), map.visGroups.IndexOf(x->visGroup)};
    };
    auto vis = [&](int32_t index) { return v5 ? index : -1; };
    EXPECT_EQ(Each(map.meshes, links),
              (std::vector<Ints>{{2, vis(1)}, {0, -1}, {-1, -1}, {2, vis(0)}}));
    EXPECT_EQ(Each(map.entities, links),
              (std::vector<Ints>{{1, vis(0)}, {0, -1}, {1, -1}, {-1, -1}, {2, vis(1)}, {0, -1}}));

    // Images from the first free number, none without pixels; a file adds the ambient
    // per channel, capped at 255 with no carry, and clears the top byte.
    auto sizeAndImage = [](KEP_Lightmap* l) { return Ints{l->width, l->height, l->build.image}; };
    EXPECT_EQ(Each(map.lightmaps, sizeAndImage),
              (std::vector<Ints>{{3, 1, 500}, {-3, -2, 0}, {4, 0, 0}}));
    simhost::ImageContent image;
    ASSERT_TRUE(simhost::ReadImage(500, &image));
    EXPECT_EQ(image.pixels,
              (!fileName.empty() ? std::vector<uint32_t>{0x00ac60ffu, 0x00ff20ffu, 0x002cfffau}
                                 : written.lightmaps[0].pixels));
    EXPECT_EQ(g_plugin.settings.ambientColour, 0x2c20fau); // "300 32 250": low bytes

    // CAULK surfaces are dropped; names in any case share a texture; lightmap <= 0: none.
    auto indices = [](KEP_Surface* s) { return Ints{s->textureIndex, s->lightmapIndex}; };
    auto surfaces = [&](KEP_Mesh* m) { return Each(m->surfaces, indices); };
    EXPECT_EQ(Each(map.meshes, surfaces),
              (std::vector<std::vector<Ints>>{{{0, 2}, {0, -1}}, {{1, 0}, {1, -1}}, {}, {}}));
    EXPECT_EQ(simhost::CallsNamed("LoadEx"),
              (Strings{"LoadEx(" + mapDirectory + "Wall.bmp,502,0,0,1)",
                       "LoadEx(" + mapDirectory + "tex/floor.png,503,0,0,1)"}));

    const KEP_Mesh* walls = map.meshes.At(0);
    EXPECT_EQ(walls->flags, 5);
    // Geometry goes once the map is built; the reader alone keeps it.
    const kepsession::MapRead read = kepsession::ReadMapBytes(bytes, true);
    const KEP_Mesh* readWalls = read.map->meshes.At(0);
    // The surface after the dropped one is read whole.
    EXPECT_EQ(readWalls->surfaces.At(1)->geometry.VertexAt(2)->position[2], 4.0f);
    const KEP_Surface* wall = walls->surfaces.At(0);
    EXPECT_EQ(wall->firstValue, 99);
    EXPECT_EQ(Vec(wall->values), (std::vector<float>{1.0f, 2.0f, 3.0f, 4.0f, 5.0f}));
    // Triangle corners, then line ends, as written, even those naming no vertex.
    const KEP_Geometry& geometry = readWalls->surfaces.At(0)->geometry;
    Ints refs;
    for (int32_t i = 0; i < geometry.TriangleCount(); ++i)
        refs.insert(refs.end(), std::begin(geometry.Triangles()[i].corners),
                    std::end(geometry.Triangles()[i].corners));
    for (int32_t i = 0; i < geometry.LineCount(); ++i)
        refs.insert(refs.end(), std::begin(geometry.Lines()[i].ends),
                    std::end(geometry.Lines()[i].ends));
    EXPECT_EQ(refs, (Ints{0, 1, 5, -1, 2, 0, 2, 0, 3, 1}));

    EXPECT_EQ(Vec(map.entities.At(2)->position), (std::vector<float>{14, 5, 1})); // offset
}

INSTANTIATE_TEST_SUITE_P(
    BothCommandsBothVersions, MapRoundTrip,
    ::testing::Values(LoadCase{"MemblockV4", 4, "", ""}, LoadCase{"MemblockV5", 5, "", ""},
                      LoadCase{"FileV4", 4, "maps/level.kep", "maps/"},
                      LoadCase{"FileBackslashV5", 5, "maps\\level.kep", "maps\\"},
                      LoadCase{"FileWithoutDirectoryV4", 4, "level.kep", ""}),
    [](const auto& info) { return std::get<0>(info.param); });

} // namespace
