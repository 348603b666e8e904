// The host record pass: what each host mesh record and its texture-stage
// records hold after a build, which pass's lightmap-stage flag decides, and
// records the host hands back incomplete.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/host_functions.h"
#include "map/host_records.h"
#include "plugin/exports.h"
#include "scene_helpers.h"

namespace {

using namespace scene_test;

class HostRecordTest : public SceneTest {};

kepw::Mesh MeshOf(int32_t group, std::vector<kepw::Surface> surfaces) {
    kepw::Mesh mesh;
    mesh.group = group;
    mesh.surfaces = std::move(surfaces);
    return mesh;
}

void ExpectStage(const simhost::StageRecordState& stage, uint32_t number, uint32_t op,
                 uint32_t arg1, uint32_t arg2, uint32_t word304) {
    EXPECT_EQ(stage.stage, number);
    EXPECT_EQ(stage.colourOp, op);
    EXPECT_EQ(stage.arg1, arg1);
    EXPECT_EQ(stage.arg2, arg2);
    EXPECT_EQ(stage.word304, word304);
}

// Stage 0 passes the texture on; the mesh is marked as having no lightmap.
void ExpectUnlit(const simhost::LimbState& limb) {
    SCOPED_TRACE(testing::Message() << "limb " << limb.number);
    ASSERT_TRUE(limb.holdsMesh);
    EXPECT_EQ(limb.hostMesh.byte1037, 0);
    EXPECT_EQ(limb.hostMesh.byte1040, 0);
    EXPECT_EQ(limb.hostMesh.byte1041, 1);
    ASSERT_GE(limb.hostMesh.stages.size(), 1u);
    ExpectStage(limb.hostMesh.stages[0], 0, 2, 2, 0, 0);
}

// Stage 1 multiplies by the lightmap and doubles; byte 1041 keeps the host's 0.
void ExpectLit(const simhost::LimbState& limb) {
    SCOPED_TRACE(testing::Message() << "limb " << limb.number);
    ASSERT_TRUE(limb.holdsMesh);
    EXPECT_EQ(limb.hostMesh.byte1037, 0);
    EXPECT_EQ(limb.hostMesh.byte1040, 0);
    EXPECT_EQ(limb.hostMesh.byte1041, 0);
    ASSERT_EQ(limb.hostMesh.stages.size(), 2u);
    ExpectStage(limb.hostMesh.stages[0], 0, 2, 2, 0, 0);
    ExpectStage(limb.hostMesh.stages[1], 1, 5, 2, 1, 0);
}

TEST_F(HostRecordTest, WithoutLightmapsOnEveryMeshIsMarkedUnlit) {
    kepw::Map map;
    map.groups = {kepw::Group{}};
    map.lightmaps = {kepw::PatternLightmap(2, 2, 1)};
    map.meshes = {
        MeshOf(0, {OneTriangle("a.bmp", 1, 0, 0, 0, 1), OneTriangle("a.bmp", 1, 0, 0, 0, 4)}),
        MeshOf(1, {OneTriangle("a.bmp", 1, 0, 0, 0, 7)})};
    for (const int32_t flag : {0, 1}) {
        SCOPED_TRACE(flag);
        ResetPluginAndHost();
        ASSERT_EQ(LoadMemblock(map, flag), 1) << LastErrorText();
        for (const int object : {1000, 1001})
            for (const simhost::LimbState& limb : ObjectOf(object).limbs) {
                ExpectUnlit(limb);
                EXPECT_EQ(limb.hostMesh.stages.size(), 1u);
            }
    }
}

TEST_F(HostRecordTest, LightmappedMeshesGetTheModulatingSecondStage) {
    KEP_BlendMode(4); // stored only: the lightmap stage always modulates 2x
    kepw::Map map;
    map.lightmaps = {kepw::PatternLightmap(2, 2, 1)};
    map.meshes = {
        MeshOf(0, {OneTriangle("a.bmp", 1, 0, 0, 0, 1), OneTriangle("a.bmp", 1, 0, 0, 0, 4),
                   OneTriangle("a.bmp", 0, 0, 0, 0, 7)})};
    ASSERT_EQ(LoadMemblock(map, 2), 1) << LastErrorText();
    const simhost::ObjectState object = ObjectOf(1000);
    ASSERT_EQ(object.limbs.size(), 3u);
    ExpectLit(object.limbs[0]);
    ExpectLit(object.limbs[1]);
    // The plain surface's mesh has one stage only: nothing written past it.
    ExpectUnlit(object.limbs[2]);
    EXPECT_EQ(object.limbs[2].hostMesh.stages.size(), 1u);
}

TEST_F(HostRecordTest, PassWithoutAnyLightmappedSurfaceMarksEveryMeshUnlit) {
    kepw::Map map;
    map.lightmaps = {kepw::PatternLightmap(2, 2, 1)};
    map.meshes = {
        MeshOf(0, {OneTriangle("a.bmp", 0, 0, 0, 0, 1), OneTriangle("a.bmp", 0, 0, 0, 0, 4)})};
    ASSERT_EQ(LoadMemblock(map, 2), 1) << LastErrorText();
    for (const simhost::LimbState& limb : ObjectOf(1000).limbs)
        ExpectUnlit(limb);
}

TEST_F(HostRecordTest, RecordPassesBeforeTheFirstLightmappedSurfaceLeaveMeshesUnlit) {
    kepw::Map map;
    map.lightmaps = {kepw::PatternLightmap(2, 2, 1)};
    // Group list: default, G2, G1. The default group's meshes come first in
    // the pass, and its first mesh has no lightmapped surface.
    map.groups = {kepw::Group{}, kepw::Group{}};
    map.meshes = {
        MeshOf(0, {OneTriangle("a.bmp", 0, 0, 0, 0, 1)}),
        MeshOf(0, {OneTriangle("a.bmp", 0, 0, 0, 0, 4), OneTriangle("a.bmp", 1, 0, 0, 0, 7)}),
        MeshOf(2, {OneTriangle("a.bmp", 1, 0, 0, 0, 10)}),
        MeshOf(1, {OneTriangle("a.bmp", 0, 0, 0, 0, 13)})};
    ASSERT_EQ(LoadMemblock(map, 2), 1) << LastErrorText();

    const simhost::ObjectState first = ObjectOf(1000);
    ASSERT_EQ(first.limbs.size(), 3u);
    ExpectUnlit(first.limbs[0]);
    ExpectUnlit(first.limbs[1]);
    ExpectLit(first.limbs[2]);
    ExpectLit(ObjectOf(1001).limbs.at(0));
    // Later in the same pass, a one-stage mesh still has no second stage.
    ExpectUnlit(ObjectOf(1002).limbs.at(0));
    EXPECT_EQ(ObjectOf(1002).limbs.at(0).hostMesh.stages.size(), 1u);
}

TEST_F(HostRecordTest, ChildPassWithoutLightmapsMarksItsParentsLightmappedMeshesUnlit) {
    for (const bool childLightmapped : {false, true}) {
        SCOPED_TRACE(childLightmapped ? "lightmapped child" : "plain child");
        ResetPluginAndHost();
        kepw::Map map;
        map.lightmaps = {kepw::PatternLightmap(2, 2, 1)};
        map.groups = {kepw::Group{0, 2, "name=child", {}}, kepw::Group{0, 0, "name=parent", {}}};
        map.meshes = {
            MeshOf(2, {OneTriangle("a.bmp", 1, 0, 0, 0, 1), OneTriangle("a.bmp", 1, 0, 0, 0, 4)}),
            MeshOf(1, {OneTriangle("b.bmp", childLightmapped ? 1 : 0, 0, 0, 0, 7)})};
        ASSERT_EQ(LoadMemblock(map, 2), 1) << LastErrorText();
        const simhost::ObjectState object = ObjectOf(1000);
        ASSERT_EQ(object.limbs.size(), 3u);
        if (childLightmapped) {
            for (const simhost::LimbState& limb : object.limbs)
                ExpectLit(limb);
            continue;
        }
        // The child's own pass has bound no lightmap: its record pass marks
        // every mesh of the object unlit, and the stage-1 values the parent's
        // pass wrote stay as they were.
        for (const simhost::LimbState& limb : object.limbs)
            ExpectUnlit(limb);
        for (int limb = 0; limb < 2; ++limb) {
            ASSERT_EQ(object.limbs[limb].hostMesh.stages.size(), 2u);
            ExpectStage(object.limbs[limb].hostMesh.stages[1], 1, 5, 2, 1, 0);
        }
        EXPECT_EQ(object.limbs[2].hostMesh.stages.size(), 1u);
    }
}

// Raw access to the records the host hands out, to make them incomplete.
uint32_t ReadWordAt(const void* base, int offset) {
    uint32_t value;
    std::memcpy(&value, static_cast<const uint8_t*>(base) + offset, 4);
    return value;
}

void WriteWordAt(void* base, int offset, uint32_t value) {
    std::memcpy(static_cast<uint8_t*>(base) + offset, &value, 4);
}

uint8_t* AsPointer(uint32_t word) {
    return reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(word));
}

