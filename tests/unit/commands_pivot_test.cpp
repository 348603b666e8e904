// Moving, turning, showing and hiding a group's geometry through its pivot
// (whole objects for groups that own theirs, limbs otherwise), and the
// mapping between those groups, objects and pivots.
#include <string>
#include <vector>

#include "command_test_maps.h"
#include "plugin/exports.h"
#include "simhost/scene.h"

namespace {

using PivotTest = SampleMapTest;

TEST_F(PivotTest, MovePositionShowAndHideReachObjectOrLimbAndMoveThePivot) {
    simhost::SetCallLog(simhost::CallLog::kFull);
    KEP_Move(0, 1, 0, -2); // adds to where the host has the object
    KEP_Move(1, 1, 2, 3);
    KEP_Position(1, -1, 2, 3);
    KEP_Hide(0);
    KEP_Show(1);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(simhost::CallsNamed("Position"), std::vector<std::string>{"Position(1000,6,5,3)"});
    EXPECT_EQ(simhost::CallsNamed("OffsetLimb"),
              (std::vector<std::string>{"OffsetLimb(1000,3,2,3,4)", "OffsetLimb(1000,3,-1,2,3)"}));
    EXPECT_EQ(simhost::CallsNamed("Hide"), std::vector<std::string>{"Hide(1000)"});
    EXPECT_EQ(simhost::CallsNamed("ShowLimb"), std::vector<std::string>{"ShowLimb(1000,3)"});
    EXPECT_EQ(FloatFromBits(KEP_EntityZ(2)), 1.0f);
    EXPECT_EQ(FloatFromBits(KEP_EntityX(3)), -1.0f);
}

TEST_F(PivotTest, GroupsWithoutAnObjectTouchNeitherHostNorPivot) {
    simhost::SetCallLog(simhost::CallLog::kFull);
    for (int32_t pivot : {2, 3}) { // a group put into no object, and no group
        for (auto command : {KEP_Move, KEP_Position, KEP_Angle, KEP_Rotate}) {
            command(pivot, 1, 1, 1);
            EXPECT_TRUE(Failed("Unable to determine group identifier"));
        }
        for (auto command : {KEP_Show, KEP_Hide}) {
            command(pivot);
            EXPECT_TRUE(Failed("Unable to determine group identifier"));
        }
        EXPECT_EQ(FloatFromBits(KEP_EntityX(pivot + 2)), 0.0f);
    }
    EXPECT_TRUE(simhost::Calls().empty());
}

TEST_F(PivotTest, GroupMappingGivesNeutralResultsForWhatHasNoAnswer) {
    EXPECT_EQ(KEP_ObjectToGroup(0), -1); // not the group that got no object
    EXPECT_EQ(KEP_PivotToGroup(3), -1);  // a pivot without a group
    EXPECT_EQ(KEP_PivotToGroup(4), -1);  // equal to the number of pivots
    EXPECT_TRUE(Succeeded());
}

} // namespace
