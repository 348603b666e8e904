// Texture names: where their files are looked for, when they are shared, and
// which image numbers they get.
#include <gtest/gtest.h>

#include <string>

#include "load_helpers.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "simhost/memblocks_images.h"
#include "test_host.h"

namespace {

using TextureLoadTest = PluginTest;

kepw::Map MapNaming(const std::vector<std::string>& textures) {
    kepw::Map map;
    kepw::Mesh mesh;
    for (const std::string& name : textures)
        mesh.surfaces.push_back(kepw::TriangleSurface(name, 0));
    map.meshes = {mesh};
    return map;
}

std::vector<std::string> TextureNames(const KEP_Map& map) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < map.textures.Count(); ++i)
        names.push_back(map.textures.At<KEP_TextureInfo>(i)->name.CStr());
    return names;
}

std::vector<int32_t> TextureImages(const KEP_Map& map) {
    std::vector<int32_t> images;
    for (int32_t i = 0; i < map.textures.Count(); ++i)
        images.push_back(map.textures.At<KEP_TextureInfo>(i)->image);
    return images;
}

std::vector<int32_t> SurfaceTextures(const KEP_Mesh& mesh) {
    std::vector<int32_t> indices;
    for (int32_t i = 0; i < mesh.surfaces.Count(); ++i)
        indices.push_back(mesh.surfaces.At<KEP_Surface>(i)->textureIndex);
    return indices;
}

TEST_F(TextureLoadTest, LightmapsThenTexturesTakeImageNumbersInOrderOfFirstUse) {
    TempDir dir;
    for (const char* name : {"a.bmp", "b.png", "c.bmp"})
        WriteImageFile(dir.Place(name));
    kepw::Map source = MapNaming({"b.png", "a.bmp", "b.png", "c.bmp", "a.bmp"});
    source.lightmaps = {kepw::PatternLightmap(1, 1, 0), kepw::PatternLightmap(2, 1, 1)};
    ASSERT_EQ(LoadFromFile(dir.Place("level.kep"), kepw::Write(source)), 1) << LastErrorText();
    const KEP_Map& map = *CurrentMap();
    EXPECT_EQ(map.lightmaps.At<KEP_Lightmap>(0)->image, 1000);
    EXPECT_EQ(map.lightmaps.At<KEP_Lightmap>(1)->image, 1001);
    EXPECT_EQ(TextureNames(map), (std::vector<std::string>{"b.png", "a.bmp", "c.bmp"}));
    EXPECT_EQ(TextureImages(map), (std::vector<int32_t>{1002, 1003, 1004}));
    EXPECT_EQ(SurfaceTextures(*map.meshes.At<KEP_Mesh>(0)), (std::vector<int32_t>{0, 1, 0, 2, 1}));
    EXPECT_EQ(HostCallCount("LoadEx"), 3u);
}

TEST_F(TextureLoadTest, NamesDifferingInCaseShareOneTexture) {
    TempDir dir;
    WriteImageFile(dir.Place("Wall.jpg"));
    ASSERT_EQ(LoadFromFile(dir.Place("level.kep"),
                           kepw::Write(MapNaming({"Wall.jpg", "WALL.JPG", "wall.Jpg"}))),
              1)
        << LastErrorText();
    const KEP_Map& map = *CurrentMap();
    EXPECT_EQ(TextureNames(map), std::vector<std::string>{"Wall.jpg"});
    EXPECT_EQ(SurfaceTextures(*map.meshes.At<KEP_Mesh>(0)), (std::vector<int32_t>{0, 0, 0}));
    EXPECT_EQ(simhost::CallsNamed("LoadEx"),
              std::vector<std::string>{"LoadEx(" + dir.Path() + "/Wall.jpg,1000)"});
}

TEST_F(TextureLoadTest, CaulkSurfacesAreReadAndDroppedWithoutAnyLookup) {
    TempDir dir;
    WriteImageFile(dir.Place("real.bmp"));
    kepw::Map source =
        MapNaming({"CAULK", "common/caulk", "caulk_clip", "xCaUlKy.bmp", "real.bmp"});
    source.meshes[0].surfaces.back().vertices[2].position = {7.0f, 8.0f, 9.0f};
    kepw::Mesh next;
    next.flags = 77;
    next.surfaces = {kepw::TriangleSurface("common/CAULK", 0)};
    source.meshes.push_back(next);
    ASSERT_EQ(LoadFromFile(dir.Place("level.kep"), kepw::Write(source)), 1) << LastErrorText();
    const KEP_Map& map = *CurrentMap();
    EXPECT_EQ(TextureNames(map), std::vector<std::string>{"real.bmp"});
    EXPECT_EQ(simhost::CallsNamed("LoadEx"),
              std::vector<std::string>{"LoadEx(" + dir.Path() + "/real.bmp,1000)"});
    const KEP_Mesh* mesh = map.meshes.At<KEP_Mesh>(0);
    ASSERT_EQ(mesh->surfaces.Count(), 1);
    const KEP_Surface* kept = mesh->surfaces.At<KEP_Surface>(0);
    EXPECT_EQ(kept->textureIndex, 0);
    EXPECT_EQ(kept->vertices.At<KEP_Vertex>(2)->position[2], 9.0f);
    ASSERT_EQ(map.meshes.Count(), 2);
    EXPECT_EQ(map.meshes.At<KEP_Mesh>(1)->flags, 77);
    EXPECT_EQ(map.meshes.At<KEP_Mesh>(1)->surfaces.Count(), 0);
}

