// A map with every kind of record goes through both loading commands, in both
// versions, and is compared field by field with what was written.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <memory>
#include <ostream>
#include <string>

#include "load_helpers.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "simhost/memblocks_images.h"
#include "test_host.h"

namespace {

struct LoadCase {
    int32_t version;
    bool fromFile;
};

std::string Describe(const LoadCase& c) {
    return std::string(c.fromFile ? "File" : "Memblock") + "V" + std::to_string(c.version);
}

std::string CaseName(const ::testing::TestParamInfo<LoadCase>& info) {
    return Describe(info.param);
}

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << Describe(c);
}

kepw::Vertex MakeVertex(float seed) {
    kepw::Vertex v;
    v.position = {seed, seed + 0.5f, -seed};
    v.normal = {0.5f, -0.25f, 1.0f};
    v.colour = {300, -1, static_cast<int32_t>(seed)};
    v.uv = {-1.0f, 2.0f};
    v.uvW = 3.0f;
    v.lightmapUv = {-0.5f, -0.125f};
    v.lightmapW = 4.0f;
    return v;
}

// Group 1 has children 2 and 3, group 3 has child 5, group 4 names a parent
// that does not exist.
kepw::Map RichMap(int32_t version) {
    kepw::Map map;
    map.version = version;
    map.groups = {
        {11, 0, "name=Door\r\n\"target\"=\"t1\"\n\nempty\n=x\na=b=d\n a = b ", {1, 2, 3}},
        {22, 1, "name=Frame", {4, 5, 6}},
        {33, 1, "", {7, 8, 9}},
        {44, 7, "x", {0, 0, 0}},
        {55, 3, "", {0, 0, 0}},
    };
    map.visGroups = {{"Walls", {1, 2, 3, 4}}, {"Lights", {5, 6, 7, 8}}};
    map.lightmaps = {kepw::PatternLightmap(2, 3, 1), kepw::PatternLightmap(1, 1, 2)};

    kepw::Surface wall;
    wall.firstValue = 99;
    wall.texture = "Wall.bmp";
    wall.lightmap = 2;
    wall.values = {1, 2, 3, 4, 5};
    kepw::Vertex first;
    first.position = {1.0f, 2.0f, 3.0f};
    first.normal = {0.0f, 1.0f, 0.0f};
    first.colour = {10, 20, 30};
    first.uv = {0.25f, 0.5f};
    first.uvW = 0.125f;
    first.lightmapUv = {0.75f, 0.75f};
    first.lightmapW = 2.5f;
    wall.vertices = {first, MakeVertex(1.0f), MakeVertex(2.0f)};
    wall.triangles = {{0, 1, 5}, {-1, 2, 0}};
    wall.lines = {{2, 0}, {3, 1}};

    kepw::Mesh m1;
    m1.flags = 5;
    m1.group = 2;
    m1.properties = "kind=wall";
    m1.values = {10, 20, 30};
    m1.position = {1.5f, -2.0f, 3.0f};
    m1.visGroup = 2;
    m1.surfaces = {wall, kepw::TriangleSurface("common/caulk", 1),
                   kepw::TriangleSurface("WALL.BMP", 0)};

    kepw::Mesh m2;
    m2.flags = 6;
    m2.group = 0;
    m2.visGroup = 3; // past the end
    m2.surfaces = {kepw::TriangleSurface("tex/floor.png", 1)};

    kepw::Mesh m3;
    m3.group = 9; // no such group
    m3.visGroup = INT_MIN;
    m3.surfaces = {kepw::TriangleSurface("CAULK", 1), kepw::TriangleSurface("caulk_clip", 0)};

    kepw::Mesh m4;
    m4.group = 2;
    m4.visGroup = 1;
    map.meshes = {m1, m2, m3, m4};

    map.entities = {
        {1, 1, "classname=Pivot\nname=door1", {1.0f, 2.0f, 3.0f}},
        {0, 0, "CLASSNAME=light\nAMBIENT=64 32 16", {0.0f, 0.0f, 0.0f}},
        {5, 1, "ClassName=PIVOT", {4.0f, 5.0f, 6.0f}},
        {-1, 9, "classname=pivot", {0.0f, 0.0f, 0.0f}},
        {2, 2, "CLASSNAME =pivot", {0.0f, 0.0f, 0.0f}},
        {INT_MIN, 0, "CLASSNAME=PIVOT", {0.0f, 0.0f, 0.0f}},
    };
    return map;
}

