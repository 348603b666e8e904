// Moving, placing, turning, showing and hiding a group's geometry through its
// pivot: whole objects for groups that own theirs, limbs otherwise.
#include <climits>
#include <string>
#include <vector>

#include "command_test_maps.h"
#include "host/host_functions.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "simhost/scene.h"
#include "test_host.h"

namespace {

// Group 1 owns object 1000; group 2 is limb 3 of that object; group 3 sits
// in it as limb 0 (it took its parent's object without geometry of its own);
// group 4 got no object; pivot 4 has no group.
class PivotTest : public MapFixture {
  protected:
    void SetUp() override {
        KEP_Group* owner = map.AddGroup();
        owner->object = 1000;
        owner->ownsObject = 1;
        KEP_Group* limb = map.AddGroup();
        limb->object = 1000;
        limb->firstLimb = 3;
        KEP_Group* rootLimb = map.AddGroup();
        rootLimb->object = 1000;
        KEP_Group* empty = map.AddGroup();
        map.AddPivot(owner, 1, 2, 3);
        map.AddPivot(limb, 4, 5, 6);
        map.AddPivot(rootLimb);
        map.AddPivot(empty);
        map.AddPivot(nullptr);
        MakeHostObject(1000);
        for (int limbNumber = 1; limbNumber <= 3; ++limbNumber)
            MakeHostLimb(1000, limbNumber);
        host::object::Position(1000, 5, 5, 5);
        simhost::ClearCalls();
    }

    simhost::ObjectState Object() {
        simhost::ObjectState state;
        EXPECT_TRUE(simhost::FindObject(1000, &state));
        return state;
    }

    static std::vector<float> EntityPosition(int32_t entity) {
        return {FloatFromBits(KEP_EntityX(entity)), FloatFromBits(KEP_EntityY(entity)),
                FloatFromBits(KEP_EntityZ(entity))};
    }