TEST_F(TextureLoadTest, TexturesAreLookedForBesideTheMap) {
    TempDir dir;
    WriteImageFile(dir.Place("maps/tex/stone.bmp"));
    const kepw::Bytes bytes = kepw::Write(MapNaming({"tex/stone.bmp"}));
    ASSERT_TRUE(kepw::WriteFile(dir.Place("maps/level.kep"), bytes));
    ScopedWorkingDir here(dir.Path());

    simhost::ClearCalls();
    ASSERT_EQ(KEP_Load("maps/level.kep", 0), 1) << LastErrorText();
    EXPECT_STREQ(CurrentMap()->mapDirectory, "maps/");
    EXPECT_EQ(simhost::CallsNamed("LoadEx"),
              std::vector<std::string>{"LoadEx(maps/tex/stone.bmp,1000)"});
    EXPECT_STREQ(CurrentMap()->textures.At<KEP_TextureInfo>(0)->name.CStr(), "tex/stone.bmp");

    // A memblock map has no directory: the name alone, from the working directory.
    EXPECT_EQ(LoadFromMemblock(bytes), 0);
    EXPECT_EQ(LastErrorText(), "Unable to find texture: tex/stone.bmp");
    EXPECT_STREQ(CurrentMap()->mapDirectory, "");
    ScopedWorkingDir inMaps(dir.Path() + "/maps");
    EXPECT_EQ(LoadFromMemblock(bytes), 1) << LastErrorText();
}

TEST_F(TextureLoadTest, NameWithoutDirectoryGivesAnEmptyMapDirectory) {
    TempDir dir;
    WriteImageFile(dir.Place("stone.bmp"));
    ASSERT_TRUE(kepw::WriteFile(dir.Place("level.kep"), kepw::Write(MapNaming({"stone.bmp"}))));
    ScopedWorkingDir here(dir.Path());
    simhost::ClearCalls();
    ASSERT_EQ(KEP_Load("level.kep", 0), 1) << LastErrorText();
    EXPECT_STREQ(CurrentMap()->mapDirectory, "");
    EXPECT_EQ(simhost::CallsNamed("LoadEx"), std::vector<std::string>{"LoadEx(stone.bmp,1000)"});
}

TEST_F(TextureLoadTest, BackslashesSeparateDirectoriesAndAreKept) {
    TempDir dir;
    WriteImageFile(dir.Place("maps/tex/stone.bmp"));
    ASSERT_TRUE(
        kepw::WriteFile(dir.Place("maps/level.kep"), kepw::Write(MapNaming({"tex\\stone.bmp"}))));
    const std::string windowsPath = dir.Path() + "\\maps\\level.kep";
    simhost::ClearCalls();
    ASSERT_EQ(KEP_Load(windowsPath.c_str(), 0), 1) << LastErrorText();
    EXPECT_EQ(std::string(CurrentMap()->mapDirectory), dir.Path() + "\\maps\\");
    EXPECT_EQ(simhost::CallsNamed("LoadEx"),
              std::vector<std::string>{"LoadEx(" + dir.Path() + "\\maps\\tex\\stone.bmp,1000)"});
    EXPECT_EQ(TextureNames(*CurrentMap()), std::vector<std::string>{"tex\\stone.bmp"});
}

TEST_F(TextureLoadTest, ImageNumbersNeverGoBelowOne) {
    TempDir dir;
    WriteImageFile(dir.Place("t.bmp"));
    kepw::Map source = MapNaming({"t.bmp"});
    source.lightmaps = {kepw::PatternLightmap(1, 1, 0)};

    KEP_InitialImage(0);
    ASSERT_EQ(LoadFromFile(dir.Place("level.kep"), kepw::Write(source)), 1) << LastErrorText();
    EXPECT_EQ(CurrentMap()->lightmaps.At<KEP_Lightmap>(0)->image, 1);
    EXPECT_EQ(TextureImages(*CurrentMap()), std::vector<int32_t>{2});

    KEP_InitialImage(-7);
    ASSERT_EQ(LoadFromFile(dir.Place("level.kep"), kepw::Write(source)), 1) << LastErrorText();
    EXPECT_EQ(CurrentMap()->lightmaps.At<KEP_Lightmap>(0)->image, 3);
    EXPECT_EQ(TextureImages(*CurrentMap()), std::vector<int32_t>{4});
    EXPECT_EQ(simhost::ImageNumbers(), (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(TextureLoadTest, EveryMapLoadsItsOwnTextureImages) {
    TempDir dir;
    WriteImageFile(dir.Place("t.bmp"));
    const std::string path = dir.Place("level.kep");
    const kepw::Bytes bytes = kepw::Write(MapNaming({"t.bmp"}));
    ASSERT_EQ(LoadFromFile(path, bytes), 1) << LastErrorText();
    ASSERT_EQ(LoadFromFile(path, bytes), 1) << LastErrorText();
    EXPECT_EQ(TextureImages(*CurrentMap()), std::vector<int32_t>{1001});
    EXPECT_EQ(TextureImages(*g_plugin.maps.At<KEP_Map>(0)), std::vector<int32_t>{1000});
}

} // namespace
