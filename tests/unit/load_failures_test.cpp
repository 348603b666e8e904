// What each way a load can fail reports, and what it leaves behind.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "host/host_functions.h"
#include "load_helpers.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "simhost/memblocks_images.h"
#include "simhost/scene.h"
#include "test_host.h"

namespace {

using LoadFailureTest = PluginTest;

void ExpectFailure(int32_t result, const std::string& text) {
    EXPECT_EQ(result, 0);
    EXPECT_EQ(KEP_GetLastError(), 0);
    EXPECT_EQ(LastErrorText(), text);
}

// A map that is already loaded and current, to see that failures leave it so.
KEP_Map* LoadBystander() {
    EXPECT_EQ(LoadFromMemblock(kepw::Write(kepw::Map{})), 1) << LastErrorText();
    return CurrentMap();
}

TEST_F(LoadFailureTest, MissingFileChangesNothing) {
    KEP_Map* before = LoadBystander();
    const int32_t counter = g_plugin.mapNumberCounter;
    TempDir dir;
    const std::string path = dir.Path() + "/nowhere/level.kep";
    ExpectFailure(KEP_Load(path.c_str(), 2), "Unable to load the file " + path);
    EXPECT_EQ(CurrentMap(), before);
    EXPECT_EQ(g_plugin.maps.Count(), 1);
    EXPECT_EQ(g_plugin.mapNumberCounter, counter);
}

TEST_F(LoadFailureTest, MissingMemblockNamesTheNumber) {
    KEP_Map* before = LoadBystander();
    ExpectFailure(KEP_MakeKEPFromMemblock(42, 0), "Invalid Memblock identifier: 42");
    ExpectFailure(KEP_MakeKEPFromMemblock(-3, 0), "Invalid Memblock identifier: -3");
    // The host makes nothing for a size of 0, so there is nothing to read.
    host::memblock::MakeMemblock(9, 0);
    ExpectFailure(KEP_MakeKEPFromMemblock(9, 0), "Invalid Memblock identifier: 9");
    EXPECT_EQ(CurrentMap(), before);
    EXPECT_EQ(g_plugin.maps.Count(), 1);
}

TEST_F(LoadFailureTest, FewerThanFourBytesIsEndOfDataAndNoMap) {
    TempDir dir;
    const int32_t counter = g_plugin.mapNumberCounter;
    const kepw::Bytes version4 = kepw::Write(kepw::Map{});
    for (std::size_t size = 0; size < 4; ++size) {
        SCOPED_TRACE(size);
        ExpectFailure(LoadFromFile(dir.Place("short.kep"), kepw::Truncate(version4, size)), "EOF");
        if (size > 0) ExpectFailure(LoadFromMemblock(kepw::Truncate(version4, size)), "EOF");
    }
    EXPECT_EQ(CurrentMap(), nullptr);
    EXPECT_EQ(g_plugin.maps.Count(), 0);
    EXPECT_EQ(g_plugin.mapNumberCounter, counter);
}

TEST_F(LoadFailureTest, UnsupportedVersionUsesUpNoMapNumber) {
    TempDir dir;
    const int32_t counter = g_plugin.mapNumberCounter;
    const kepw::Bytes good = kepw::Write(kepw::Map{});
    for (int32_t version : {3, 6, 0, -1, 0x104}) {
        SCOPED_TRACE(version);
        ExpectFailure(LoadFromMemblock(kepw::WithVersion(good, version)), "Unsupported Version");
        ExpectFailure(LoadFromFile(dir.Place("v.kep"), kepw::WithVersion(good, version)),
                      "Unsupported Version");
    }
    EXPECT_EQ(g_plugin.maps.Count(), 0);
    EXPECT_EQ(CurrentMap(), nullptr);
    ASSERT_EQ(LoadFromMemblock(good), 1) << LastErrorText();
    EXPECT_EQ(CurrentMap()->mapNumber, counter);
}

TEST_F(LoadFailureTest, FileNamesThatCannotBeMapPaths) {
    ExpectFailure(KEP_Load(nullptr, 0), "Unable to load the file ");
    ExpectFailure(KEP_Load("", 0), "Unable to load the file ");

    // A file that exists but whose name is longer than a map path can hold.
    TempDir dir;
    const kepw::Bytes map = kepw::Write(kepw::Map{});
    std::string relative;
    while (dir.Path().size() + 1 + relative.size() < 250)
        relative += "abcdefghi/";
    auto pathOfLength = [&](std::size_t length) {
        const std::size_t base = dir.Path().size() + 1 + relative.size();
        return relative + std::string(length - base, 'f');
    };
    const std::string fits = dir.Place(pathOfLength(259));
    ASSERT_EQ(fits.size(), 259u);
    const std::string tooLong = dir.Place(pathOfLength(260));
    ASSERT_EQ(tooLong.size(), 260u);
    ASSERT_TRUE(kepw::WriteFile(tooLong, map));
    ExpectFailure(KEP_Load(tooLong.c_str(), 0), "Unable to load the file " + tooLong);
    EXPECT_EQ(CurrentMap(), nullptr);
    EXPECT_EQ(LoadFromFile(fits, map), 1) << LastErrorText();
}

TEST_F(LoadFailureTest, EmptyFileIsEndOfDataNotNoFile) {
    TempDir dir;
    ExpectFailure(LoadFromFile(dir.Place("empty.kep"), {}), "EOF");
}

// A map whose second surface names a texture that is not there.
kepw::Map MapWithMissingTexture() {
    kepw::Map map;
    map.version = 5;
    map.groups = {{1, 0, "g=1", {}}, {2, 1, "g=2", {}}};
    map.visGroups = {{"v", {}}};
    map.lightmaps = {kepw::PatternLightmap(2, 2, 3)};
    kepw::Mesh first;
    first.group = 2;
    first.surfaces = {kepw::TriangleSurface("good.bmp", 1),
                      kepw::TriangleSurface("sub/missing.bmp", 1),
                      kepw::TriangleSurface("good.bmp", 0)};
    kepw::Mesh second;
    second.surfaces = {kepw::TriangleSurface("good.bmp", 0)};
    map.meshes = {first, second};
    map.entities = {{0, 1, "classname=pivot", {}}};
    return map;
}

void ExpectHalfReadMap(int32_t result, const std::string& missingPath) {
    ExpectFailure(result, "Unable to find texture: " + missingPath);
    KEP_Map* map = CurrentMap();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(g_plugin.maps.Count(), 1);
    EXPECT_EQ(GroupNumbersInListOrder(*map), (std::vector<int32_t>{0, 2, 1}));
    EXPECT_EQ(ChildGroupNumbers(*GroupNumbered(*map, 1)), (std::vector<int32_t>{2}));
    EXPECT_EQ(map->visGroups.Count(), 1);
    ASSERT_EQ(map->lightmaps.Count(), 1);
    simhost::ImageContent image;
    EXPECT_TRUE(simhost::ReadImage(map->lightmaps.At<KEP_Lightmap>(0)->image, &image));
    // The mesh being read stays, with the surface completed before the failure.
    ASSERT_EQ(map->meshes.Count(), 1);
    KEP_Mesh* mesh = map->meshes.At<KEP_Mesh>(0);
    EXPECT_EQ(mesh->surfaces.Count(), 1);
    EXPECT_EQ(GroupNumbered(*map, 2)->meshes.ItemAt(0), mesh);
    ASSERT_EQ(map->textures.Count(), 1);
    EXPECT_STREQ(map->textures.At<KEP_TextureInfo>(0)->name.CStr(), "good.bmp");
    EXPECT_EQ(map->entities.Count(), 0);
    EXPECT_EQ(map->pivots.Count(), 0);
    EXPECT_TRUE(simhost::ObjectNumbers().empty());
    EXPECT_EQ(HostCallCount("LoadEx"), 1u); // the missing file is never handed over
}

TEST_F(LoadFailureTest, MissingTextureKeepsWhatWasReadFromAFile) {
    TempDir dir;
    WriteImageFile(dir.Place("maps/good.bmp"));
    const int32_t result =
        LoadFromFile(dir.Place("maps/level.kep"), kepw::Write(MapWithMissingTexture()));
    ExpectHalfReadMap(result, dir.Path() + "/maps/sub/missing.bmp");
    // The half-read map is cleared like any other, with its images.
    KEP_Clear();
    EXPECT_EQ(CurrentMap(), nullptr);
    EXPECT_EQ(g_plugin.maps.Count(), 0);
    EXPECT_TRUE(simhost::ImageNumbers().empty());
    EXPECT_TRUE(NoLeaksSoFar());
}

TEST_F(LoadFailureTest, MissingTextureKeepsWhatWasReadFromAMemblock) {
    TempDir dir;
    WriteImageFile(dir.Place("good.bmp"));
    ScopedWorkingDir here(dir.Path());
    ExpectHalfReadMap(LoadFromMemblock(kepw::Write(MapWithMissingTexture())), "sub/missing.bmp");
}

TEST_F(LoadFailureTest, TextureFileThatIsNoImage) {
    TempDir dir;
    WriteImageFile(dir.Place("good.bmp"));
    ASSERT_TRUE(kepw::WriteFile(dir.Place("notes.png"), {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i'}));
    kepw::Map source;
    kepw::Mesh mesh;
    mesh.surfaces = {kepw::TriangleSurface("good.bmp", 0), kepw::TriangleSurface("notes.png", 0)};
    source.meshes = {mesh};
    EXPECT_EQ(LoadFromFile(dir.Place("level.kep"), kepw::Write(source)), 0);
    EXPECT_EQ(KEP_GetLastError(), 0);
    EXPECT_EQ(LastErrorText(), "Invalid image identifier");
    KEP_Map* map = CurrentMap();
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(map->textures.Count(), 2);
    const KEP_TextureInfo* bad = map->textures.At<KEP_TextureInfo>(1);
    EXPECT_EQ(bad->image, 0);
    EXPECT_STREQ(bad->name.CStr(), "");
    EXPECT_EQ(map->meshes.At<KEP_Mesh>(0)->surfaces.Count(), 1);
    EXPECT_EQ(simhost::ImageNumbers(), std::vector<int>{1000});
}

TEST_F(LoadFailureTest, MediaIncludedHandsMissingFilesToTheHost) {
    KEP_MediaIncluded(1);
    TempDir dir;
    WriteImageFile(dir.Place("there.bmp"));
    kepw::Map source;
    kepw::Mesh mesh;
    mesh.surfaces = {kepw::TriangleSurface("there.bmp", 0), kepw::TriangleSurface("packed.bmp", 0)};
    source.meshes = {mesh};
    EXPECT_EQ(LoadFromFile(dir.Place("level.kep"), kepw::Write(source)), 0);
    EXPECT_EQ(LastErrorText(), "Invalid image identifier");
    EXPECT_EQ(simhost::CallsNamed("LoadEx"),
              (std::vector<std::string>{"LoadEx(" + dir.Path() + "/there.bmp,1000)",
                                        "LoadEx(" + dir.Path() + "/packed.bmp,1001)"}));
}

// A lightmap that claims more pixels than the data holds fails before the
// host is asked for any memory for it.
TEST_F(LoadFailureTest, LightmapLargerThanTheDataMakesNoMemblock) {
    struct Size {
        int32_t width;
        int32_t height;
    };
    for (Size size : {Size{4, 4}, Size{65536, 65536}, Size{0x40000000, 4}, Size{0x7fffffff, 2},
                      Size{3, 0x7fffffff}}) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        kepw::Map source;
        kepw::Lightmap big;
        big.width = size.width;
        big.height = size.height;
        big.pixels.assign(10, 0x11223344u); // with the two counts after: 48 bytes
        source.lightmaps = {kepw::PatternLightmap(1, 1, 0), big};
        ExpectFailure(LoadFromMemblock(kepw::Write(source)), "EOF");
        EXPECT_EQ(simhost::CallsNamed("MakeMemblock"),
                  std::vector<std::string>{"MakeMemblock(31,20)"});
        EXPECT_TRUE(simhost::RefusedWrites().empty());
        ASSERT_NE(CurrentMap(), nullptr);
        EXPECT_EQ(CurrentMap()->lightmaps.Count(), 1);
        KEP_Clear();
    }
    EXPECT_EQ(g_plugin.maps.Count(), 0);
    EXPECT_TRUE(NoLeaksSoFar());
}

TEST_F(LoadFailureTest, LightmapWithoutPixelsMakesNoImage) {
    kepw::Map source;
    kepw::Lightmap zeroWide{0, 5, {}};
    kepw::Lightmap negative{-3, -2, {}}; // the product is positive: still nothing to read
    kepw::Lightmap zeroHigh{4, 0, {}};
    source.lightmaps = {zeroWide, negative, zeroHigh, kepw::PatternLightmap(1, 2, 4)};
    source.entities = {{0, 0, "name=after", {}}};
    ASSERT_EQ(LoadFromMemblock(kepw::Write(source)), 1) << LastErrorText();
    KEP_Map* map = CurrentMap();
    ASSERT_EQ(map->lightmaps.Count(), 4);
    for (int32_t i = 0; i < 3; ++i) {
        const KEP_Lightmap* l = map->lightmaps.At<KEP_Lightmap>(i);
        EXPECT_EQ(l->image, 0) << i;
        EXPECT_EQ(l->width, source.lightmaps[static_cast<std::size_t>(i)].width);
        EXPECT_EQ(l->height, source.lightmaps[static_cast<std::size_t>(i)].height);
    }
    const KEP_Lightmap* real = map->lightmaps.At<KEP_Lightmap>(3);
    EXPECT_EQ(real->image, 1000);
    simhost::ImageContent image;
    ASSERT_TRUE(simhost::ReadImage(1000, &image));
    EXPECT_EQ(image.pixels, source.lightmaps[3].pixels);
    EXPECT_EQ(simhost::ImageNumbers(), std::vector<int>{1000});
    EXPECT_EQ(map->entities.Count(), 1); // the section after still reads right
}

// Run in a fresh process: host functions are looked up once per process, so
// hiding one only counts before its first use.
TEST_F(LoadFailureTest, HostThatMakesNoLightmapImageFailsTheLoad) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    kepw::Map source;
    source.lightmaps = {kepw::PatternLightmap(2, 2, 1)};
    const kepw::Bytes bytes = kepw::Write(source);
    EXPECT_EXIT(
        {
            simhost::HideFunction("?CreateImageFromMemblock@@YAXHH@Z");
            const int32_t result = LoadFromMemblock(bytes);
            std::fprintf(stderr, "result=%d code=%d text=[%s] current=%d images=%d\n", result,
                         KEP_GetLastError(), LastErrorText().c_str(), CurrentMap() ? 1 : 0,
                         static_cast<int>(simhost::ImageNumbers().size()));
            std::exit(0);
        },
        ::testing::ExitedWithCode(0),
        "result=0 code=0 text=\\[Invalid image identifier\\] current=1 images=0");
}

// A count far beyond the data fails when the data runs out, without taking
// memory or time in proportion to the count.
struct HugeCount {
    const char* name;
    std::function<void(kepw::Map&)> apply;
    // End the data right after the mesh section: a further surface would
    // otherwise take the entity section's bytes for its texture name.
    bool endAfterMeshes = false;
};

kepw::Map SmallMapOfEveryKind() {
    kepw::Map map;
    map.version = 5;
    map.groups = {{0, 0, "", {}}};
    map.visGroups = {{"v", {}}};
    map.lightmaps = {kepw::PatternLightmap(1, 1, 0)};
    kepw::Mesh mesh;
    kepw::Surface surface = kepw::TriangleSurface("CAULK", 0);
    surface.lines = {{0, 1}};
    mesh.surfaces = {surface};
    map.meshes = {mesh};
    map.entities = {{0, 0, "", {}}};
    return map;
}

constexpr int32_t kHuge = 0x7fffffff;

TEST_F(LoadFailureTest, CountsLargerThanTheDataFailFast) {
    const HugeCount cases[] = {
        {"groups", [](kepw::Map& m) { m.groupCount = kHuge; }},
        {"visgroups", [](kepw::Map& m) { m.visGroupCount = kHuge; }},
        {"lightmaps", [](kepw::Map& m) { m.lightmapCount = kHuge; }},
        {"meshes", [](kepw::Map& m) { m.meshCount = kHuge; }},
        {"surfaces", [](kepw::Map& m) { m.meshes[0].surfaceCount = kHuge; }, true},
        {"vertices", [](kepw::Map& m) { m.meshes[0].surfaces[0].vertexCount = kHuge; }},
        {"triangles", [](kepw::Map& m) { m.meshes[0].surfaces[0].triangleCount = kHuge; }},
        {"lines", [](kepw::Map& m) { m.meshes[0].surfaces[0].lineCount = kHuge; }},
        {"entities", [](kepw::Map& m) { m.entityCount = kHuge; }},
    };
    for (const HugeCount& c : cases) {
        SCOPED_TRACE(c.name);
        kepw::Map source = SmallMapOfEveryKind();
        c.apply(source);
        kepw::Bytes bytes = kepw::Write(source);
        if (c.endAfterMeshes) {
            source.entities.clear();
            bytes = kepw::Write(source);
            bytes.resize(bytes.size() - 4);
        }
        const auto start = std::chrono::steady_clock::now();
        ExpectFailure(LoadFromMemblock(bytes), "EOF");
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_LT(elapsed, std::chrono::seconds(2));
        EXPECT_NE(CurrentMap(), nullptr);
        KEP_Clear();
    }
    // The smallest case: a group count and nothing else worth reading.
    kepw::Map tiny;
    tiny.groupCount = kHuge;
    tiny.groups = {{1, 0, "abc", {}}};
    const kepw::Bytes bytes = kepw::Truncate(kepw::Write(tiny), 30);
    ASSERT_EQ(bytes.size(), 30u);
    ExpectFailure(LoadFromMemblock(bytes), "EOF");
    KEP_Clear();
    EXPECT_TRUE(NoLeaksSoFar());
}

TEST_F(LoadFailureTest, NonPositiveLightmapNumbersNameNoLightmap) {
    kepw::Map source;
    source.lightmaps = {kepw::PatternLightmap(1, 1, 0)};
    kepw::Mesh mesh;
    for (int32_t number : {INT_MIN, -5, 0, 1, 2}) // read, then dropped for caulk
        mesh.surfaces.push_back(kepw::TriangleSurface("caulk", number));
    mesh.surfaces.push_back(kepw::TriangleSurface("x.bmp", INT_MIN));
    mesh.surfaces.push_back(kepw::TriangleSurface("x.bmp", -5));
    mesh.surfaces.push_back(kepw::TriangleSurface("x.bmp", 3)); // past the end: kept as given
    source.meshes = {mesh};
    TempDir dir;
    WriteImageFile(dir.Place("x.bmp"));
    ASSERT_EQ(LoadFromFile(dir.Place("level.kep"), kepw::Write(source)), 1) << LastErrorText();
    const CList& surfaces = CurrentMap()->meshes.At<KEP_Mesh>(0)->surfaces;
    ASSERT_EQ(surfaces.Count(), 3);
    EXPECT_LT(surfaces.At<KEP_Surface>(0)->lightmapIndex, 0);
    EXPECT_LT(surfaces.At<KEP_Surface>(1)->lightmapIndex, 0);
    EXPECT_EQ(surfaces.At<KEP_Surface>(2)->lightmapIndex, 2);
}

} // namespace
