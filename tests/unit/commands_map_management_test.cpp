// Map management: each host object and image reached once, and the Destructor
// clearing every map.
#include <vector>

#include "core/memory.h"
#include "host/CLibrary.h"
#include "host/host_functions.h"
#include "load_helpers.h"
#include "plugin/exports.h"
#include "simhost/memblocks_images.h"

namespace {

using MapManagementTest = SceneTest;

// The script deletes an object and an image of the map: the commands pass
// over them, where the host would end the script for naming them.
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
    host::image::DeleteEx(1002);                    // by the script
    ASSERT_EQ(KEP_TextureCreate("again", 1001), 2); // one image, two textures
    simhost::SetCallLog(simhost::CallLog::kFull);
    EXPECT_EQ(KEP_TextureMesh(0, 0, 1), 1); // group 1's surface: limb 1 of object 1001
    EXPECT_EQ(KEP_TextureMesh(2, 0, 1), 1); // group 3's surface: object 1000 is gone
    KEP_HideMap();
    KEP_ShowMap();
    KEP_Clear();
    EXPECT_EQ(g_plugin.lastErrorCode, 1);
    // Groups in list order (default, 3, 2, 1), then texture and lightmap images.
    EXPECT_EQ(CallsAmong({"TextureLimb", "Hide", "Show", "GetExist", "DeleteEx"}),
              "GetExist(1001) TextureLimb(1001,1,1002) GetExist(1000) "
              "GetExist(1000) GetExist(1001) Hide(1001) GetExist(1000) GetExist(1001) Show(1001) "
              "GetExist(1000) GetExist(1001) DeleteEx(1001) GetExist(1001) "
              "DeleteEx(1001) DeleteEx(1000)");
    EXPECT_EQ(simhost::ImageNumbers(), std::vector<int>{7});
    ExpectNoRunTimeError();
    EXPECT_EQ(KEP_GetCurrentMap(), -1);
}

// A program that ends can have its modules unloaded by the host before the
// plug-in's Destructor: then the maps are freed without a call into the host.
TEST_F(MapManagementTest, DestructorClearsEveryMapEvenWithNoneCurrentOrTheHostGone) {
    kepw::Map map;
    map.meshes = {MeshOf(0, {OneTriangle("a.bmp", 0)})};
    for (int i = 0; i < 3; ++i) // objects 1000, 1001, 1002
        ASSERT_EQ(Load(map, 0), 1) << LastErrorText();
    // A load that cannot make its map record leaves no map current.
    for (int64_t n = 1; KEP_GetCurrentMap() != -1; ++n) {
        ASSERT_LT(n, 10) << "no load failed before its map was current";
        kep_memory_test::FailNthAllocation(n);
        Load(map, 0);
        kep_memory_test::FailNthAllocation(0);
    }
    ASSERT_EQ(g_plugin.maps.Count(), 3);
    Destructor();
    EXPECT_EQ(g_plugin.maps.Count(), 0);
    // The newest first, then map 0 as each clear makes it current.
    EXPECT_EQ(simhost::DeletedObjects(), (std::vector<int>{1002, 1000, 1001}));

    ASSERT_EQ(Load(map, 0), 1) << LastErrorText();
    ASSERT_EQ(Load(map, 0), 1) << LastErrorText();
    uint32_t* global = simhost::GlobalStructure();
    const uint32_t objectModule = global[kObjectModuleWord];
    global[kObjectModuleWord] = 0; // unloaded
    simhost::SetCallLog(simhost::CallLog::kFull);
    Destructor();
    global[kObjectModuleWord] = objectModule;
    EXPECT_EQ(g_plugin.maps.Count(), 0);
    EXPECT_EQ(simhost::Calls().size(), 0u);
}

} // namespace
