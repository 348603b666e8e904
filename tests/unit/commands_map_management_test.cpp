// Switching, showing, hiding and clearing maps, and what every command gives
// back when there is no map or a number finds nothing.
#include <climits>
#include <string>
#include <vector>

#include "host/host_functions.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "scene_helpers.h"
#include "simhost/memblocks_images.h"
#include "simhost/scene.h"

namespace {

using namespace scene_test;
using MapManagementTest = SceneTest;

char g_buffer[4] = "abc";

// The last-error state: code 0 with this text, or code 1 and no text.
::testing::AssertionResult ErrorStateIs(int32_t code, const std::string& message) {
    const std::string text = g_plugin.lastErrorText.CStr();
    if (g_plugin.lastErrorCode == code && text == message) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "code " << g_plugin.lastErrorCode << ", " << text;
}
::testing::AssertionResult Failed(const char* message) {
    return ErrorStateIs(0, message);
}
::testing::AssertionResult Succeeded() {
    return ErrorStateIs(1, "");
}

// A command with the number n in one argument, what it gives back without a
// map and when n finds nothing, and the message then (null: code 1).
struct Case {
    const char* command;
    int64_t (*call)(int32_t n);
    int64_t result;
    const char* badNumberMessage;
};
// clang-format off
#define CASE(e, result, text) Case{#e, [](int32_t n) -> int64_t { return e; }, result, text}
// clang-format on
const Case kCases[] = {
    CASE(KEP_Count(n), 0, "Invalid component type"),
    CASE(KEP_SurfaceCount(n), 0, "Invalid mesh index"),
    CASE(KEP_SurfaceTexture(n, 0), -1, "Invalid mesh index"),
    CASE(KEP_SurfaceTexture(0, n), -1, "Invalid surface index"),
    CASE(KEP_TextureName(nullptr, n) != nullptr, 0, "Invalid texture index"),
    CASE(KEPCPP_TextureName(g_buffer, n), 0, "Invalid texture index"),
    CASE(KEP_TextureID(n), 0, "Invalid texture index"),
    CASE(KEP_Texture(n), 0, "Invalid texture index"),
    CASE(KEP_TextureCreate("x", n), -1, "Invalid image media identifier"),
    CASE(KEP_TextureMesh(0, 0, n), 0, "Invalid texture index"),
    CASE(KEP_TextureMesh(n, 0, 0), 0, "Invalid mesh index"),
    CASE(KEP_TextureMesh(0, n, 0), 0, "Invalid surface index"),
    CASE(KEP_EntityX(n), 0, "Invalid entity index"),
    CASE(KEP_EntityY(n), 0, "Invalid entity index"),
    CASE(KEP_EntityZ(n), 0, "Invalid entity index"),
    CASE(KEP_PivotID(n), -1, "Invalid entity index"),
    CASE(KEP_GetMeshIndex(n), -1, nullptr),
    CASE(KEP_Flags(0, n), 0, "Invalid component index"),
    CASE(KEP_PropertyCount(2, n), 0, "Invalid component index"),
    CASE(KEP_Property(nullptr, n, 0, 0, 0) != nullptr, 0, "Invalid component type"),
    CASE(KEP_Property(nullptr, 2, n, 0, 0) != nullptr, 0, "Invalid property type"),
    CASE(KEP_Property(nullptr, 6, 0, n, 0) != nullptr, 0, "Invalid component index"),
    CASE(KEP_Property(nullptr, 2, 0, 0, n) != nullptr, 0, "Invalid property index"),
    CASE(KEP_PropertyByKey(nullptr, 3, n, "k") != nullptr, 0, "Invalid component index"),
    CASE(KEPCPP_Property(g_buffer, 2, 0, 0, n), 0, "Invalid property index"),
    CASE(KEPCPP_PropertyByKey(g_buffer, n, 0, "k"), 0, "Invalid component type"),
    CASE((KEP_Move(n, 1, 1, 1), 0), 0, "Invalid pivot index"),
    CASE((KEP_Position(n, 1, 1, 1), 0), 0, "Invalid pivot index"),
    CASE((KEP_Angle(n, 1, 1, 1), 0), 0, "Invalid pivot index"),
    CASE((KEP_Rotate(n, 1, 1, 1), 0), 0, "Invalid pivot index"),
    CASE((KEP_Show(n), 0), 0, "Invalid pivot index"),
    CASE((KEP_Hide(n), 0), 0, "Invalid pivot index"),
    CASE(KEP_ObjectToGroup(n), -1, nullptr),
    CASE(KEP_GroupToObject(n), 0, nullptr),
    CASE(KEP_GroupToPivot(n), -1, nullptr),
    CASE(KEP_PivotToGroup(n), -1, nullptr),
    CASE(KEP_MeshToGroup(n), -1, nullptr),
    CASE(KEP_EntityToGroup(n), -1, nullptr),
};

TEST_F(MapManagementTest, WithoutAMapOrWithNumbersThatFindNothingEveryCommandFailsNeutrally) {
    simhost::SetCallLog(simhost::CallLog::kFull);
    for (const Case& c : kCases) {
        ResetLastError(); // so that each command must set the failure itself
        EXPECT_EQ(c.call(0), c.result) << c.command;
        EXPECT_TRUE(Failed("No current map")) << c.command;
    }
    for (auto command : {KEP_ShowMap, KEP_HideMap, KEP_Clear}) {
        ResetLastError();
        command();
        EXPECT_TRUE(Failed("No current map"));
    }
    EXPECT_TRUE(simhost::Calls().empty());
    EXPECT_EQ(KEP_GetCurrentMap(), -1); // no failure
    EXPECT_TRUE(Succeeded());

    // Mesh 0 with a surface, texture 0, entity 0 with a property, pivot 0.
    kepw::Map map;
    map.groups = {kepw::Group{}};
    map.meshes = {MeshOf(1, {OneTriangle("t.bmp", 0)})};
    map.entities = {{0, 1, "classname=light", {}}, Pivot(1, 0, 0, 0)};
    ASSERT_EQ(Load(map, 0), 1) << LastErrorText();
    for (int32_t bad : {-1, 9, INT_MIN, INT_MAX}) { // 9: the first code past the component types
        for (const Case& c : kCases) {
            EXPECT_EQ(c.call(bad), c.result) << c.command << " " << bad;
            EXPECT_TRUE(c.badNumberMessage ? Failed(c.badNumberMessage) : Succeeded())
                << c.command << " " << bad;
        }
    }
    EXPECT_STREQ(g_buffer, "abc");
    EXPECT_EQ(simhost::OutstandingHostStrings(), 0u);
}

TEST_F(MapManagementTest, SetMapSelectsByNumberAndClearFallsBackToMapZero) {
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(Load(kepw::Map(), 0), 1);
    EXPECT_EQ(KEP_SetCurrentMap(1), 1);
    EXPECT_EQ(KEP_SetCurrentMap(9), 0); // a miss keeps the current map
    EXPECT_TRUE(Succeeded());
    std::vector<int32_t> currentAfterEachClear;
    for (int i = 0; i < 4; ++i, KEP_Clear())
        currentAfterEachClear.push_back(KEP_GetCurrentMap());
    // Map 0 while it is there, then the newest remaining map.
    EXPECT_EQ(currentAfterEachClear, (std::vector<int32_t>{1, 0, 3, 2}));
    EXPECT_EQ(KEP_GetCurrentMap(), -1);
}

TEST_F(MapManagementTest, TextureMeshShowHideAndClearReachEachHostObjectAndImageOnce) {
    // Groups 3 and 2 own objects 1000 and 1001; group 1, 2's child, is a limb
    // of 1001. The lightmap is image 1000, textures a and b 1001 and 1002.
    kepw::Map map;
    map.groups = {ChildOf(2), kepw::Group{}, kepw::Group{}};
    map.lightmaps = {kepw::PatternLightmap(1, 1, 1)};
    map.meshes = {MeshOf(1, {OneTriangle("a.bmp", 1)}), MeshOf(2, {OneTriangle("b.bmp", 0)}),
                  MeshOf(3, {OneTriangle("a.bmp", 0)})};
    ASSERT_EQ(Load(map, 2), 1) << LastErrorText();
    simhost::MakeTestImage(7, 1, 1, {0u});
    host::object::DeleteEx(1000);                   // by the script
    ASSERT_EQ(KEP_TextureCreate("again", 1001), 2); // one image, two textures
    simhost::SetCallLog(simhost::CallLog::kFull);
    EXPECT_EQ(KEP_TextureMesh(0, 0, 1), 1); // group 1's surface: limb 1 of object 1001
    KEP_HideMap();
    KEP_ShowMap();
    KEP_Clear();
    EXPECT_TRUE(Succeeded());
    // Groups in list order (default, 3, 2, 1), then texture and lightmap images.
    EXPECT_EQ(CallsAmong({"TextureLimb", "Hide", "Show", "GetExist", "DeleteEx"}),
              "TextureLimb(1001,1,1002) Hide(1000) Hide(1001) Show(1000) Show(1001) GetExist(1000) "
              "GetExist(1001) "
              "DeleteEx(1001) GetExist(1001) DeleteEx(1001) DeleteEx(1002) DeleteEx(1000)");
    EXPECT_EQ(simhost::ImageNumbers(), std::vector<int>{7});
    EXPECT_EQ(KEP_GetCurrentMap(), -1);
    EXPECT_TRUE(NoLeaksSoFar());
}

TEST_F(MapManagementTest, DestructorClearsEveryMapEvenWithNoneCurrent) {
    kepw::Map map;
    map.meshes = {MeshOf(0, {OneTriangle("a.bmp", 0)})};
    for (int i = 0; i < 3; ++i) // objects 1000, 1001, 1002
        ASSERT_EQ(Load(map, 0), 1) << LastErrorText();
    g_plugin.currentMap = nullptr; // as after a load that failed early
    Destructor();
    EXPECT_EQ(g_plugin.maps.Count(), 0);
    // The newest first, then map 0 as each clear makes it current.
    EXPECT_EQ(simhost::DeletedObjects(), (std::vector<int>{1002, 1000, 1001}));
}

} // namespace