constexpr int32_t kInitialImage = 500;
constexpr uint32_t kAmbient = 0x402010;

class RoundTripTest : public PluginTest, public ::testing::WithParamInterface<LoadCase> {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        written = RichMap(GetParam().version);
        WriteImageFile(dir.Place("maps/Wall.bmp"));
        WriteImageFile(dir.Place("maps/tex/floor.png"));
        KEP_InitialImage(kInitialImage);
        simhost::MakeTestImage(kInitialImage + 1, 1, 1, {0});
        KEP_MapOffset(10.0f, 0.0f, -5.0f);
        const kepw::Bytes bytes = kepw::Write(written);
        if (GetParam().fromFile) {
            ASSERT_EQ(LoadFromFile(dir.Place("maps/level.kep"), bytes), 1) << LastErrorText();
        } else {
            ScopedWorkingDir inMaps(dir.Path() + "/maps");
            ASSERT_EQ(LoadFromMemblock(bytes), 1) << LastErrorText();
        }
        EXPECT_EQ(KEP_GetLastError(), 1);
        map = CurrentMap();
        ASSERT_NE(map, nullptr);
    }

    KEP_Mesh* Mesh(int32_t i) { return map->meshes.At<KEP_Mesh>(i); }
    KEP_Entity* Entity(int32_t i) { return map->entities.At<KEP_Entity>(i); }
    bool V5() const { return GetParam().version == 5; }

    TempDir dir;
    kepw::Map written;
    KEP_Map* map = nullptr;
};

TEST_P(RoundTripTest, MapHeader) {
    EXPECT_EQ(map->version, GetParam().version);
    EXPECT_EQ(g_plugin.maps.Count(), 1);
    EXPECT_EQ(std::string(map->mapDirectory), GetParam().fromFile ? dir.Path() + "/maps/" : "");
}

TEST_P(RoundTripTest, GroupsComeDefaultFirstThenLastReadToFirst) {
    EXPECT_EQ(GroupNumbersInListOrder(*map), (std::vector<int32_t>{0, 5, 4, 3, 2, 1}));
    KEP_Group* deflt = map->groups.At<KEP_Group>(0);
    EXPECT_EQ(deflt->flags, 0);
    EXPECT_EQ(deflt->parent, nullptr);
    EXPECT_TRUE(PropertiesOf(deflt->properties).empty());
    for (int32_t number = 1; number <= 5; ++number) {
        const kepw::Group& source = written.groups[static_cast<std::size_t>(number - 1)];
        KEP_Group* group = GroupNumbered(*map, number);
        ASSERT_NE(group, nullptr) << number;
        EXPECT_EQ(group->flags, source.flags) << number;
        EXPECT_EQ(group->parentGroupNumber, source.parent) << number;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(group->values[i], source.values[static_cast<std::size_t>(i)]) << number;
    }
}

TEST_P(RoundTripTest, ParentsAndChildrenLinkBothWays) {
    KEP_Group* g1 = GroupNumbered(*map, 1);
    KEP_Group* g3 = GroupNumbered(*map, 3);
    ASSERT_TRUE(g1 && g3);
    EXPECT_EQ(g1->parent, nullptr);
    EXPECT_EQ(GroupNumbered(*map, 2)->parent, g1);
    EXPECT_EQ(g3->parent, g1);
    EXPECT_EQ(GroupNumbered(*map, 5)->parent, g3);
    EXPECT_EQ(GroupNumbered(*map, 4)->parent, nullptr); // parent 7 does not exist
    // Children from the last read to the first.
    EXPECT_EQ(ChildGroupNumbers(*g1), (std::vector<int32_t>{3, 2}));
    EXPECT_EQ(ChildGroupNumbers(*g3), (std::vector<int32_t>{5}));
    EXPECT_TRUE(ChildGroupNumbers(*map->groups.At<KEP_Group>(0)).empty());
    for (int32_t n : {2, 4, 5})
        EXPECT_TRUE(ChildGroupNumbers(*GroupNumbered(*map, n)).empty()) << n;
}

