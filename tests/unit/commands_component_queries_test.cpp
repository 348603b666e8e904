// Counting components, surface and texture queries, texture creation and
// retexturing, entity positions and pivot indices.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "command_test_maps.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "simhost/scene.h"
#include "test_host.h"

namespace {

using ComponentQueryTest = PluginTest;

const int32_t kBadIndices[] = {-1, INT_MIN, INT_MAX};

TEST_F(ComponentQueryTest, EveryCommandFailsWithoutACurrentMap) {
    EXPECT_EQ(KEP_Count(7), 0);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEP_SurfaceCount(0), 0);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEP_SurfaceTexture(0, 0), -1);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEP_TextureID(0), 0);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEP_TextureCreate("x", 1), -1);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEP_TextureMesh(0, 0, 0), 0);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEP_EntityY(0), 0u);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEP_PivotID(0), -1);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEP_GetMeshIndex(1000), -1);
    EXPECT_TRUE(Failed("No current map"));
    char buffer[4] = "abc";
    EXPECT_EQ(KEPCPP_TextureName(buffer, 0), 0);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_STREQ(buffer, "abc");
}

TEST_F(ComponentQueryTest, CountsEachComponentOfTheCurrentMap) {
    TestMap other;
    TestMap map;
    KEP_Group* g1 = map.AddGroup();
    map.AddGroup();
    map.AddGroup();
    map.AddVisGroup("v");
    KEP_Mesh* mesh = map.AddMesh(g1);
    map.AddMesh(nullptr);
    map.AddSurface(mesh);
    map.AddEntity(g1);
    map.AddPivot(g1);
    map.AddPivot(nullptr);
    map.AddTexture("t", 1);
    map.AddLightmap(2);
    map.AddLightmap(3);
    map->objectsBuilt = 4;

    const int32_t expected[] = {3, 1, 3, 2, 1, 2, 2, 2, 4};
    for (int32_t code = 0; code <= 8; ++code) {
        EXPECT_EQ(KEP_Count(code), expected[code]) << "code " << code;
        EXPECT_TRUE(Succeeded());
    }
    for (int32_t code : {9, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(KEP_Count(code), 0) << code;
        EXPECT_TRUE(Failed("Invalid component type"));
    }
}

TEST_F(ComponentQueryTest, GroupCountOfAMapStoppedInsideTheGroupSection) {
    TestMap partial(false);
    EXPECT_EQ(KEP_Count(0), -1);
    partial.AddGroup();
    partial.AddGroup();
    EXPECT_EQ(KEP_Count(0), 1);
    EXPECT_TRUE(Succeeded());
}

TEST_F(ComponentQueryTest, SurfaceQueriesCheckMeshThenSurface) {
    TestMap map;
    KEP_Mesh* mesh = map.AddMesh(nullptr);
    map.AddSurface(mesh, 2);
    map.AddSurface(mesh, 0);
    map.AddMesh(nullptr);

    EXPECT_EQ(KEP_SurfaceCount(0), 2);
    EXPECT_EQ(KEP_SurfaceCount(1), 0);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(KEP_SurfaceTexture(0, 0), 2);
    EXPECT_EQ(KEP_SurfaceTexture(0, 1), 0);
    EXPECT_TRUE(Succeeded());
    for (int32_t bad : {2, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(KEP_SurfaceCount(bad), 0);
        EXPECT_TRUE(Failed("Invalid mesh index"));
        EXPECT_EQ(KEP_SurfaceTexture(bad, 0), -1);
        EXPECT_TRUE(Failed("Invalid mesh index"));
        EXPECT_EQ(KEP_SurfaceTexture(0, bad), -1);
        EXPECT_TRUE(Failed("Invalid surface index"));
    }
    EXPECT_EQ(KEP_SurfaceTexture(1, 0), -1);
    EXPECT_TRUE(Failed("Invalid surface index"));
}

TEST_F(ComponentQueryTest, TextureNameFollowsTheStringResultConvention) {
    TestMap map;
    map.AddTexture("stone_wall", 1000);
    map.AddTexture("", 1001);

    char* first = KEP_TextureName(nullptr, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, "stone_wall");
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(simhost::OutstandingHostStrings(), 1u);

    char* again = KEP_TextureName(first, 0); // releases the first string
    ASSERT_NE(again, nullptr);
    EXPECT_STREQ(again, "stone_wall");
    EXPECT_EQ(simhost::OutstandingHostStrings(), 1u);

    // An empty name: null result, no failure, previous string released.
    EXPECT_EQ(KEP_TextureName(again, 1), nullptr);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(simhost::OutstandingHostStrings(), 0u);

    for (int32_t bad : {2, -1, INT_MIN, INT_MAX}) {
        char* previous = KEP_TextureName(nullptr, 0);
        EXPECT_EQ(KEP_TextureName(previous, bad), nullptr);
        EXPECT_TRUE(Failed("Invalid texture index"));
        EXPECT_EQ(simhost::OutstandingHostStrings(), 0u);
    }

    KEP_Clear();
    char* previous = KEP_TextureName(nullptr, 0);
    EXPECT_EQ(previous, nullptr);
    EXPECT_TRUE(Failed("No current map"));
}

TEST_F(ComponentQueryTest, DirectTextureNameWritesOnlyTheNameAndItsTerminator) {
    TestMap map;
    map.AddTexture("brick", 1000);
    map.AddTexture("", 1001);

    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(KEPCPP_TextureName(buffer, 0), 1);
    EXPECT_TRUE(Succeeded());
    EXPECT_STREQ(buffer, "brick");
    EXPECT_EQ(buffer[6], '#');

    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(KEPCPP_TextureName(buffer, 1), 1); // empty name: nothing written
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(buffer[0], '#');

    for (int32_t bad : {2, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(KEPCPP_TextureName(buffer, bad), 0);
        EXPECT_TRUE(Failed("Invalid texture index"));
        EXPECT_EQ(buffer[0], '#');
    }
    EXPECT_EQ(KEPCPP_TextureName(nullptr, 0), 0);
    EXPECT_TRUE(Failed("Invalid buffer"));
    EXPECT_EQ(simhost::OutstandingHostStrings(), 0u);
}

TEST_F(ComponentQueryTest, TextureImageHasBothExportNames) {
    TestMap map;
    map.AddTexture("a", 1000);
    map.AddTexture("b", 1007);
    EXPECT_EQ(KEP_TextureID(1), 1007);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(KEP_Texture(0), 1000);
    EXPECT_TRUE(Succeeded());
    for (int32_t bad : {2, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(KEP_TextureID(bad), 0);
        EXPECT_TRUE(Failed("Invalid texture index"));
        EXPECT_EQ(KEP_Texture(bad), 0);
        EXPECT_TRUE(Failed("Invalid texture index"));
    }
}

TEST_F(ComponentQueryTest, TextureCreateAppendsWhereverTheCursorWasLeft) {
    TestMap map;
    map.AddTexture("a", 1000);
    map.AddTexture("b", 1001);
    map.AddTexture("c", 1002);
    MakeHostImage(5);
    MakeHostImage(6);

    char* name = KEP_TextureName(nullptr, 0); // leaves the cursor on texture 0
    EXPECT_EQ(KEP_TextureCreate("mine", 5), 3);
    EXPECT_TRUE(Succeeded());
    ASSERT_EQ(KEP_Count(4), 4);
    const char* names[] = {"a", "b", "c", "mine"};
    for (int32_t i = 0; i < 4; ++i) {
        name = KEP_TextureName(name, i);
        EXPECT_STREQ(name, names[i]);
    }
    EXPECT_EQ(KEP_TextureID(3), 5);
    EXPECT_EQ(KEP_TextureID(0), 1000);

    EXPECT_EQ(KEP_TextureCreate(nullptr, 6), 4); // no name: an empty one
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(KEP_TextureName(name, 4), nullptr);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(KEP_TextureID(4), 6);
}

TEST_F(ComponentQueryTest, TextureCreateRefusesImagesTheHostDoesNotHave) {
    TestMap map;
    map.AddTexture("a", 1000);
    for (int32_t image : {1000, 0, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(KEP_TextureCreate("x", image), -1) << image;
        EXPECT_TRUE(Failed("Invalid image media identifier"));
    }
    EXPECT_EQ(KEP_Count(4), 1);
}

TEST_F(ComponentQueryTest, TextureCreatedFromAScriptImageIsDeletedWithTheMap) {
    TestMap map;
    MakeHostImage(5);
    ASSERT_EQ(KEP_TextureCreate("mine", 5), 0);
    KEP_Clear();
    EXPECT_EQ(simhost::CallsNamed("DeleteEx"), std::vector<std::string>{"DeleteEx(5)"});
}

TEST_F(ComponentQueryTest, TextureMeshChecksTextureFirstThenMeshThenSurface) {
    TestMap map;
    KEP_Mesh* mesh = map.AddMesh(nullptr);
    map.AddSurface(mesh);
    map.AddTexture("a", 1000);

    EXPECT_EQ(KEP_TextureMesh(5, 0, 5), 0);
    EXPECT_TRUE(Failed("Invalid texture index"));
    for (int32_t bad : kBadIndices) {
        EXPECT_EQ(KEP_TextureMesh(0, 0, bad), 0);
        EXPECT_TRUE(Failed("Invalid texture index"));
        EXPECT_EQ(KEP_TextureMesh(bad, 0, 0), 0);
        EXPECT_TRUE(Failed("Invalid mesh index"));
        EXPECT_EQ(KEP_TextureMesh(0, bad, 0), 0);
        EXPECT_TRUE(Failed("Invalid surface index"));
    }
    EXPECT_EQ(KEP_TextureMesh(0, 1, 0), 0);
    EXPECT_TRUE(Failed("Invalid surface index"));
}

TEST_F(ComponentQueryTest, TextureMeshRetexturesTheLimbTheSurfaceBecame) {
    TestMap map;
    KEP_Group* group = map.AddGroup();
    KEP_Mesh* mesh = map.AddMesh(group);
    KEP_Surface* root = map.AddSurface(mesh, 0);
    KEP_Surface* limb = map.AddSurface(mesh, 0);
    KEP_Surface* unbuilt = map.AddSurface(mesh, 0);
    root->builtObject = limb->builtObject = 1000;
    limb->builtLimb = 2;
    MakeHostObject(1000);
    MakeHostLimb(1000, 1);
    MakeHostLimb(1000, 2);
    map.AddTexture("a", 1000);
    map.AddTexture("b", 1020);
    simhost::ClearCalls();

    EXPECT_EQ(KEP_TextureMesh(0, 1, 1), 1);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(limb->textureIndex, 1);
    EXPECT_EQ(KEP_SurfaceTexture(0, 1), 1);
    EXPECT_EQ(KEP_TextureMesh(0, 0, 1), 1);
    EXPECT_EQ(simhost::CallsNamed("TextureLimb"),
              (std::vector<std::string>{"TextureLimb(1000,2,1020)", "TextureLimb(1000,0,1020)"}));
    simhost::ObjectState object;
    ASSERT_TRUE(simhost::FindObject(1000, &object));
    ASSERT_EQ(object.limbs.size(), 3u);
    EXPECT_EQ(object.limbs[0].stage0Image, 1020);
    EXPECT_EQ(object.limbs[1].stage0Image, 0);
    EXPECT_EQ(object.limbs[2].stage0Image, 1020);

    // A surface that was never built changes its index and nothing in the host.
    simhost::ClearCalls();
    EXPECT_EQ(KEP_TextureMesh(0, 2, 1), 1);
    EXPECT_EQ(unbuilt->textureIndex, 1);
    EXPECT_TRUE(simhost::Calls().empty());
}

TEST_F(ComponentQueryTest, EntityPositionsComeBackAsFloatBits) {
    TestMap map;
    map.AddEntity(nullptr, 1.5f, -2.25f, 1e-3f);
    EXPECT_EQ(FloatFromBits(KEP_EntityX(0)), 1.5f);
    EXPECT_EQ(FloatFromBits(KEP_EntityY(0)), -2.25f);
    EXPECT_EQ(FloatFromBits(KEP_EntityZ(0)), 1e-3f);
    EXPECT_TRUE(Succeeded());
    for (int32_t bad : {1, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(KEP_EntityX(bad), 0u);
        EXPECT_TRUE(Failed("Invalid entity index"));
        EXPECT_EQ(KEP_EntityZ(bad), 0u);
        EXPECT_TRUE(Failed("Invalid entity index"));
    }
}

TEST_F(ComponentQueryTest, PivotIdIsThePositionInThePivotList) {
    TestMap map;
    KEP_Group* group = map.AddGroup();
    map.AddEntity(group);   // entity 0: not a pivot
    map.AddPivot(group);    // entity 1: pivot 0
    map.AddEntity(nullptr); // entity 2
    map.AddPivot(nullptr);  // entity 3: pivot 1
    EXPECT_EQ(KEP_PivotID(1), 0);
    EXPECT_EQ(KEP_PivotID(3), 1);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(KEP_PivotID(0), -1);
    EXPECT_TRUE(Succeeded());
    for (int32_t bad : {4, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(KEP_PivotID(bad), -1);
        EXPECT_TRUE(Failed("Invalid entity index"));
    }
}

TEST_F(ComponentQueryTest, MeshIndexOfAHostObjectIsTheFirstMeshBuiltIntoIt) {
    TestMap map;
    map.AddMesh(nullptr);                                     // mesh 0: never built
    map.AddSurface(map.AddMesh(nullptr))->builtObject = 1001; // mesh 1
    KEP_Mesh* both = map.AddMesh(nullptr);                    // mesh 2
    map.AddSurface(both)->builtObject = 1002;
    map.AddSurface(both)->builtObject = 1001;
    EXPECT_EQ(KEP_GetMeshIndex(1001), 1);
    EXPECT_EQ(KEP_GetMeshIndex(1002), 2);
    EXPECT_TRUE(Succeeded());
    for (int32_t object : {1003, 0, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(KEP_GetMeshIndex(object), -1) << object;
        EXPECT_TRUE(Succeeded());
    }
}

} // namespace
