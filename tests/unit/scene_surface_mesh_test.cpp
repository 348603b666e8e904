// Surfaces as mesh memblocks: the bytes of memblock 30 as the host got them
// (header, vertex layout, corner order, colours, position transform) and the
// scratch numbers left after a build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/CError.h"
#include "host/host_functions.h"
#include "map/kep_import.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "scene_helpers.h"
#include "simhost/memblocks_images.h"

namespace {

using namespace scene_test;

class SurfaceMeshTest : public SceneTest {};

kepw::Map OneMesh(std::vector<kepw::Surface> surfaces, std::array<float, 3> position = {}) {
    kepw::Map map;
    map.lightmaps = {kepw::PatternLightmap(2, 2, 1)};
    kepw::Mesh mesh;
    mesh.position = position;
    mesh.surfaces = std::move(surfaces);
    map.meshes = {mesh};
    return map;
}

// What a vertex of the file becomes in a mesh memblock, position aside: the
// reader's sign changes, and the colour's low bytes in one word.
void ExpectFieldsOf(const kepw::Vertex& file, const MemblockVertex& sent, bool lightmapped) {
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(sent.normal[k], -file.normal[k]) << "normal " << k;
    const uint32_t diffuse = (static_cast<uint32_t>(file.colour[0]) & 0xffu) << 16 |
                             (static_cast<uint32_t>(file.colour[1]) & 0xffu) << 8 |
                             (static_cast<uint32_t>(file.colour[2]) & 0xffu);
    EXPECT_EQ(sent.diffuse, diffuse);
    EXPECT_EQ(sent.uv[0], -file.uv[0]);
    EXPECT_EQ(sent.uv[1], -file.uv[1]);
    if (lightmapped) {
        EXPECT_EQ(sent.uv2[0], file.lightmapUv[0]);
        EXPECT_EQ(sent.uv2[1], -file.lightmapUv[1]);
    }
}

void ExpectPosition(const MemblockVertex& sent, float x, float y, float z) {
    EXPECT_EQ(sent.position[0], x);
    EXPECT_EQ(sent.position[1], y);
    EXPECT_EQ(sent.position[2], z);
}

TEST_F(SurfaceMeshTest, EachSurfaceChoosesItsOwnLayoutFromTheFlagAndItsLightmap) {
    struct Case {
        int32_t flag;
        bool lightmapping;
    };
    for (const Case c :
         {Case{2, true}, Case{1, false}, Case{0, false}, Case{3, false}, Case{-2, false}}) {
        SCOPED_TRACE(testing::Message() << "lightmap flag " << c.flag);
        ResetPluginAndHost();
        // Lightmap numbers 1, 0 (none) and 7 (past the section, still an index >= 0).
        ASSERT_EQ(LoadMemblock(OneMesh({OneTriangle("a.bmp", 1, 0, 0, 0, 1),
                                        OneTriangle("b.bmp", 0, 0, 0, 0, 4),
                                        OneTriangle("a.bmp", 7, 0, 0, 0, 7)}),
                               c.flag),
                  1)
            << LastErrorText();
        const std::vector<SentMeshMemblock> sent = SentMeshMemblocks();
        ASSERT_EQ(sent.size(), 3u);
        const bool lit[3] = {c.lightmapping, false, c.lightmapping};
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(testing::Message() << "surface " << i);
            const DecodedMeshMemblock mesh = DecodeMeshMemblock(sent[i].bytes);
            EXPECT_EQ(mesh.flags, lit[i] ? 0x252u : 0x152u);
            EXPECT_EQ(mesh.stride, lit[i] ? 44u : 36u);
            EXPECT_EQ(mesh.count, 3u);
            EXPECT_EQ(sent[i].madeSize, lit[i] ? 144 : 120);
            EXPECT_EQ(sent[i].bytes.size(), lit[i] ? 144u : 120u);
            // One call per field: a header of three words, then per vertex the
            // colour word and eight floats (ten with the lightmap pair).
            EXPECT_EQ(sent[i].dwordWrites, 3 + 3);
            EXPECT_EQ(sent[i].floatWrites, 3 * (lit[i] ? 10 : 8));
        }
        EXPECT_TRUE(simhost::RefusedWrites().empty());
    }
}