TEST_P(RoundTripTest, PropertyTextFollowsTheLineRules) {
    const PropertyList expected = {
        {"name", "Door"}, {"target", "t1"}, {"empty", ""}, {"a", "bd"}, {" a ", " b "}};
    EXPECT_EQ(PropertiesOf(GroupNumbered(*map, 1)->properties), expected);
    EXPECT_EQ(PropertiesOf(GroupNumbered(*map, 2)->properties), (PropertyList{{"name", "Frame"}}));
    EXPECT_TRUE(PropertiesOf(GroupNumbered(*map, 3)->properties).empty());
    EXPECT_EQ(PropertiesOf(GroupNumbered(*map, 4)->properties), (PropertyList{{"x", ""}}));
    EXPECT_EQ(PropertiesOf(Mesh(0)->properties), (PropertyList{{"kind", "wall"}}));
}

TEST_P(RoundTripTest, VisGroupsOnlyInVersionFive) {
    if (!V5()) {
        EXPECT_EQ(map->visGroups.Count(), 0);
        return;
    }
    ASSERT_EQ(map->visGroups.Count(), 2);
    for (int32_t i = 0; i < 2; ++i) {
        const KEP_VisGroup* v = map->visGroups.At<KEP_VisGroup>(i);
        EXPECT_STREQ(v->name.CStr(), written.visGroups[static_cast<std::size_t>(i)].name.c_str());
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(
                v->values[k],
                written.visGroups[static_cast<std::size_t>(i)].values[static_cast<std::size_t>(k)]);
    }
}

TEST_P(RoundTripTest, LightmapsBecomeImagesFromTheFirstFreeNumber) {
    ASSERT_EQ(map->lightmaps.Count(), 2);
    const int32_t expectedImages[] = {kInitialImage, kInitialImage + 2};
    for (int32_t i = 0; i < 2; ++i) {
        const KEP_Lightmap* l = map->lightmaps.At<KEP_Lightmap>(i);
        const kepw::Lightmap& source = written.lightmaps[static_cast<std::size_t>(i)];
        EXPECT_EQ(l->width, source.width);
        EXPECT_EQ(l->height, source.height);
        EXPECT_EQ(l->image, expectedImages[i]);
        simhost::ImageContent image;
        ASSERT_TRUE(simhost::ReadImage(l->image, &image)) << l->image;
        EXPECT_EQ(image.width, static_cast<uint32_t>(source.width));
        EXPECT_EQ(image.height, static_cast<uint32_t>(source.height));
        std::vector<uint32_t> expected = source.pixels;
        if (GetParam().fromFile) // the map's AMBIENT entity is added to file loads only
            for (uint32_t& p : expected)
                p = WithAmbient(p, kAmbient);
        EXPECT_EQ(image.pixels, expected) << "lightmap " << i;
    }
    // The scratch memblock does not outlive the load.
    EXPECT_EQ(simhost::MemblockNumbers(),
              GetParam().fromFile ? std::vector<int>{} : std::vector<int>{kMapMemblock});
}

TEST_P(RoundTripTest, MeshesJoinTheirGroupsAndVisGroups) {
    ASSERT_EQ(map->meshes.Count(), 4);
    KEP_Group* g2 = GroupNumbered(*map, 2);
    KEP_Group* deflt = map->groups.At<KEP_Group>(0);
    EXPECT_EQ(Mesh(0)->group, g2);
    EXPECT_EQ(Mesh(1)->group, deflt);
    EXPECT_EQ(Mesh(2)->group, nullptr);
    EXPECT_EQ(Mesh(3)->group, g2);
    ASSERT_EQ(g2->meshes.Count(), 2); // file order
    EXPECT_EQ(g2->meshes.ItemAt(0), Mesh(0));
    EXPECT_EQ(g2->meshes.ItemAt(1), Mesh(3));
    ASSERT_EQ(deflt->meshes.Count(), 1);
    EXPECT_EQ(deflt->meshes.ItemAt(0), Mesh(1));
    for (int32_t n = 1; n <= 5; ++n)
        EXPECT_EQ(IndexIn(GroupNumbered(*map, n)->meshes, Mesh(2)), -1);

    if (V5()) {
        EXPECT_EQ(Mesh(0)->visGroup, map->visGroups.ItemAt(1));
        EXPECT_EQ(Mesh(3)->visGroup, map->visGroups.ItemAt(0));
    } else {
        EXPECT_EQ(Mesh(0)->visGroup, nullptr);
        EXPECT_EQ(Mesh(3)->visGroup, nullptr);
    }
    EXPECT_EQ(Mesh(1)->visGroup, nullptr); // past the end
    EXPECT_EQ(Mesh(2)->visGroup, nullptr); // INT_MIN

    for (int32_t i = 0; i < 4; ++i) {
        const kepw::Mesh& source = written.meshes[static_cast<std::size_t>(i)];
        EXPECT_EQ(Mesh(i)->flags, source.flags);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(Mesh(i)->position[k], source.position[static_cast<std::size_t>(k)]);
            EXPECT_EQ(Mesh(i)->values[k], source.values[static_cast<std::size_t>(k)]);
        }
    }
}

