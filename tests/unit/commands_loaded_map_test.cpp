// The map commands on a map that went through loading and scene building:
// group 2 owns the one object; group 1, its child, is limb 1 of it.
#include <string>
#include <vector>

#include "command_test_maps.h"
#include "host/host_functions.h"
#include "load_helpers.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "simhost/memblocks_images.h"
#include "simhost/scene.h"
#include "test_host.h"

namespace {

kepw::Map DoorInFrame() {
    kepw::Map map;
    map.version = 5;
    map.groups = {{0, 2, "name=door", {}}, {0, 0, "name=frame", {}}};
    kepw::Mesh door;
    door.group = 1;
    door.surfaces = {kepw::TriangleSurface("wall.bmp", 0)};
    kepw::Mesh frame;
    frame.group = 2;
    frame.surfaces = {kepw::TriangleSurface("wall.bmp", 0)};
    map.meshes = {door, frame};
    map.entities = {
        {0, 0, "classname=light\nColour=1 2 3", {7, 8, 9}},
        {0, 1, "classname=PIVOT", {1, 2, 3}},
        {0, 2, "classname=PIVOT", {0, 0, 0}},
    };
    return map;
}

class LoadedMapCommandTest : public PluginTest {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        WriteImageFile(dir.Place("wall.bmp"));
        ASSERT_EQ(LoadFromFile(dir.Place("level.kep"), kepw::Write(DoorInFrame())), 1)
            << LastErrorText();
        simhost::ClearCalls();
    }

    TempDir dir;
};

TEST_F(LoadedMapCommandTest, QueriesSeeTheLoadedRecords) {
    EXPECT_EQ(KEP_Count(0), 2);
    EXPECT_EQ(KEP_Count(2), 3);
    EXPECT_EQ(KEP_Count(4), 1);
    EXPECT_EQ(KEP_Count(6), 2);
    EXPECT_EQ(KEP_Count(8), 1);
    char buffer[16] = {};
    EXPECT_EQ(KEPCPP_PropertyByKey(buffer, 2, 0, "COLOUR"), 1);
    EXPECT_STREQ(buffer, "1 2 3");
    EXPECT_EQ(KEPCPP_PropertyByKey(buffer, 0, 0, "name"), 1);
    EXPECT_STREQ(buffer, "door");
    EXPECT_EQ(KEPCPP_Property(buffer, 6, 1, 0, 0), 1);
    EXPECT_STREQ(buffer, "PIVOT");
    EXPECT_EQ(KEPCPP_TextureName(buffer, 0), 1);
    EXPECT_STREQ(buffer, "wall.bmp");
    EXPECT_EQ(KEP_PivotID(1), 0);
    EXPECT_EQ(FloatFromBits(KEP_EntityZ(0)), 9.0f);
    EXPECT_TRUE(Succeeded());
}

TEST_F(LoadedMapCommandTest, GroupMappingFollowsWhatTheBuilderRecorded) {
    EXPECT_EQ(KEP_GroupToObject(1), 1000);
    EXPECT_EQ(KEP_GroupToObject(0), 0); // a limb of its parent's object
    EXPECT_EQ(KEP_ObjectToGroup(1000), 1);
    EXPECT_EQ(KEP_GetMeshIndex(1000), 0); // the door's surface is limb 1 of it
    EXPECT_EQ(KEP_GroupToPivot(0), 0);
    EXPECT_EQ(KEP_PivotToGroup(1), 1);
    EXPECT_EQ(KEP_MeshToGroup(1), 1);
    EXPECT_EQ(KEP_EntityToGroup(0), -1);
    EXPECT_TRUE(Succeeded());
}

TEST_F(LoadedMapCommandTest, PivotsAndRetexturingReachTheRightLimb) {
    KEP_Hide(0);
    KEP_Hide(1);
    KEP_HideMap();
    EXPECT_EQ(simhost::CallsNamed("HideLimb"), std::vector<std::string>{"HideLimb(1000,1)"});
    EXPECT_EQ(simhost::CallsNamed("Hide"), (std::vector<std::string>{"Hide(1000)", "Hide(1000)"}));

    MakeHostImage(5);
    ASSERT_EQ(KEP_TextureCreate("mine", 5), 1);
    EXPECT_EQ(KEP_TextureMesh(0, 0, 1), 1);
    EXPECT_EQ(KEP_TextureMesh(1, 0, 1), 1);
    EXPECT_EQ(simhost::CallsNamed("TextureLimb"),
              (std::vector<std::string>{"TextureLimb(1000,1,5)", "TextureLimb(1000,0,5)"}));
    EXPECT_TRUE(Succeeded());
}

TEST_F(LoadedMapCommandTest, ClearLeavesNothingInTheHostOrTheHeap) {
    MakeHostImage(5);
    ASSERT_EQ(KEP_TextureCreate("mine", 5), 1);
    ASSERT_FALSE(simhost::ObjectNumbers().empty());
    KEP_Clear();
    EXPECT_TRUE(Succeeded());
    EXPECT_TRUE(simhost::ObjectNumbers().empty());
    EXPECT_TRUE(simhost::ImageNumbers().empty());
    EXPECT_EQ(g_plugin.maps.Count(), 0);
    EXPECT_TRUE(NoLeaksSoFar());
}

} // namespace