TEST_F(SurfaceMeshTest, CornersArriveLastFirstWithEveryFieldAsStored) {
    kepw::Vertex a = DistinctVertex(1, 2, 3, 1);
    a.colour = {300, 2, 255}; // red byte 44: only the low byte of each component
    kepw::Vertex b = DistinctVertex(4, 5, 6, 2);
    b.colour = {-1, 256, 511};
    kepw::Vertex c = DistinctVertex(7, 8, 9, 3);
    c.colour = {1, 2, 3};
    for (const int32_t flag : {2, 1}) {
        SCOPED_TRACE(testing::Message() << "lightmap flag " << flag);
        ResetPluginAndHost();
        ASSERT_EQ(LoadMemblock(
                      OneMesh({MakeSurface("t.bmp", 1, {a, b, c}, {{0, 1, 2}, {2, 0, 1}})}), flag),
                  1)
            << LastErrorText();
        const std::vector<SentMeshMemblock> sent = SentMeshMemblocks();
        ASSERT_EQ(sent.size(), 1u);
        const DecodedMeshMemblock mesh = DecodeMeshMemblock(sent[0].bytes);
        ASSERT_EQ(mesh.vertices.size(), 6u);
        EXPECT_EQ(mesh.vertices[0].diffuse, 0x00010203u);
        EXPECT_EQ(mesh.vertices[2].diffuse, 0x002c02ffu);
        // (A, B, C) is sent as C, B, A; (C, A, B) as B, A, C.
        const kepw::Vertex* order[6] = {&c, &b, &a, &b, &a, &c};
        for (int i = 0; i < 6; ++i) {
            SCOPED_TRACE(testing::Message() << "memblock vertex " << i);
            ExpectPosition(mesh.vertices[i], order[i]->position[0], order[i]->position[1],
                           order[i]->position[2]);
            ExpectFieldsOf(*order[i], mesh.vertices[i], flag == 2);
        }
        EXPECT_EQ(sent[0].dwordWrites, 3 + 6);
        EXPECT_EQ(sent[0].floatWrites, 6 * (flag == 2 ? 10 : 8));
    }
}

TEST_F(SurfaceMeshTest, TrianglesNamingMissingVerticesAreLeftOut) {
    const kepw::Vertex a = DistinctVertex(1, 0, 0, 1);
    const kepw::Vertex b = DistinctVertex(0, 1, 0, 2);
    const kepw::Vertex c = DistinctVertex(0, 0, 1, 3);
    ASSERT_EQ(LoadMemblock(OneMesh({MakeSurface("t.bmp", 0, {a, b, c},
                                                {{0, 1, 5}, {0, 1, 2}, {-1, 0, 1}, {2, 1, 0}}),
                                    MakeSurface("t.bmp", 0, {a, b}, {{0, 1, 2}, {3, 3, 3}})}),
                           1),
              1)
        << LastErrorText();
    const std::vector<SentMeshMemblock> sent = SentMeshMemblocks();
    ASSERT_EQ(sent.size(), 2u);

    const DecodedMeshMemblock complete = DecodeMeshMemblock(sent[0].bytes);
    EXPECT_EQ(complete.count, 6u); // two complete triangles of four
    EXPECT_EQ(sent[0].madeSize, 12 + 6 * 36);
    ASSERT_EQ(complete.vertices.size(), 6u);
    const float expectedX[6] = {0, 0, 1, 1, 0, 0}; // C, B, A then A, B, C
    const float expectedZ[6] = {1, 0, 0, 0, 0, 1};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(complete.vertices[i].position[0], expectedX[i]) << i;
        EXPECT_EQ(complete.vertices[i].position[2], expectedZ[i]) << i;
    }

    EXPECT_EQ(sent[1].madeSize, 12); // nothing drawable: the header alone
    EXPECT_EQ(DecodeMeshMemblock(sent[1].bytes).count, 0u);
    EXPECT_TRUE(simhost::RefusedWrites().empty());
}

TEST_F(SurfaceMeshTest, SurfaceWithoutTrianglesStillBecomesAnObject) {
    kepw::Surface empty;
    empty.texture = "t.bmp";
    empty.vertices = {DistinctVertex(1, 1, 1, 1)};
    kepw::Map map = OneMesh({empty});
    map.lightmaps.clear();
    ASSERT_EQ(LoadMemblock(map, 2), 1) << LastErrorText();
    const std::vector<SentMeshMemblock> sent = SentMeshMemblocks();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].madeSize, 12);
    const DecodedMeshMemblock mesh = DecodeMeshMemblock(sent[0].bytes);
    EXPECT_EQ(mesh.flags, 0x152u);
    EXPECT_EQ(mesh.stride, 36u);
    EXPECT_EQ(mesh.count, 0u);
    EXPECT_EQ(CallsAmong({"CreateMeshFromMemblock", "MakeObject", "DeleteMesh", "DeleteMemblock"}),
              (std::vector<std::string>{
                  CallText("CreateMeshFromMemblock", {1, 30}), CallText("MakeObject", {1000, 1, 0}),
                  CallText("DeleteMesh", {1}), CallText("DeleteMemblock", {30})}));
    EXPECT_EQ(CurrentMap()->objectsBuilt, 1);
}