TEST_P(RoundTripTest, SurfacesResolveTexturesAndDropCaulk) {
    ASSERT_EQ(Mesh(0)->surfaces.Count(), 2); // the caulk surface between is gone
    const KEP_Surface* wall = Mesh(0)->surfaces.At<KEP_Surface>(0);
    const KEP_Surface* wallAgain = Mesh(0)->surfaces.At<KEP_Surface>(1);
    EXPECT_EQ(wall->firstValue, 99);
    EXPECT_EQ(wall->textureIndex, 0);
    EXPECT_EQ(wall->lightmapIndex, 1);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(wall->values[k], static_cast<float>(k + 1));
    EXPECT_EQ(wallAgain->textureIndex, 0); // WALL.BMP is Wall.bmp
    EXPECT_EQ(wallAgain->lightmapIndex, -1);
    EXPECT_EQ(wallAgain->vertices.Count(), 3);

    ASSERT_EQ(Mesh(1)->surfaces.Count(), 1);
    EXPECT_EQ(Mesh(1)->surfaces.At<KEP_Surface>(0)->textureIndex, 1);
    EXPECT_EQ(Mesh(1)->surfaces.At<KEP_Surface>(0)->lightmapIndex, 0);
    EXPECT_EQ(Mesh(2)->surfaces.Count(), 0); // every surface caulk
    EXPECT_EQ(Mesh(3)->surfaces.Count(), 0);

    ASSERT_EQ(map->textures.Count(), 2);
    const KEP_TextureInfo* t0 = map->textures.At<KEP_TextureInfo>(0);
    const KEP_TextureInfo* t1 = map->textures.At<KEP_TextureInfo>(1);
    EXPECT_STREQ(t0->name.CStr(), "Wall.bmp");
    EXPECT_STREQ(t1->name.CStr(), "tex/floor.png");
    // Lightmaps took 500 and 502 (501 was in use); textures follow.
    EXPECT_EQ(t0->image, kInitialImage + 3);
    EXPECT_EQ(t1->image, kInitialImage + 4);
    const std::string prefix = GetParam().fromFile ? dir.Path() + "/maps/" : "";
    EXPECT_EQ(simhost::CallsNamed("LoadEx"),
              (std::vector<std::string>{"LoadEx(" + prefix + "Wall.bmp,503)",
                                        "LoadEx(" + prefix + "tex/floor.png,504)"}));
    simhost::ImageContent image;
    EXPECT_TRUE(simhost::ReadImage(t0->image, &image));
    EXPECT_TRUE(simhost::ReadImage(t1->image, &image));
}