TEST_F(HostRecordTest, MissingMeshesAndStagesInTheHostsRecordsAreSkipped) {
    kepw::Map map;
    map.lightmaps = {kepw::PatternLightmap(2, 2, 1)};
    map.meshes = {
        MeshOf(0, {OneTriangle("a.bmp", 1, 0, 0, 0, 1), OneTriangle("a.bmp", 1, 0, 0, 0, 4),
                   OneTriangle("a.bmp", 1, 0, 0, 0, 7)})};
    ASSERT_EQ(LoadMemblock(map, 2), 1) << LastErrorText();
    void* object = host::object::GetObjectA(1000);
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(ReadWordAt(object, 0), 3u);
    uint8_t* meshArray = AsPointer(ReadWordAt(object, 8));
    uint8_t* meshes[3];
    for (int i = 0; i < 3; ++i) {
        meshes[i] = AsPointer(ReadWordAt(meshArray, 4 * i));
        meshes[i][1037] = meshes[i][1040] = meshes[i][1041] = 7;
        uint8_t* stages = AsPointer(ReadWordAt(meshes[i], 904));
        for (int s = 0; s < 2; ++s)
            for (int field : {268, 272, 276, 280, 304})
                WriteWordAt(stages + 328 * s, field, 0xaaaaaaaau);
    }
    // Mesh 0 is missing from the array, mesh 1 claims no stages, mesh 2's
    // stage array is missing.
    WriteWordAt(meshArray, 0, 0);
    WriteWordAt(meshes[1], 892, 0);
    const uint32_t stageArray2 = ReadWordAt(meshes[2], 904);
    WriteWordAt(meshes[2], 904, 0);

    KEP_WriteHostRecords(1000, 2, true);

    WriteWordAt(meshArray, 0, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(meshes[0])));
    WriteWordAt(meshes[1], 892, 2);
    WriteWordAt(meshes[2], 904, stageArray2);
    const simhost::ObjectState state = ObjectOf(1000);
    ASSERT_EQ(state.limbs.size(), 3u);
    EXPECT_EQ(state.limbs[0].hostMesh.byte1041, 7); // never reached
    EXPECT_EQ(state.limbs[0].hostMesh.byte1037, 7);
    for (int i = 1; i < 3; ++i) {
        SCOPED_TRACE(i);
        const simhost::HostMeshRecordState& mesh = state.limbs[i].hostMesh;
        EXPECT_EQ(mesh.byte1037, 0);
        EXPECT_EQ(mesh.byte1040, 0);
        EXPECT_EQ(mesh.byte1041, 1); // no stage it could set up
        for (const simhost::StageRecordState& stage : mesh.stages)
            ExpectStage(stage, 0xaaaaaaaau, 0xaaaaaaaau, 0xaaaaaaaau, 0xaaaaaaaau, 0xaaaaaaaau);
    }
}

// Calls besides the binding's own first look at the host core.
std::vector<std::string> CallsPastBinding() {
    std::vector<std::string> texts = AllCallTexts();
    texts.erase(std::remove(texts.begin(), texts.end(), "GetGlobPtr()"), texts.end());
    return texts;
}

TEST_F(HostRecordTest, ObjectTheHostDoesNotHaveIsOnlyAskedFor) {
    simhost::ClearCalls();
    KEP_WriteHostRecords(4242, 2, true);
    EXPECT_EQ(CallsPastBinding(), std::vector<std::string>{"GetObjectA(4242)"});

    host::object::MakeObject(5, 0, 0); // an object without any host mesh
    simhost::ClearCalls();
    KEP_WriteHostRecords(5, 2, true);
    EXPECT_EQ(CallsPastBinding(), std::vector<std::string>{"GetObjectA(5)"});
    EXPECT_FALSE(ObjectOf(5).limbs.at(0).holdsMesh);
}

} // namespace
