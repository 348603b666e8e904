// Translating between group indices, host objects, pivots, meshes and entities.
#include <climits>

#include "command_test_maps.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "test_host.h"

namespace {

// Group 1 owns object 1001 made from its mesh; group 2 is a limb of it;
// group 3 has no meshes and took over its child group 4's object 1004; the
// default group owns object 1000 built from geometry of no group.
class GroupMappingTest : public MapFixture {
  protected:
    void SetUp() override {
        g1 = map.AddGroup();
        g2 = map.AddGroup();
        g3 = map.AddGroup();
        g4 = map.AddGroup();
        KEP_Group* none = map->defaultGroup;
        none->object = 1000;
        none->ownsObject = 1;
        map.AddMesh(none); // mesh 0
        g1->object = 1001;
        g1->ownsObject = 1;
        map.AddMesh(g1); // mesh 1
        g2->object = 1001;
        g2->firstLimb = 2;
        map.AddMesh(g2); // mesh 2
        g3->object = 1004;
        g3->ownsObject = 1;
        g4->object = 1004;
        g4->ownsObject = 1;
        map.AddMesh(g4);       // mesh 3
        map.AddMesh(nullptr);  // mesh 4: its group number matched no group
        map.AddEntity(none);   // entity 0
        map.AddPivot(g2);      // entity 1, pivot 0
        map.AddPivot(g4);      // entity 2, pivot 1
        map.AddPivot(g2);      // entity 3, pivot 2: the later pivot of group 2
        map.AddPivot(nullptr); // entity 4, pivot 3
    }

    TestMap map;
    KEP_Group* g1 = nullptr;
    KEP_Group* g2 = nullptr;
    KEP_Group* g3 = nullptr;
    KEP_Group* g4 = nullptr;
};

TEST_F(GroupMappingTest, ObjectToGroupFindsTheGroupWhoseGeometryMadeTheObject) {
    EXPECT_EQ(KEP_ObjectToGroup(1001), 0);
    EXPECT_EQ(KEP_ObjectToGroup(1004), 3); // the child, not the group that took it over
    EXPECT_TRUE(Succeeded());
    // The default group is passed over; object 0 is owned by nobody.
    for (int32_t object : {1000, 0, 1002, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(KEP_ObjectToGroup(object), -1) << object;
        EXPECT_TRUE(Succeeded());
    }
    EXPECT_EQ(map->groups.GetCurrentIndex(), -1);
    EXPECT_EQ(KEP_ObjectToGroup(1001), 0);
    EXPECT_EQ(map->groups.GetCurrentIndex(), 4); // group 1 is last in the list
}

TEST_F(GroupMappingTest, GroupToObjectOnlyForGroupsThatOwnTheirObject) {
    EXPECT_EQ(KEP_GroupToObject(0), 1001);
    EXPECT_EQ(KEP_GroupToObject(1), 0); // a limb of group 1's object
    EXPECT_EQ(KEP_GroupToObject(2), 1004);
    EXPECT_EQ(KEP_GroupToObject(3), 1004);
    EXPECT_EQ(KEP_GroupToObject(-1), 1000); // the default group
    EXPECT_TRUE(Succeeded());
    for (int32_t bad : {4, -2, INT_MIN, INT_MAX}) {
        EXPECT_EQ(KEP_GroupToObject(bad), 0) << bad;
        EXPECT_TRUE(Succeeded());
    }
    map->defaultGroup->object = 0;
    map->defaultGroup->ownsObject = 0;
    EXPECT_EQ(KEP_GroupToObject(-1), 0);
}

TEST_F(GroupMappingTest, GroupToPivotGivesTheLastPivotReadForTheGroup) {
    EXPECT_EQ(KEP_GroupToPivot(1), 2);
    EXPECT_EQ(KEP_GroupToPivot(3), 1);
    EXPECT_TRUE(Succeeded());
    for (int32_t group : {0, 2, -1, 4, INT_MIN, INT_MAX}) {
        EXPECT_EQ(KEP_GroupToPivot(group), -1) << group;
        EXPECT_TRUE(Succeeded());
    }
    EXPECT_EQ(KEP_PivotToGroup(0), 1);
    EXPECT_EQ(KEP_PivotToGroup(2), 1);
}

TEST_F(GroupMappingTest, RecordsToTheirGroupIndex) {
    EXPECT_EQ(KEP_PivotToGroup(1), 3);
    EXPECT_EQ(KEP_MeshToGroup(1), 0);
    EXPECT_EQ(KEP_MeshToGroup(3), 3);
    EXPECT_EQ(KEP_EntityToGroup(1), 1);
    EXPECT_TRUE(Succeeded());
    // The default group and no group both give -1 without a failure.
    EXPECT_EQ(KEP_MeshToGroup(0), -1);
    EXPECT_EQ(KEP_MeshToGroup(4), -1);
    EXPECT_EQ(KEP_EntityToGroup(0), -1);
    EXPECT_EQ(KEP_PivotToGroup(3), -1);
    EXPECT_TRUE(Succeeded());
    for (int32_t bad : {-1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(KEP_PivotToGroup(bad), -1);
        EXPECT_EQ(KEP_MeshToGroup(bad), -1);
        EXPECT_EQ(KEP_EntityToGroup(bad), -1);
        EXPECT_TRUE(Succeeded());
    }
    EXPECT_EQ(KEP_PivotToGroup(4), -1); // equal to the number of pivots
    EXPECT_EQ(KEP_MeshToGroup(5), -1);
    EXPECT_EQ(KEP_EntityToGroup(5), -1);
    EXPECT_TRUE(Succeeded());
}

TEST_F(GroupMappingTest, EveryCommandFailsWithoutACurrentMap) {
    KEP_Clear();
    EXPECT_EQ(KEP_ObjectToGroup(1001), -1);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEP_GroupToObject(0), 0);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEP_GroupToPivot(1), -1);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEP_PivotToGroup(0), -1);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEP_MeshToGroup(1), -1);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_EQ(KEP_EntityToGroup(1), -1);
    EXPECT_TRUE(Failed("No current map"));
}

} // namespace