TEST_P(RoundTripTest, VerticesTakeTheirSignChanges) {
    const KEP_Surface* wall = Mesh(0)->surfaces.At<KEP_Surface>(0);
    ASSERT_EQ(wall->vertices.Count(), 3);
    const KEP_Vertex* v = wall->vertices.At<KEP_Vertex>(0);
    EXPECT_EQ(v->position[0], 1.0f);
    EXPECT_EQ(v->position[1], 2.0f);
    EXPECT_EQ(v->position[2], 3.0f);
    EXPECT_EQ(v->normal[1], -1.0f);
    EXPECT_TRUE(v->normal[0] == 0.0f && std::signbit(v->normal[0]));
    EXPECT_TRUE(v->normal[2] == 0.0f && std::signbit(v->normal[2]));
    EXPECT_EQ(v->colour[0], 10);
    EXPECT_EQ(v->colour[1], 20);
    EXPECT_EQ(v->colour[2], 30);
    EXPECT_EQ(v->texture[0], -0.25f);
    EXPECT_EQ(v->texture[1], -0.5f);
    EXPECT_EQ(v->textureW, 0.125f);
    EXPECT_EQ(v->lightmap[0], 0.75f); // u keeps its sign
    EXPECT_EQ(v->lightmap[1], -0.75f);
    EXPECT_EQ(v->lightmapW, 2.5f);

    const KEP_Vertex* w = wall->vertices.At<KEP_Vertex>(2);
    EXPECT_EQ(w->position[0], 2.0f);
    EXPECT_EQ(w->position[1], 2.5f);
    EXPECT_EQ(w->position[2], -2.0f);
    EXPECT_EQ(w->normal[0], -0.5f);
    EXPECT_EQ(w->normal[1], 0.25f);
    EXPECT_EQ(w->normal[2], -1.0f);
    EXPECT_EQ(w->colour[0], 300); // stored whole; building takes the low byte
    EXPECT_EQ(w->colour[1], -1);
    EXPECT_EQ(w->texture[0], 1.0f);
    EXPECT_EQ(w->texture[1], -2.0f);
    EXPECT_EQ(w->lightmap[0], -0.5f);
    EXPECT_EQ(w->lightmap[1], 0.125f);
}

TEST_P(RoundTripTest, TriangleAndLineIndicesBecomeVertexReferences) {
    const KEP_Surface* wall = Mesh(0)->surfaces.At<KEP_Surface>(0);
    KEP_Vertex* v[3];
    for (int32_t i = 0; i < 3; ++i)
        v[i] = wall->vertices.At<KEP_Vertex>(i);
    ASSERT_EQ(wall->triangles.Count(), 2);
    const KEP_Triangle* t0 = wall->triangles.At<KEP_Triangle>(0);
    const KEP_Triangle* t1 = wall->triangles.At<KEP_Triangle>(1);
    EXPECT_EQ(t0->corners[0], v[0]);
    EXPECT_EQ(t0->corners[1], v[1]);
    EXPECT_EQ(t0->corners[2], nullptr); // index 5 of 3
    EXPECT_EQ(t1->corners[0], nullptr); // index -1
    EXPECT_EQ(t1->corners[1], v[2]);
    EXPECT_EQ(t1->corners[2], v[0]);
    ASSERT_EQ(wall->lines.Count(), 2);
    EXPECT_EQ(wall->lines.At<KEP_Line>(0)->ends[0], v[2]);
    EXPECT_EQ(wall->lines.At<KEP_Line>(0)->ends[1], v[0]);
    EXPECT_EQ(wall->lines.At<KEP_Line>(1)->ends[0], nullptr); // index 3 of 3
    EXPECT_EQ(wall->lines.At<KEP_Line>(1)->ends[1], v[1]);
}

TEST_P(RoundTripTest, EntitiesTakeTheMapOffsetAndTheirReferences) {
    ASSERT_EQ(map->entities.Count(), 6);
    EXPECT_EQ(Entity(0)->position[0], 11.0f);
    EXPECT_EQ(Entity(0)->position[1], 2.0f);
    EXPECT_EQ(Entity(0)->position[2], -2.0f);
    EXPECT_EQ(Entity(2)->position[0], 14.0f);
    EXPECT_EQ(Entity(2)->position[2], 1.0f);

    KEP_Group* g1 = GroupNumbered(*map, 1);
    KEP_Group* deflt = map->groups.At<KEP_Group>(0);
    EXPECT_EQ(Entity(0)->group, g1);
    EXPECT_EQ(Entity(1)->group, deflt);
    EXPECT_EQ(Entity(3)->group, nullptr); // group 9
    EXPECT_EQ(Entity(0)->visGroup, V5() ? map->visGroups.ItemAt(0) : nullptr);
    EXPECT_EQ(Entity(4)->visGroup, V5() ? map->visGroups.ItemAt(1) : nullptr);
    for (int32_t i : {1, 2, 3, 5}) // 0, past the end, -1, INT_MIN
        EXPECT_EQ(Entity(i)->visGroup, nullptr) << i;

    EXPECT_EQ(PropertiesOf(Entity(0)->properties),
              (PropertyList{{"classname", "Pivot"}, {"name", "door1"}}));
    EXPECT_EQ(PropertiesOf(Entity(4)->properties), (PropertyList{{"CLASSNAME ", "pivot"}}));
}

