// Object assembly: object numbers, the object/limb calls of each surface, the
// group records after a build, texture stages, smoothing and pivot origins.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "host/host_functions.h"
#include "map/kep_import.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "scene_helpers.h"
#include "simhost/memblocks_images.h"

namespace {

using namespace scene_test;

class ObjectAssemblyTest : public SceneTest {};

const std::set<std::string> kAssemblyCalls = {
    "MakeObject",  "SetTextureStage",  "Position",   "AddLimb",    "LinkLimb", "OffsetLimb",
    "TextureLimb", "TextureLimbStage", "DeleteMesh", "GetObjectA", "Show",     "SetSmoothing"};

kepw::Mesh MeshOf(int32_t group, std::array<float, 3> position,
                  std::vector<kepw::Surface> surfaces) {
    kepw::Mesh mesh;
    mesh.group = group;
    mesh.position = position;
    mesh.surfaces = std::move(surfaces);
    return mesh;
}

kepw::Group ChildOf(int32_t parent, const std::string& name) {
    kepw::Group group;
    group.parent = parent;
    group.properties = "name=" + name;
    return group;
}

std::string Smoothing(int object) {
    return CallText("SetSmoothing", {double(object), 100});
}

uint32_t FirstPixel(int image) {
    simhost::ImageContent content;
    if (!simhost::ReadImage(image, &content) || content.pixels.empty()) {
        ADD_FAILURE() << "no image " << image;
        return 0;
    }
    return content.pixels[0];
}

TEST_F(ObjectAssemblyTest, GroupsWithoutSurfacesMakeNoObjectAndNoCall) {
    kepw::Map map;
    map.groups = {ChildOf(0, "a"), ChildOf(1, "b"), ChildOf(2, "c")};
    kepw::Mesh empty = MeshOf(0, {1, 2, 3}, {});
    kepw::Mesh caulked =
        MeshOf(2, {0, 0, 0},
               {OneTriangle("common/caulk", 0, 0, 0, 0, 1), OneTriangle("CAULK", 0, 0, 0, 0, 4)});
    map.meshes = {empty, caulked, MeshOf(3, {}, {})};
    map.entities = {Pivot(1, 1, 1, 1)};
    ASSERT_EQ(LoadFile(map, 2), 1) << LastErrorText();

    EXPECT_EQ(CurrentMap()->objectsBuilt, 0);
    // No object means nothing to look up, show or smooth: not even object 0.
    EXPECT_EQ(AllCallTexts(), std::vector<std::string>());
    for (int32_t number = 0; number <= 3; ++number) {
        EXPECT_EQ(Group(number)->object, 0) << number;
        EXPECT_EQ(Group(number)->built, 1) << number;
    }
}

TEST_F(ObjectAssemblyTest, ObjectNumbersSkipTheHostsAndRestartFromTheInitialNumber) {
    host::object::MakeObject(1000, 0, 0);
    host::object::MakeObject(1001, 0, 0);
    kepw::Map map;
    map.groups = {ChildOf(0, "g1")};
    map.meshes = {
        MeshOf(1, {}, {OneTriangle("t.bmp", 0, 0, 0, 0, 1), OneTriangle("t.bmp", 0, 0, 0, 0, 2)}),
        MeshOf(0, {}, {OneTriangle("t.bmp", 0, 0, 0, 0, 4), OneTriangle("t.bmp", 0, 0, 0, 0, 5)})};
    ASSERT_EQ(LoadFile(map, 0), 1) << LastErrorText();

    EXPECT_EQ(simhost::CallsNamed("GetExist"),
              (std::vector<std::string>{"GetExist(1000)", "GetExist(1001)", "GetExist(1002)",
                                        "GetExist(1000)", "GetExist(1001)", "GetExist(1002)",
                                        "GetExist(1003)"}));
    // The default group heads the list: its object is made first.
    EXPECT_EQ(Group(0)->object, 1002);
    EXPECT_EQ(Group(1)->object, 1003);
    EXPECT_EQ(simhost::CallsNamed("MakeObject"),
              (std::vector<std::string>{"MakeObject(1002,1,0)", "MakeObject(1003,1,0)"}));
    EXPECT_EQ(CurrentMap()->objectsBuilt, 2);
    // Each new object starts its limbs from 1 again.
    EXPECT_EQ(simhost::CallsNamed("AddLimb"),
              (std::vector<std::string>{"AddLimb(1002,1,1)", "AddLimb(1003,1,1)"}));
    EXPECT_EQ(ObjectOf(1000).limbs.size(), 1u); // the script's objects are not touched
    EXPECT_EQ(ObjectOf(1001).limbs.size(), 1u);
}

TEST_F(ObjectAssemblyTest, InitialObjectNumberBelowOneSearchesFromOne) {
    for (const int32_t initial : {0, -5, INT32_MIN}) {
        SCOPED_TRACE(initial);
        ResetPluginAndHost();
        KEP_InitialObject(initial);
        kepw::Map map;
        map.meshes = {MeshOf(0, {}, {OneTriangle("t.bmp", 0, 0, 0, 0, 1)})};
        ASSERT_EQ(LoadFile(map, 0), 1) << LastErrorText();
        EXPECT_EQ(simhost::CallsNamed("GetExist"), std::vector<std::string>{"GetExist(1)"});
        EXPECT_EQ(Group(0)->object, 1);
    }
}

TEST_F(ObjectAssemblyTest, SearchEndingAtTheLargestNumberFailsInsteadOfWrapping) {
    KEP_InitialObject(INT32_MAX);
    kepw::Map map;
    map.meshes = {MeshOf(0, {}, {OneTriangle("t.bmp", 0, 0, 0, 0, 1)})};
    ASSERT_EQ(LoadFile(map, 0), 1) << LastErrorText(); // the last number is still free
    EXPECT_EQ(Group(0)->object, INT32_MAX);

    ASSERT_EQ(LoadFile(map, 0), 0); // now it is taken, and nothing lies above it
    EXPECT_EQ(LastErrorText(), "Insufficient memory");
    EXPECT_EQ(simhost::CallsNamed("GetExist"),
              std::vector<std::string>{CallText("GetExist", {double(INT32_MAX)})});
    EXPECT_TRUE(simhost::CallsNamed("MakeObject").empty());
    EXPECT_EQ(CurrentMap()->objectsBuilt, 0);
}

TEST_F(ObjectAssemblyTest, BuildFailingForWantOfAnObjectNumberLeavesNoScratchBehind) {
    KEP_InitialObject(INT32_MAX);
    host::object::MakeObject(INT32_MAX, 0, 0);
    kepw::Map map;
    map.meshes = {MeshOf(0, {}, {OneTriangle("t.bmp", 0, 0, 0, 0, 1)})};
    ASSERT_EQ(LoadFile(map, 0), 0);
    ASSERT_EQ(LastErrorText(), "Insufficient memory");
    // The surface had already become memblock 30 and mesh 1 when no number
    // was found for its object: neither may outlive the build.
    const std::vector<int> memblocks = simhost::MemblockNumbers();
    EXPECT_EQ(std::count(memblocks.begin(), memblocks.end(), 30), 0);
    const std::vector<int> meshes = simhost::MeshNumbers();
    EXPECT_EQ(std::count(meshes.begin(), meshes.end(), 1), 0);
}

TEST_F(ObjectAssemblyTest, ThreeSurfacesMakeAnObjectARootLimbAndALinkedLimb) {
    kepw::Map map;
    map.groups = {ChildOf(0, "door")};
    map.meshes = {
        MeshOf(1, {10, 20, 30},
               {OneTriangle("s1.bmp", 0, 0, 0, 0, 1), OneTriangle("s2.bmp", 0, 0, 0, 0, 4),
                OneTriangle("s3.bmp", 0, 0, 0, 0, 7)})};
    map.entities = {Pivot(1, 1, 2, 3)};
    ASSERT_EQ(LoadFile(map, 0), 1) << LastErrorText();

    // Texture images in order of first use: s1 1000, s2 1001, s3 1002.
    EXPECT_EQ(CallsAmong(kAssemblyCalls),
              (std::vector<std::string>{
                  "MakeObject(1000,1,0)", "SetTextureStage(1000,0,1000)", "Position(1000,11,22,33)",
                  "DeleteMesh(1)", "AddLimb(1000,1,1)", "OffsetLimb(1000,1,-10,-20,-30)",
                  "TextureLimb(1000,1,1001)", "DeleteMesh(1)", "AddLimb(1000,2,1)",
                  "LinkLimb(1000,1,2)", "TextureLimb(1000,2,1002)", "DeleteMesh(1)",
                  "GetObjectA(1000)", "Show(1000)", Smoothing(1000)}));

    // The root limb's offset is taken from the object's position, asked Z first.
    const std::vector<std::string> calls = AllCallTexts();
    const auto offset = std::find(calls.begin(), calls.end(), "OffsetLimb(1000,1,-10,-20,-30)");
    ASSERT_TRUE(offset - calls.begin() >= 3);
    EXPECT_EQ(std::vector<std::string>(offset - 3, offset),
              (std::vector<std::string>{"GetZPositionEx(1000)", "GetYPositionEx(1000)",
                                        "GetXPositionEx(1000)"}));

    const KEP_Group* door = Group(1);
    EXPECT_EQ(door->object, 1000);
    EXPECT_EQ(door->ownsObject, 1);
    EXPECT_EQ(door->firstLimb, 1);
    EXPECT_EQ(g_plugin.limbCounter, 3);
    EXPECT_EQ(CurrentMap()->objectsBuilt, 1);
    for (int32_t s = 0; s < 3; ++s) {
        EXPECT_EQ(SurfaceOf(0, s)->builtObject, 1000) << s;
        EXPECT_EQ(SurfaceOf(0, s)->builtLimb, s) << s;
    }

    const simhost::ObjectState object = ObjectOf(1000);
    ASSERT_EQ(object.limbs.size(), 3u);
    EXPECT_EQ(object.limbs[1].parent, 0);
    EXPECT_EQ(object.limbs[2].parent, 1);
    EXPECT_EQ(FirstPixel(object.limbs[0].stage0Image), TextureColour("s1.bmp"));
    EXPECT_EQ(FirstPixel(object.limbs[1].stage0Image), TextureColour("s2.bmp"));
    EXPECT_EQ(FirstPixel(object.limbs[2].stage0Image), TextureColour("s3.bmp"));
    EXPECT_FLOAT_EQ(object.smoothing, 100.0f);
}

TEST_F(ObjectAssemblyTest, ChildGroupAddsLimbsToItsParentsObjectFromTheLimbCounter) {
    kepw::Map map;
    // The child stands first in the file, so after its parent in the group list.
    map.groups = {ChildOf(2, "child"), ChildOf(0, "parent")};
    map.meshes = {
        MeshOf(2, {10, 20, 30},
               {OneTriangle("p.bmp", 0, 0, 0, 0, 1), OneTriangle("p.bmp", 0, 0, 0, 0, 4),
                OneTriangle("p.bmp", 0, 0, 0, 0, 7)}),
        MeshOf(1, {-50, -50, -50},
               {OneTriangle("c.bmp", 0, 0, 0, 0, 10), OneTriangle("c.bmp", 0, 0, 0, 0, 13)})};
    map.entities = {Pivot(2, 1, 2, 3), Pivot(1, 5, 5, 5)};
    ASSERT_EQ(LoadFile(map, 0), 1) << LastErrorText();

    const std::vector<std::string> calls = CallsAmong(kAssemblyCalls);
    const std::vector<std::string> childCalls(calls.begin() + 14, calls.end());
    // The parent's object stands at (11, 22, 33); the child's origin is (5, 5, 5).
    // Smoothing: the child after its build, the parent after its nested pass,
    // and the child again when the top-level walk reaches it.
    EXPECT_EQ(childCalls,
              (std::vector<std::string>{
                  "AddLimb(1000,3,1)", "OffsetLimb(1000,3,-6,-17,-28)", "TextureLimb(1000,3,1001)",
                  "DeleteMesh(1)", "AddLimb(1000,4,1)", "LinkLimb(1000,3,4)",
                  "TextureLimb(1000,4,1001)", "DeleteMesh(1)", "GetObjectA(1000)", "Show(1000)",
                  Smoothing(1000), Smoothing(1000), Smoothing(1000)}));
    const KEP_Group* child = Group(1);
    EXPECT_EQ(child->object, 1000);
    EXPECT_EQ(child->ownsObject, 0);
    EXPECT_EQ(child->firstLimb, 3);
    const KEP_Group* parent = Group(2);
    EXPECT_EQ(parent->object, 1000);
    EXPECT_EQ(parent->ownsObject, 1);
    EXPECT_EQ(parent->firstLimb, 1);
    EXPECT_EQ(g_plugin.limbCounter, 5);
    EXPECT_EQ(CurrentMap()->objectsBuilt, 1);
    EXPECT_EQ(LimbOf(1000, 4).parent, 3);
    EXPECT_EQ(LimbOf(1000, 3).parent, 0);
}

TEST_F(ObjectAssemblyTest, GroupWithoutMeshesTakesOverTheRecordOfEachChildInTurn) {
    kepw::Map map;
    // Group list: default, G3, G2, G1; G3's children: G2 (A), then G1 (B).
    map.groups = {ChildOf(3, "B"), ChildOf(3, "A"), ChildOf(0, "G")};
    map.meshes = {
        MeshOf(2, {7, 8, 9},
               {OneTriangle("a.bmp", 0, 0, 0, 0, 1), OneTriangle("a.bmp", 0, 0, 0, 0, 4)}),
        MeshOf(1, {100, 100, 100},
               {OneTriangle("b.bmp", 0, 0, 0, 0, 7), OneTriangle("b.bmp", 0, 0, 0, 0, 10)})};
    ASSERT_EQ(LoadFile(map, 0), 1) << LastErrorText();

    const KEP_Group* a = Group(2);
    const KEP_Group* b = Group(1);
    const KEP_Group* g = Group(3);
    EXPECT_EQ(a->object, 1000);
    EXPECT_EQ(a->ownsObject, 1);
    EXPECT_EQ(a->firstLimb, 1);
    // B found the object in G (taken over from A) and added its limbs to it.
    EXPECT_EQ(b->object, 1000);
    EXPECT_EQ(b->ownsObject, 0);
    EXPECT_EQ(b->firstLimb, 2);
    EXPECT_EQ(g->object, 1000);
    EXPECT_EQ(g->ownsObject, 0);
    EXPECT_EQ(g->firstLimb, 2);
    EXPECT_EQ(CurrentMap()->objectsBuilt, 1);
    EXPECT_EQ(
        simhost::CallsNamed("AddLimb"),
        (std::vector<std::string>{"AddLimb(1000,1,1)", "AddLimb(1000,2,1)", "AddLimb(1000,3,1)"}));
    EXPECT_EQ(simhost::CallsNamed("LinkLimb"), std::vector<std::string>{"LinkLimb(1000,2,3)"});
    EXPECT_EQ(
        simhost::CallsNamed("OffsetLimb"),
        (std::vector<std::string>{"OffsetLimb(1000,1,-7,-8,-9)", "OffsetLimb(1000,2,-7,-8,-9)"}));
    // A, B, G itself, then A and B again as the top-level walk passes them.
    EXPECT_EQ(simhost::CallsNamed("SetSmoothing"), std::vector<std::string>(5, Smoothing(1000)));
}

TEST_F(ObjectAssemblyTest, ChildBuiltBeforeItsParentKeepsItsObjectAndIsSmoothedAgain) {
    for (const bool parentHasMeshes : {true, false}) {
        SCOPED_TRACE(parentHasMeshes ? "parent with a mesh" : "parent without meshes");
        ResetPluginAndHost();
        kepw::Map map;
        // Group list: default, G2 (the child), G1 (its parent).
        map.groups = {ChildOf(0, "parent"), ChildOf(1, "child")};
        map.meshes = {MeshOf(2, {}, {OneTriangle("c.bmp", 0, 0, 0, 0, 1)})};
        if (parentHasMeshes)
            map.meshes.push_back(MeshOf(1, {}, {OneTriangle("p.bmp", 0, 0, 0, 0, 4)}));
        ASSERT_EQ(LoadFile(map, 0), 1) << LastErrorText();

        const KEP_Group* child = Group(2);
        EXPECT_EQ(child->object, 1000);
        EXPECT_EQ(child->ownsObject, 1);
        const KEP_Group* parent = Group(1);
        // A child built in an earlier pass hands nothing up.
        EXPECT_EQ(parent->object, parentHasMeshes ? 1001 : 0);
        EXPECT_EQ(parent->firstLimb, 0);
        EXPECT_EQ(simhost::CallsNamed("MakeObject").size(), parentHasMeshes ? 2u : 1u);
        std::vector<std::string> smoothing = {Smoothing(1000), Smoothing(1000)};
        if (parentHasMeshes) smoothing.push_back(Smoothing(1001));
        EXPECT_EQ(simhost::CallsNamed("SetSmoothing"), smoothing);
    }
}

TEST_F(ObjectAssemblyTest, MeshlessChildOfAnOwnerSharesItsObjectAndIsSmoothed) {
    kepw::Map map;
    map.groups = {ChildOf(2, "empty child"), ChildOf(0, "owner")};
    map.meshes = {MeshOf(2, {}, {OneTriangle("p.bmp", 0, 0, 0, 0, 1)})};
    ASSERT_EQ(LoadFile(map, 0), 1) << LastErrorText();
    const KEP_Group* child = Group(1);
    EXPECT_EQ(child->object, 1000);
    EXPECT_EQ(child->ownsObject, 0);
    EXPECT_EQ(child->firstLimb, 0);
    EXPECT_EQ(Group(2)->ownsObject, 1);
    // The child in its parent's pass, the parent, the child at the top level.
    EXPECT_EQ(simhost::CallsNamed("SetSmoothing"), std::vector<std::string>(3, Smoothing(1000)));
}

TEST_F(ObjectAssemblyTest, EveryMeshOfAGroupEndsWithARecordPassAndShow) {
    kepw::Map map;
    map.meshes = {MeshOf(0, {}, {}), // nothing yet: no object to look at
                  MeshOf(0, {}, {OneTriangle("t.bmp", 0, 0, 0, 0, 1)}),
                  MeshOf(0, {}, {}), // after the object exists: its record pass runs
                  MeshOf(0, {}, {OneTriangle("t.bmp", 0, 0, 0, 0, 4)})};
    ASSERT_EQ(LoadFile(map, 0), 1) << LastErrorText();
    EXPECT_EQ(CallsAmong({"GetObjectA", "Show", "MakeObject", "AddLimb"}),
              (std::vector<std::string>{"MakeObject(1000,1,0)", "GetObjectA(1000)", "Show(1000)",
                                        "GetObjectA(1000)", "Show(1000)", "AddLimb(1000,1,1)",
                                        "GetObjectA(1000)", "Show(1000)"}));
}

TEST_F(ObjectAssemblyTest, SurfacesGetTheirTextureAndLightmapImagesOnTheirStages) {
    kepw::Map map;
    map.lightmaps = {kepw::PatternLightmap(2, 1, 1), kepw::PatternLightmap(1, 2, 2)};
    map.meshes = {MeshOf(0, {},
                         {OneTriangle("a.bmp", 2, 0, 0, 0, 1), OneTriangle("b.bmp", 1, 0, 0, 0, 4),
                          OneTriangle("A.BMP", 0, 0, 0, 0, 7)})};
    ASSERT_EQ(LoadMemblock(map, 2), 1) << LastErrorText();
    // Lightmaps 1000 and 1001, then textures a 1002 and b 1003.
    const std::set<std::string> stageCalls = {"SetTextureStage", "TextureLimb", "TextureLimbStage"};
    EXPECT_EQ(
        CallsAmong(stageCalls),
        (std::vector<std::string>{"SetTextureStage(1000,0,1002)", "SetTextureStage(1000,1,1001)",
                                  "TextureLimb(1000,1,1003)", "TextureLimbStage(1000,1,1,1000)",
                                  "TextureLimb(1000,2,1002)"}));
    const simhost::ObjectState object = ObjectOf(1000);
    ASSERT_EQ(object.limbs.size(), 3u);
    EXPECT_EQ(FirstPixel(object.limbs[0].stage0Image), TextureColour("a.bmp"));
    EXPECT_EQ(FirstPixel(object.limbs[0].stage1Image), map.lightmaps[1].pixels[0]);
    EXPECT_EQ(FirstPixel(object.limbs[1].stage0Image), TextureColour("b.bmp"));
    EXPECT_EQ(FirstPixel(object.limbs[1].stage1Image), map.lightmaps[0].pixels[0]);
    EXPECT_EQ(object.limbs[2].stage1Image, 0);

    // Without lightmaps on, no stage-1 image is bound anywhere.
    for (const int32_t flag : {0, 1}) {
        SCOPED_TRACE(flag);
        ResetPluginAndHost();
        ASSERT_EQ(LoadMemblock(map, flag), 1) << LastErrorText();
        EXPECT_EQ(CallsAmong(stageCalls), (std::vector<std::string>{"SetTextureStage(1000,0,1002)",
                                                                    "TextureLimb(1000,1,1003)",
                                                                    "TextureLimb(1000,2,1002)"}));
    }
}

TEST_F(ObjectAssemblyTest, LightmapNamingNoImageBindsNothingOnStageOne) {
    kepw::Map map;
    map.lightmaps = {kepw::Lightmap{0, 0, {}}}; // read, but no image could be made
    map.meshes = {MeshOf(0, {},
                         {OneTriangle("a.bmp", 1, 0, 0, 0, 1), OneTriangle("a.bmp", 9, 0, 0, 0, 4),
                          OneTriangle("a.bmp", 1, 0, 0, 0, 7)})};
    ASSERT_EQ(LoadMemblock(map, 2), 1) << LastErrorText();
    EXPECT_TRUE(simhost::CallsNamed("TextureLimbStage").empty());
    EXPECT_EQ(simhost::CallsNamed("SetTextureStage"),
              std::vector<std::string>{"SetTextureStage(1000,0,1000)"});
    EXPECT_EQ(simhost::CallsNamed("TextureLimb"),
              (std::vector<std::string>{"TextureLimb(1000,1,1000)", "TextureLimb(1000,2,1000)"}));
    // Nothing was bound on stage 1, so no mesh is set up for a lightmap stage.
    for (const simhost::LimbState& limb : ObjectOf(1000).limbs) {
        EXPECT_EQ(limb.stage1Image, 0);
        EXPECT_EQ(limb.hostMesh.byte1041, 1) << "limb " << limb.number;
    }
}

TEST_F(ObjectAssemblyTest, TextureIndexNamingNoTextureBindsNothingOnStageZero) {
    kepw::Map map;
    map.meshes = {
        MeshOf(0, {}, {OneTriangle("a.bmp", 0, 0, 0, 0, 1), OneTriangle("a.bmp", 0, 0, 0, 0, 4)})};
    ASSERT_EQ(LoadMemblock(map, 0), 1) << LastErrorText();
    // The map is built again with surfaces whose indices name no texture.
    KEP_Group* group = Group(0);
    group->built = 0;
    group->object = 0;
    group->ownsObject = 0;
    group->firstLimb = 0;
    SurfaceOf(0, 0)->textureIndex = 7;
    SurfaceOf(0, 1)->textureIndex = -1;
    simhost::ClearCalls();
    KEP_BuildGroups(0, nullptr);

    EXPECT_EQ(group->object, 1001);
    EXPECT_TRUE(simhost::CallsNamed("SetTextureStage").empty());
    EXPECT_TRUE(simhost::CallsNamed("TextureLimb").empty());
    EXPECT_EQ(simhost::CallsNamed("AddLimb"), std::vector<std::string>{"AddLimb(1001,1,1)"});
    for (const simhost::LimbState& limb : ObjectOf(1001).limbs)
        EXPECT_EQ(limb.stage0Image, 0);
}

TEST_F(ObjectAssemblyTest, ObjectsBuiltCountsEveryObjectMade) {
    kepw::Map map;
    map.groups = {ChildOf(0, "a"), ChildOf(1, "a child"), ChildOf(0, "b"), ChildOf(0, "c")};
    map.meshes = {MeshOf(0, {}, {OneTriangle("t.bmp", 0, 0, 0, 0, 1)}),
                  MeshOf(1, {}, {OneTriangle("t.bmp", 0, 0, 0, 0, 4)}),
                  MeshOf(2, {}, {OneTriangle("t.bmp", 0, 0, 0, 0, 7)}), // built at top level
                  MeshOf(3, {}, {OneTriangle("t.bmp", 0, 0, 0, 0, 10)})};
    ASSERT_EQ(LoadFile(map, 0), 1) << LastErrorText();
    EXPECT_EQ(CurrentMap()->objectsBuilt, 4);
    EXPECT_EQ(simhost::ObjectNumbers(), (std::vector<int>{1000, 1001, 1002, 1003}));
    // List order: default, G4, G3, G2, G1.
    EXPECT_EQ(Group(0)->object, 1000);
    EXPECT_EQ(Group(3)->object, 1001);
    EXPECT_EQ(Group(2)->object, 1002);
    EXPECT_EQ(Group(1)->object, 1003);
}

TEST_F(ObjectAssemblyTest, PivotOriginIsTheLastPivotMetAndCarriesOver) {
    KEP_MapOffset(0, 0, 100);
    kepw::Map map;
    // List order: default, G3, G2, G1. G3 has two pivots (the second wins),
    // G2 has none and no meshes, G1 has no pivot and inherits G3's.
    map.groups = {ChildOf(0, "inherits"), ChildOf(0, "plain"), ChildOf(0, "two pivots")};
    map.meshes = {MeshOf(3, {1, 1, 1}, {OneTriangle("t.bmp", 0, 0, 0, 0, 1)}),
                  MeshOf(1, {2, 2, 2}, {OneTriangle("t.bmp", 0, 0, 0, 0, 4)})};
    map.entities = {Pivot(3, 10, 0, 0), Pivot(9, 99, 99, 99), Pivot(3, 20, 0, 0)};
    ASSERT_EQ(LoadFile(map, 0), 1) << LastErrorText();
    EXPECT_EQ(simhost::CallsNamed("Position"),
              (std::vector<std::string>{"Position(1000,21,1,101)", "Position(1001,22,2,102)"}));
    EXPECT_EQ(g_plugin.buildOrigin[0], 20.0f);
    EXPECT_EQ(g_plugin.buildOrigin[2], 100.0f);

    // A later map without pivots, after the first is cleared, is built from
    // the same origin; its top-level build starts the limb counter afresh.
    KEP_Clear();
    EXPECT_EQ(g_plugin.buildOrigin[0], 20.0f);
    kepw::Map next;
    next.meshes = {MeshOf(
        0, {5, 5, 5}, {OneTriangle("t.bmp", 0, 0, 0, 0, 1), OneTriangle("t.bmp", 0, 0, 0, 0, 4)})};
    ASSERT_EQ(LoadFile(next, 0), 1) << LastErrorText();
    EXPECT_EQ(
        simhost::CallsNamed("Position"),
        std::vector<std::string>{CallText("Position", {double(Group(0)->object), 25, 5, 105})});
    EXPECT_EQ(simhost::CallsNamed("AddLimb").size(), 1u);
    EXPECT_EQ(LimbOf(Group(0)->object, 1).offset.x, -5.0f);
    EXPECT_EQ(g_plugin.limbCounter, 2);

    // The limb counter too outlives a map; a build without surfaces resets it.
    KEP_Clear();
    EXPECT_EQ(g_plugin.limbCounter, 2);
    ASSERT_EQ(LoadFile(kepw::Map{}, 0), 1) << LastErrorText();
    EXPECT_EQ(g_plugin.limbCounter, 1);
}

TEST_F(ObjectAssemblyTest, PivotOfAGroupWithoutGeometryStillMovesTheOrigin) {
    kepw::Map map;
    // List order: default, G2 (pivot, no meshes), G1 (mesh, no pivot).
    map.groups = {ChildOf(0, "mesh"), ChildOf(0, "marker")};
    map.meshes = {MeshOf(1, {0, 0, 0}, {OneTriangle("t.bmp", 0, 0, 0, 0, 1)})};
    map.entities = {Pivot(2, -4, 5, 6)};
    ASSERT_EQ(LoadFile(map, 0), 1) << LastErrorText();
    EXPECT_EQ(simhost::CallsNamed("Position"), std::vector<std::string>{"Position(1000,-4,5,6)"});
}

TEST_F(ObjectAssemblyTest, PivotsOfGroupsBuiltEarlierAreMetAgainOnTheTopLevelWalk) {
    kepw::Map map;
    // Group list: default, A, Q, B, D, R. A's children are Q then B; D is
    // Q's child. A's nested passes meet the pivots Q, D, B in that order; the
    // top-level walk then passes Q, B and D again, so R, without a pivot of
    // its own, is built from D's origin.
    map.groups = {ChildOf(0, "R"), ChildOf(4, "D"), ChildOf(5, "B"), ChildOf(5, "Q"),
                  ChildOf(0, "A")};
    map.meshes = {MeshOf(1, {0, 0, 0}, {OneTriangle("t.bmp", 0, 0, 0, 0, 1)})};
    map.entities = {Pivot(4, 1, 1, 1), Pivot(3, 2, 2, 2), Pivot(2, 3, 3, 3)}; // Q, B, D
    ASSERT_EQ(LoadFile(map, 0), 1) << LastErrorText();
    EXPECT_EQ(simhost::CallsNamed("Position"), std::vector<std::string>{"Position(1000,3,3,3)"});
}

} // namespace