    TestMap map;
};

std::vector<std::string> CallTexts() {
    std::vector<std::string> out;
    for (const simhost::Call& call : simhost::Calls())
        out.push_back(call.Text());
    return out;
}

TEST_F(PivotTest, MoveAddsToTheObjectsPresentPositionAndMovesThePivot) {
    KEP_Move(0, 1, 0, -2);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(CallTexts(),
              (std::vector<std::string>{"GetXPositionEx(1000)", "GetYPositionEx(1000)",
                                        "GetZPositionEx(1000)", "Position(1000,6,5,3)"}));
    EXPECT_EQ(EntityPosition(0), (std::vector<float>{2, 2, 1}));
    // The host's position, not the pivot's, is what each move adds to.
    host::object::Position(1000, 0, 0, 0);
    KEP_Move(0, 0.5f, 0.5f, 0.5f);
    simhost::ObjectState object = Object();
    EXPECT_EQ(object.position.x, 0.5f);
    EXPECT_EQ(object.position.z, 0.5f);
    EXPECT_EQ(EntityPosition(0), (std::vector<float>{2.5f, 2.5f, 1.5f}));
}

TEST_F(PivotTest, MoveOfALimbGroupMovesTheLimbOffsetOnly) {
    host::object::OffsetLimb(1000, 3, 1, 1, 1);
    simhost::ClearCalls();
    KEP_Move(1, 1, 2, 3);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(CallTexts(),
              (std::vector<std::string>{"GetLimbXPosition(1000,3)", "GetLimbYPosition(1000,3)",
                                        "GetLimbZPosition(1000,3)", "OffsetLimb(1000,3,2,3,4)"}));
    simhost::ObjectState object = Object();
    EXPECT_EQ(object.position.x, 5.0f);
    EXPECT_EQ(object.limbs[3].offset.y, 3.0f);
    EXPECT_EQ(EntityPosition(1), (std::vector<float>{5, 7, 9}));
}

TEST_F(PivotTest, PositionSetsTargetAndPivotAlike) {
    KEP_Position(0, 10, 0, 0);
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(FloatFromBits(KEP_EntityX(0)), 10.0f);
    EXPECT_EQ(Object().position.x, 10.0f);
    KEP_Position(1, -1, 2, 3);
    EXPECT_EQ(EntityPosition(1), (std::vector<float>{-1, 2, 3}));
    EXPECT_EQ(simhost::CallsNamed("OffsetLimb"),
              std::vector<std::string>{"OffsetLimb(1000,3,-1,2,3)"});
}

TEST_F(PivotTest, AngleAndRotateTurnWithoutTouchingThePivotPosition) {
    KEP_Angle(0, 10, 20, 30);
    EXPECT_TRUE(Succeeded());
    KEP_Rotate(0, 0, 90, 0);
    KEP_Rotate(0, 0, 90, 0);
    simhost::ObjectState object = Object();
    EXPECT_EQ(object.angles.x, 10.0f);
    EXPECT_EQ(object.angles.y, 200.0f);
    EXPECT_EQ(object.angles.z, 30.0f);
    EXPECT_EQ(EntityPosition(0), (std::vector<float>{1, 2, 3}));

    simhost::ClearCalls();
    KEP_Angle(1, 0, 45, 0);
    KEP_Rotate(1, 0, 45, 0);
    EXPECT_EQ(CallTexts(),
              (std::vector<std::string>{"RotateLimb(1000,3,0,45,0)", "GetLimbAngleX(1000,3)",
                                        "GetLimbAngleY(1000,3)", "GetLimbAngleZ(1000,3)",
                                        "RotateLimb(1000,3,0,90,0)"}));
    EXPECT_EQ(EntityPosition(1), (std::vector<float>{4, 5, 6}));
}

TEST_F(PivotTest, ShowAndHidePickObjectOrLimb) {
    KEP_Hide(0);
    KEP_Show(0);
    KEP_Hide(1);
    KEP_Show(1);
    KEP_Hide(2); // limb 0 of the shared object
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(CallTexts(), (std::vector<std::string>{"Hide(1000)", "Show(1000)", "HideLimb(1000,3)",
                                                     "ShowLimb(1000,3)", "HideLimb(1000,0)"}));
    simhost::ObjectState object = Object();
    EXPECT_TRUE(object.visible);
    EXPECT_FALSE(object.limbs[0].visible);
    EXPECT_TRUE(object.limbs[3].visible);
}

TEST_F(PivotTest, FailuresTouchNeitherHostNorPivot) {
    for (int32_t bad : {5, -1, INT_MIN, INT_MAX}) {
        KEP_Hide(bad);
        EXPECT_TRUE(Failed("Invalid pivot index")) << bad;
        KEP_Move(bad, 1, 1, 1);
        EXPECT_TRUE(Failed("Invalid pivot index")) << bad;
    }
    // No group, and a group that was put into no object.
    for (int32_t pivot : {4, 3}) {
        KEP_Move(pivot, 1, 1, 1);
        EXPECT_TRUE(Failed("Unable to determine group identifier"));
        KEP_Position(pivot, 1, 1, 1);
        EXPECT_TRUE(Failed("Unable to determine group identifier"));
        KEP_Angle(pivot, 1, 1, 1);
        EXPECT_TRUE(Failed("Unable to determine group identifier"));
        KEP_Rotate(pivot, 1, 1, 1);
        EXPECT_TRUE(Failed("Unable to determine group identifier"));
        KEP_Show(pivot);
        EXPECT_TRUE(Failed("Unable to determine group identifier"));
        KEP_Hide(pivot);
        EXPECT_TRUE(Failed("Unable to determine group identifier"));
        EXPECT_EQ(EntityPosition(pivot), (std::vector<float>{0, 0, 0}));
    }
    EXPECT_TRUE(simhost::Calls().empty());

    KEP_Clear();
    simhost::ClearCalls();
    KEP_Show(0);
    EXPECT_TRUE(Failed("No current map"));
    KEP_Rotate(0, 1, 1, 1);
    EXPECT_TRUE(Failed("No current map"));
    EXPECT_TRUE(simhost::Calls().empty());
}

} // namespace