TEST_F(SurfaceMeshTest, FirstSurfaceOfAGroupIsPlacedFromTheBuildOriginAndMapOffset) {
    KEP_MapOffset(10, 20, 1);
    g_plugin.buildOrigin[0] = 2;
    g_plugin.buildOrigin[1] = -3;
    g_plugin.buildOrigin[2] = -1;
    // z = 2^24: 2^24 + 1 + 1 is 2^24 + 2 only when the sum is not rounded
    // to single precision half-way.
    ASSERT_EQ(
        LoadMemblock(OneMesh({MakeSurface("t.bmp", 0,
                                          {DistinctVertex(5, 6, 16777216.0f, 1),
                                           DistinctVertex(0, 0, 0, 2), DistinctVertex(-2, 3, 1, 3)},
                                          {{0, 1, 2}})},
                             {100, 200, 300}),
                     0),
        1)
        << LastErrorText();
    const std::vector<SentMeshMemblock> sent = SentMeshMemblocks();
    ASSERT_EQ(sent.size(), 1u);
    const DecodedMeshMemblock mesh = DecodeMeshMemblock(sent[0].bytes);
    ASSERT_EQ(mesh.vertices.size(), 3u);
    ExpectPosition(mesh.vertices[2], 13, 29, 16777218.0f);
    ExpectPosition(mesh.vertices[1], 8, 23, 2);
    ExpectPosition(mesh.vertices[0], 6, 26, 3);
    // The group had no object yet: nothing to ask the host about.
    EXPECT_TRUE(simhost::CallsNamed("GetXPositionEx").empty());
}

TEST_F(SurfaceMeshTest, MapOffsetTenAndOriginTwoPutFiveAtThirteen) {
    KEP_MapOffset(10, 0, 0);
    kepw::Map map = OneMesh({OneTriangle("t.bmp", 0, 5, 0, 0, 1)});
    map.entities = {Pivot(0, -8, 0, 0)}; // read as (2, 0, 0): the offset is added
    ASSERT_EQ(LoadMemblock(map, 0), 1) << LastErrorText();
    const std::vector<SentMeshMemblock> sent = SentMeshMemblocks();
    ASSERT_EQ(sent.size(), 1u);
    const DecodedMeshMemblock mesh = DecodeMeshMemblock(sent[0].bytes);
    ASSERT_EQ(mesh.vertices.size(), 3u);
    EXPECT_EQ(mesh.vertices[2].position[0], 13.0f); // corner A, x = 5
    EXPECT_EQ(mesh.vertices[1].position[0], 14.0f); // corner B, x = 6
}

TEST_F(SurfaceMeshTest, LaterSurfacesOfAnOwningGroupAreRelativeToItsObjectsPosition) {
    KEP_MapOffset(10, 20, 30);
    kepw::Map map;
    kepw::Mesh first;
    first.position = {100, 200, 300};
    first.surfaces = {OneTriangle("t.bmp", 0, 5, 6, 7, 1), OneTriangle("t.bmp", 0, 5, 6, 7, 4)};
    kepw::Mesh second; // its own position plays no part: the object is placed
    second.position = {1000, 1000, 1000};
    second.surfaces = {OneTriangle("t.bmp", 0, 5, 6, 7, 7)};
    map.meshes = {first, second};
    map.entities = {Pivot(0, 1, 2, 3)}; // origin (11, 22, 33); object at (111, 222, 333)
    ASSERT_EQ(LoadMemblock(map, 0), 1) << LastErrorText();

    const std::vector<SentMeshMemblock> sent = SentMeshMemblocks();
    ASSERT_EQ(sent.size(), 3u);
    // Corner A of each surface stands at (5, 6, 7) in the file.
    ExpectPosition(DecodeMeshMemblock(sent[0].bytes).vertices.at(2), 4, 4, 4);
    ExpectPosition(DecodeMeshMemblock(sent[1].bytes).vertices.at(2), -96, -196, -296);
    ExpectPosition(DecodeMeshMemblock(sent[2].bytes).vertices.at(2), -96, -196, -296);
    ExpectPosition(DecodeMeshMemblock(sent[2].bytes).vertices.at(1), -95, -196, -296);
    // Asked for every vertex of the two later surfaces, plus once for the
    // group's root limb.
    for (const char* axis : {"GetXPositionEx", "GetYPositionEx", "GetZPositionEx"})
        EXPECT_EQ(simhost::CallsNamed(axis), std::vector<std::string>(7, CallText(axis, {1000})))
            << axis;
}