TEST_P(RoundTripTest, PivotsAndGroupPivotEntities) {
    ASSERT_EQ(map->pivots.Count(), 4);
    EXPECT_EQ(map->pivots.ItemAt(0), Entity(0));
    EXPECT_EQ(map->pivots.ItemAt(1), Entity(2));
    EXPECT_EQ(map->pivots.ItemAt(2), Entity(3)); // no group, still a pivot
    EXPECT_EQ(map->pivots.ItemAt(3), Entity(5));
    EXPECT_EQ(GroupNumbered(*map, 1)->pivotEntity, Entity(2)); // the last of the group
    EXPECT_EQ(map->groups.At<KEP_Group>(0)->pivotEntity, Entity(5));
    for (int32_t n : {2, 3, 4, 5}) // "CLASSNAME " names no class
        EXPECT_EQ(GroupNumbered(*map, n)->pivotEntity, nullptr) << n;
}

TEST_P(RoundTripTest, AmbientPropertySetsTheAmbientColour) {
    EXPECT_EQ(g_plugin.ambientColour, kAmbient);
}

INSTANTIATE_TEST_SUITE_P(BothCommandsBothVersions, RoundTripTest,
                         ::testing::Values(LoadCase{4, false}, LoadCase{5, false},
                                           LoadCase{4, true}, LoadCase{5, true}),
                         CaseName);

// Loading twice gives two maps with consecutive numbers; the second is current.
using MapRegistrationTest = PluginTest;

TEST_F(MapRegistrationTest, EachLoadAddsACurrentMapWithTheNextNumber) {
    TempDir dir;
    const std::string path = dir.Place("empty.kep");
    const kepw::Bytes bytes = kepw::Write(kepw::Map{});
    ASSERT_EQ(bytes.size(), 20u);
    const int32_t first = g_plugin.mapNumberCounter;
    ASSERT_EQ(LoadFromFile(path, bytes), 1) << LastErrorText();
    KEP_Map* a = CurrentMap();
    ASSERT_EQ(LoadFromMemblock(bytes), 1) << LastErrorText();
    KEP_Map* b = CurrentMap();
    ASSERT_EQ(LoadFromFile(path, bytes), 1) << LastErrorText();
    KEP_Map* c = CurrentMap();
    ASSERT_TRUE(a && b && c);
    EXPECT_NE(a, b);
    EXPECT_NE(b, c);
    EXPECT_EQ(a->mapNumber, first);
    EXPECT_EQ(b->mapNumber, first + 1);
    EXPECT_EQ(c->mapNumber, first + 2);
    EXPECT_EQ(g_plugin.maps.Count(), 3);
    // An empty map holds only the default group.
    EXPECT_EQ(GroupNumbersInListOrder(*c), (std::vector<int32_t>{0}));

    kepw::Map v5;
    v5.version = 5;
    ASSERT_EQ(kepw::Write(v5).size(), 24u);
    ASSERT_EQ(LoadFromMemblock(kepw::Write(v5)), 1) << LastErrorText();
    EXPECT_EQ(CurrentMap()->version, 5);
    EXPECT_EQ(CurrentMap()->mapNumber, first + 3);
}

TEST_F(MapRegistrationTest, BytesAfterTheEntitySectionAreIgnored) {
    kepw::Bytes bytes = kepw::Write(kepw::Map{});
    bytes.insert(bytes.end(), {1, 2, 3, 4, 5, 6, 7});
    EXPECT_EQ(LoadFromMemblock(bytes), 1) << LastErrorText();
}

TEST_F(MapRegistrationTest, TheMemblockStaysTheCallersAndItsCopyIsRead) {
    kepw::Map source;
    source.groups = {{3, 0, "k=v", {0, 0, 0}}};
    const kepw::Bytes bytes = kepw::Write(source);
    ASSERT_EQ(LoadFromMemblock(bytes), 1) << LastErrorText();
    std::vector<uint8_t> after;
    ASSERT_TRUE(simhost::ReadMemblock(kMapMemblock, &after));
    EXPECT_EQ(after, bytes);
    EXPECT_EQ(PropertiesOf(GroupNumbered(*CurrentMap(), 1)->properties),
              (PropertyList{{"k", "v"}}));
}

} // namespace
