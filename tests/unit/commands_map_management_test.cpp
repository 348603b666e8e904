// Switching, showing, hiding and clearing maps, and the host's end call.
#include <climits>
#include <string>
#include <vector>

#include "command_test_maps.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "simhost/memblocks_images.h"
#include "simhost/scene.h"
#include "test_host.h"

namespace {

class MapManagementTest : public PluginTest {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        // Map numbers here are those of a fresh process.
        g_plugin.mapNumberCounter = 0;
    }
};

std::vector<std::string> CallTexts() {
    std::vector<std::string> out;
    for (const simhost::Call& call : simhost::Calls())
        out.push_back(call.Text());
    return out;
}

TEST_F(MapManagementTest, WithoutMapsEveryCommandReportsItsNeutralResult) {
    EXPECT_EQ(KEP_GetCurrentMap(), -1);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(KEP_SetCurrentMap(0), 0);
    EXPECT_TRUE(Succeeded());
    KEP_ShowMap();
    EXPECT_TRUE(Failed("No current map"));
    KEP_HideMap();
    EXPECT_TRUE(Failed("No current map"));
    KEP_Clear();
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_TRUE(simhost::Calls().empty());
}

TEST_F(MapManagementTest, SetMapSelectsByNumberAndKeepsTheCurrentMapOnAMiss) {
    TestMap a;
    TestMap b;
    EXPECT_EQ(KEP_GetCurrentMap(), 1);
    EXPECT_EQ(KEP_SetCurrentMap(0), 1);
    EXPECT_EQ(g_plugin.currentMap, a.Map());
    EXPECT_EQ(KEP_GetCurrentMap(), 0);
    for (int32_t missing : {5, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(KEP_SetCurrentMap(missing), 0) << missing;
        EXPECT_TRUE(Succeeded());
        EXPECT_EQ(KEP_GetCurrentMap(), 0);
    }
    EXPECT_EQ(KEP_SetCurrentMap(1), 1);
    EXPECT_EQ(g_plugin.currentMap, b.Map());
}

TEST_F(MapManagementTest, ClearingTheNewerMapLeavesMapZeroCurrentThenNothing) {
    TestMap a;
    TestMap b;
    KEP_Clear();
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(g_plugin.maps.Count(), 1);
    EXPECT_EQ(g_plugin.currentMap, a.Map());
    EXPECT_EQ(KEP_GetCurrentMap(), 0);
    KEP_Clear();
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(g_plugin.maps.Count(), 0);
    EXPECT_EQ(g_plugin.currentMap, nullptr);
    EXPECT_EQ(KEP_GetCurrentMap(), -1);
    KEP_ShowMap();
    EXPECT_TRUE(Failed("No current map"));
}

TEST_F(MapManagementTest, WithoutMapZeroTheNewestRemainingMapBecomesCurrent) {
    TestMap m0;
    TestMap m1;
    TestMap m2;
    TestMap m3;
    ASSERT_EQ(KEP_SetCurrentMap(0), 1);
    KEP_Clear();
    EXPECT_EQ(KEP_GetCurrentMap(), 3);
    ASSERT_EQ(KEP_SetCurrentMap(1), 1);
    KEP_Clear();
    EXPECT_EQ(KEP_GetCurrentMap(), 3);
    EXPECT_EQ(KEP_SetCurrentMap(1), 0);
    EXPECT_EQ(KEP_SetCurrentMap(2), 1);
    EXPECT_EQ(g_plugin.currentMap, m2.Map());
    EXPECT_EQ(g_plugin.maps.Count(), 2);
}

TEST_F(MapManagementTest, ShowAndHideReachOnlyGroupsThatOwnTheirObject) {
    TestMap map;
    KEP_Group* g1 = map.AddGroup();
    KEP_Group* g2 = map.AddGroup();
    KEP_Group* g3 = map.AddGroup();
    map->defaultGroup->object = 1003;
    map->defaultGroup->ownsObject = 1;
    g1->object = 1001; // a limb in group 2's object
    g2->object = 1001;
    g2->ownsObject = 1;
    g3->ownsObject = 1; // but never got an object
    for (int object : {1001, 1003})
        MakeHostObject(object);
    simhost::ClearCalls();

    KEP_HideMap();
    EXPECT_TRUE(Succeeded());
    KEP_ShowMap();
    EXPECT_TRUE(Succeeded());
    // Group-list order: the default group, then groups 3, 2, 1.
    EXPECT_EQ(CallTexts(),
              (std::vector<std::string>{"Hide(1003)", "Hide(1001)", "Show(1003)", "Show(1001)"}));
}

TEST_F(MapManagementTest, ClearDeletesObjectsAndImagesOnceInItsFixedOrder) {
    TestMap map;
    KEP_Group* g1 = map.AddGroup();
    KEP_Group* g2 = map.AddGroup();
    KEP_Group* g3 = map.AddGroup();
    g1->object = 1000; // shares group 2's object
    g2->object = 1000;
    g2->ownsObject = 1;
    g3->object = 1001; // already deleted by the script
    g3->ownsObject = 1;
    AddProperty(g1->properties, "name", "door");
    KEP_Mesh* mesh = map.AddMesh(g2);
    AddProperty(mesh->properties, "k", "v");
    KEP_Surface* surface = map.AddSurface(mesh);
    surface->vertices.Add(KEP_NEW(KEP_Vertex, KEP_UNIT_MAP));
    surface->triangles.Add(KEP_NEW(KEP_Triangle, KEP_UNIT_MAP));
    surface->lines.Add(KEP_NEW(KEP_Line, KEP_UNIT_MAP));
    map.AddPivot(g2);
    map.AddEntity(nullptr);
    map.AddVisGroup("vis");
    map.AddTexture("wall", 1010);
    map.AddTexture("missing", 0); // its image never loaded
    map.AddLightmap(1020);
    map.AddLightmap(-1);
    MakeHostObject(1000);
    for (int image : {1010, 1020, 7})
        MakeHostImage(image);
    simhost::ClearCalls();

    KEP_Clear();
    EXPECT_TRUE(Succeeded());
    // Groups in list order (default, 3, 2, 1), then texture and lightmap images.
    EXPECT_EQ(CallTexts(),
              (std::vector<std::string>{"GetExist(1001)", "GetExist(1000)", "DeleteEx(1000)",
                                        "GetExist(1000)", "DeleteEx(1010)", "DeleteEx(1020)"}));
    EXPECT_TRUE(simhost::ObjectNumbers().empty());
    EXPECT_EQ(simhost::ImageNumbers(), std::vector<int>{7});
    EXPECT_EQ(g_plugin.maps.Count(), 0);
    EXPECT_EQ(g_plugin.currentMap, nullptr);
}

TEST_F(MapManagementTest, ClearOfAPartlyLoadedMapFreesWhatWasRead) {
    TestMap partial(false); // stopped inside the group section
    partial.AddGroup();
    partial.AddTexture("t", 1000);
    TestMap other;
    ASSERT_EQ(KEP_SetCurrentMap(0), 1);
    simhost::ClearCalls();
    KEP_Clear();
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(simhost::CallsNamed("GetExist").size(), 0u); // its group had no object
    EXPECT_EQ(simhost::CallsNamed("DeleteEx"), std::vector<std::string>{"DeleteEx(1000)"});
    EXPECT_EQ(g_plugin.currentMap, other.Map());
}

TEST_F(MapManagementTest, AnImageSharedByTwoTexturesIsDeletedOnce) {
    TestMap map;
    map.AddTexture("a", 1000);
    map.AddLightmap(1001);
    MakeHostImage(1000);
    MakeHostImage(1001);
    ASSERT_EQ(KEP_TextureCreate("again", 1000), 1);
    ASSERT_EQ(KEP_TextureCreate("lightmap", 1001), 2);
    simhost::ClearCalls();
    KEP_Clear();
    EXPECT_EQ(simhost::CallsNamed("DeleteEx"),
              (std::vector<std::string>{"DeleteEx(1000)", "DeleteEx(1001)"}));
    EXPECT_TRUE(simhost::ImageNumbers().empty());
}

TEST_F(MapManagementTest, DestructorClearsEveryMapEvenWithNoneCurrent) {
    for (int i = 0; i < 3; ++i) {
        TestMap map;
        KEP_Group* group = map.AddGroup();
        group->object = 2000 + i;
        group->ownsObject = 1;
        MakeHostObject(2000 + i);
    }
    g_plugin.currentMap = nullptr; // as after a load that failed early
    g_plugin.lastErrorCode = 0;
    Destructor();
    EXPECT_EQ(g_plugin.maps.Count(), 0);
    EXPECT_EQ(g_plugin.currentMap, nullptr);
    EXPECT_TRUE(simhost::ObjectNumbers().empty());
    // Newest first: each clear leaves the newest remaining map current.
    EXPECT_EQ(simhost::DeletedObjects(), (std::vector<int>{2002, 2000, 2001}));
}

TEST_F(MapManagementTest, DestructorWithNothingLoadedLeavesTheErrorAlone) {
    KEP_Clear();
    ASSERT_TRUE(Failed("No current map"));
    Destructor();
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(g_plugin.currentMap, nullptr);
}

} // namespace