TEST_F(SurfaceMeshTest, GroupBuildingIntoItsParentsObjectIsPlacedFromItsOwnOrigin) {
    KEP_MapOffset(10, 20, 30);
    kepw::Map map;
    map.groups = {kepw::Group{0, 2, "name=child", {}}, kepw::Group{0, 0, "name=parent", {}}};
    kepw::Mesh parentMesh;
    parentMesh.group = 2;
    parentMesh.position = {100, 200, 300};
    parentMesh.surfaces = {OneTriangle("t.bmp", 0, 5, 6, 7, 1)};
    kepw::Mesh childMesh;
    childMesh.group = 1;
    childMesh.position = {-1000, -1000, -1000};
    childMesh.surfaces = {OneTriangle("t.bmp", 0, 5, 6, 7, 4)};
    map.meshes = {parentMesh, childMesh};
    map.entities = {Pivot(2, 1, 2, 3), Pivot(1, 40, 40, 40)}; // (11,22,33), (50,60,70)
    ASSERT_EQ(LoadMemblock(map, 0), 1) << LastErrorText();

    ASSERT_EQ(Group(1)->object, 1000);
    ASSERT_EQ(Group(1)->ownsObject, 0);
    const std::vector<SentMeshMemblock> sent = SentMeshMemblocks();
    ASSERT_EQ(sent.size(), 2u);
    ExpectPosition(DecodeMeshMemblock(sent[0].bytes).vertices.at(2), 4, 4, 4);
    ExpectPosition(DecodeMeshMemblock(sent[1].bytes).vertices.at(2), -35, -34, -33);
    // The object's position is still asked for every vertex, and once more
    // for the root limb, though the vertices do not use it.
    EXPECT_EQ(simhost::CallsNamed("GetXPositionEx").size(), 3u + 1u);
    EXPECT_EQ(simhost::CallsNamed("GetZPositionEx").size(), 3u + 1u);
}

TEST_F(SurfaceMeshTest, ScratchMemblockAndMeshAreGoneAfterEverySurface) {
    host::memblock::MakeMemblock(30, 64); // the script's own numbers
    ASSERT_TRUE(simhost::MakeMeshFromBytes(1, {0x52, 0x01, 0, 0, 36, 0, 0, 0, 0, 0, 0, 0}));
    kepw::Map map =
        OneMesh({OneTriangle("t.bmp", 0, 0, 0, 0, 1), OneTriangle("u.bmp", 0, 0, 0, 0, 4)});
    map.lightmaps.clear();
    ASSERT_EQ(LoadFile(map, 1), 1) << LastErrorText();

    EXPECT_EQ(CallsAmong({"MakeMemblock", "CreateMeshFromMemblock", "MakeObject", "AddLimb",
                          "DeleteMesh", "DeleteMemblock"}),
              (std::vector<std::string>{
                  CallText("MakeMemblock", {30, 120}), CallText("CreateMeshFromMemblock", {1, 30}),
                  CallText("MakeObject", {1000, 1, 0}), CallText("DeleteMesh", {1}),
                  CallText("DeleteMemblock", {30}), CallText("MakeMemblock", {30, 120}),
                  CallText("CreateMeshFromMemblock", {1, 30}), CallText("AddLimb", {1000, 1, 1}),
                  CallText("DeleteMesh", {1}), CallText("DeleteMemblock", {30})}));
    const std::vector<int> memblocks = simhost::MemblockNumbers();
    EXPECT_EQ(std::count(memblocks.begin(), memblocks.end(), 30), 0);
    const std::vector<int> meshes = simhost::MeshNumbers();
    EXPECT_EQ(std::count(meshes.begin(), meshes.end(), 1), 0);
}

TEST_F(SurfaceMeshTest, SurfaceTooLargeForAMemblockFailsBeforeAskingTheHost) {
    // 16,268,816 lightmapped triangles need 12 + 132 bytes each: just past
    // what a signed 32-bit memblock size holds. The list repeats one triangle.
    KEP_Vertex vertex;
    KEP_Triangle triangle;
    for (KEP_Vertex*& corner : triangle.corners)
        corner = &vertex;
    KEP_Surface surface;
    surface.lightmapIndex = 0;
    const int32_t count = 16268816;
    for (int32_t i = 0; i < count; ++i)
        surface.triangles.Add(&triangle);
    ASSERT_EQ(surface.triangles.Count(), count);
    KEP_Group group;
    simhost::ClearCalls();

    std::string message;
    try {
        KEP_BuildSurfaceMesh(&surface, &group, 2);
    } catch (const CError& error) {
        message = error.message;
    }
    EXPECT_EQ(message, "Insufficient memory");
    EXPECT_TRUE(simhost::Calls().empty());
    surface.triangles.Clear(false); // the items are this test's own
}

} // namespace
