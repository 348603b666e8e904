// The stand-in host's 3D-object module, driven the way the plug-in drives it:
// functions resolved by lookup name through the module handle in word 25.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include <kepimport/host_module.h>

#include "simhost/scene.h"
#include "simhost/simhost.h"

// The host's object record, called through the same type the plug-in uses.
struct sObject;

namespace {

#define HOST_CDECL __attribute__((cdecl))

using ObjectFn = void(HOST_CDECL*)(int);
using ObjectIntFn = void(HOST_CDECL*)(int, int);
using ObjectIntIntFn = void(HOST_CDECL*)(int, int, int);
using ObjectIntIntIntFn = void(HOST_CDECL*)(int, int, int, int);
using ObjectFloatFn = void(HOST_CDECL*)(int, float);
using ObjectFloat3Fn = void(HOST_CDECL*)(int, float, float, float);
using LimbFloat3Fn = void(HOST_CDECL*)(int, int, float, float, float);
using ObjectGetterFn = uint32_t(HOST_CDECL*)(int);
using LimbGetterFn = uint32_t(HOST_CDECL*)(int, int);
using ExistFn = int(HOST_CDECL*)(int);
using GetObjectFn = sObject*(HOST_CDECL*)(int);
using MeshFromMemblockFn = void(HOST_CDECL*)(int, int);
using MakeMemblockFn = void(HOST_CDECL*)(int, int);
using WriteDWordFn = void(HOST_CDECL*)(int, int, uint32_t);

HostModule* ModuleAt(int word) {
    return reinterpret_cast<HostModule*>(static_cast<uintptr_t>(simhost::GlobalStructure()[word]));
}

template <typename F> F Resolve(int word, const char* lookupName) {
    void* function = ModuleAt(word)->resolve(lookupName);
    EXPECT_NE(function, nullptr) << lookupName;
    return reinterpret_cast<F>(function);
}

// Every function of the object module, resolved by its lookup name.
struct ObjectApi {
    ObjectIntIntFn AddLimb = Resolve<ObjectIntIntFn>(25, "?AddLimb@@YAXHHH@Z");
    ObjectFn DeleteMesh = Resolve<ObjectFn>(25, "?DeleteMesh@@YAXH@Z");
    ObjectFn DeleteEx = Resolve<ObjectFn>(25, "?DeleteEx@@YAXH@Z");
    ObjectIntFn HideLimb = Resolve<ObjectIntFn>(25, "?HideLimb@@YAXHH@Z");
    ObjectFn Hide = Resolve<ObjectFn>(25, "?Hide@@YAXH@Z");
    LimbGetterFn GetLimbAngleX = Resolve<LimbGetterFn>(25, "?GetLimbAngleX@@YAKHH@Z");
    LimbGetterFn GetLimbAngleY = Resolve<LimbGetterFn>(25, "?GetLimbAngleY@@YAKHH@Z");
    LimbGetterFn GetLimbAngleZ = Resolve<LimbGetterFn>(25, "?GetLimbAngleZ@@YAKHH@Z");
    LimbGetterFn GetLimbXPosition = Resolve<LimbGetterFn>(25, "?GetLimbXPosition@@YAKHH@Z");
    LimbGetterFn GetLimbYPosition = Resolve<LimbGetterFn>(25, "?GetLimbYPosition@@YAKHH@Z");
    LimbGetterFn GetLimbZPosition = Resolve<LimbGetterFn>(25, "?GetLimbZPosition@@YAKHH@Z");
    ObjectIntIntFn LinkLimb = Resolve<ObjectIntIntFn>(25, "?LinkLimb@@YAXHHH@Z");
    ObjectIntIntFn MakeObject = Resolve<ObjectIntIntFn>(25, "?MakeObject@@YAXHHH@Z");
    ObjectGetterFn GetXRotationEx = Resolve<ObjectGetterFn>(25, "?GetXRotationEx@@YAKH@Z");
    ObjectGetterFn GetYRotationEx = Resolve<ObjectGetterFn>(25, "?GetYRotationEx@@YAKH@Z");
    ObjectGetterFn GetZRotationEx = Resolve<ObjectGetterFn>(25, "?GetZRotationEx@@YAKH@Z");
    ExistFn GetExist = Resolve<ExistFn>(25, "?GetExist@@YAHH@Z");
    ObjectGetterFn GetXPositionEx = Resolve<ObjectGetterFn>(25, "?GetXPositionEx@@YAKH@Z");
    ObjectGetterFn GetYPositionEx = Resolve<ObjectGetterFn>(25, "?GetYPositionEx@@YAKH@Z");
    ObjectGetterFn GetZPositionEx = Resolve<ObjectGetterFn>(25, "?GetZPositionEx@@YAKH@Z");
    LimbFloat3Fn OffsetLimb = Resolve<LimbFloat3Fn>(25, "?OffsetLimb@@YAXHHMMM@Z");
    ObjectFloat3Fn Position = Resolve<ObjectFloat3Fn>(25, "?Position@@YAXHMMM@Z");
    LimbFloat3Fn RotateLimb = Resolve<LimbFloat3Fn>(25, "?RotateLimb@@YAXHHMMM@Z");
    ObjectFloat3Fn Rotate = Resolve<ObjectFloat3Fn>(25, "?Rotate@@YAXHMMM@Z");
    ObjectFloatFn SetSmoothing = Resolve<ObjectFloatFn>(25, "?SetSmoothing@@YAXHM@Z");
    ObjectIntFn ShowLimb = Resolve<ObjectIntFn>(25, "?ShowLimb@@YAXHH@Z");
    ObjectFn Show = Resolve<ObjectFn>(25, "?Show@@YAXH@Z");
    ObjectIntIntFn TextureLimb = Resolve<ObjectIntIntFn>(25, "?TextureLimb@@YAXHHH@Z");
    ObjectIntIntIntFn TextureLimbStage =
        Resolve<ObjectIntIntIntFn>(25, "?TextureLimbStage@@YAXHHHH@Z");
    ObjectIntFn SetTexture = Resolve<ObjectIntFn>(25, "?SetTexture@@YAXHH@Z");
    ObjectIntIntFn SetTextureStage = Resolve<ObjectIntIntFn>(25, "?SetTextureStage@@YAXHHH@Z");
    GetObjectFn GetObjectA = Resolve<GetObjectFn>(25, "?GetObjectA@@YAPAUsObject@@H@Z");
};

float Bits(uint32_t word) {
    float value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

uint32_t WordAt(const void* base, std::size_t offset) {
    uint32_t word;
    std::memcpy(&word, static_cast<const uint8_t*>(base) + offset, sizeof word);
    return word;
}

void PutWord(std::vector<uint8_t>* bytes, std::size_t offset, uint32_t word) {
    if (bytes->size() < offset + 4) bytes->resize(offset + 4);
    std::memcpy(bytes->data() + offset, &word, 4);
}

void PutFloat(std::vector<uint8_t>* bytes, std::size_t offset, float value) {
    uint32_t word;
    std::memcpy(&word, &value, 4);
    PutWord(bytes, offset, word);
}

struct TestVertex {
    float x, y, z;
    float u = 0, v = 0, u2 = 0, v2 = 0;
};

// Mesh-memblock bytes: 0x152 (36-byte vertices) or, with a lightmap pair,
// 0x252 (44-byte vertices). `stride` may be made larger than the format.
std::vector<uint8_t> MeshBytes(const std::vector<TestVertex>& vertices, bool lightmapped = false,
                               uint32_t stride = 0) {
    const uint32_t format = lightmapped ? 0x252 : 0x152;
    if (stride == 0) stride = lightmapped ? 44 : 36;
    std::vector<uint8_t> bytes(12 + vertices.size() * stride);
    PutWord(&bytes, 0, format);
    PutWord(&bytes, 4, stride);
    PutWord(&bytes, 8, static_cast<uint32_t>(vertices.size()));
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const std::size_t at = 12 + i * stride;
        const TestVertex& v = vertices[i];
        PutFloat(&bytes, at, v.x);
        PutFloat(&bytes, at + 4, v.y);
        PutFloat(&bytes, at + 8, v.z);
        PutFloat(&bytes, at + 12, 0.0f);
        PutFloat(&bytes, at + 16, 1.0f);
        PutFloat(&bytes, at + 20, 0.0f);
        PutWord(&bytes, at + 24, 0x00112233u + static_cast<uint32_t>(i));
        PutFloat(&bytes, at + 28, v.u);
        PutFloat(&bytes, at + 32, v.v);
        if (lightmapped) {
            PutFloat(&bytes, at + 36, v.u2);
            PutFloat(&bytes, at + 40, v.v2);
        }
    }
    return bytes;
}

// A one-triangle mesh with its first corner at (x, y, z).
std::vector<uint8_t> TriangleAt(float x, float y, float z) {
    return MeshBytes({{x, y, z}, {x + 1, y, z}, {x, y + 1, z}});
}

void ExpectPoint(const simhost::WorldPoint& p, double x, double y, double z) {
    EXPECT_NEAR(p.x, x, 1e-9);
    EXPECT_NEAR(p.y, y, 1e-9);
    EXPECT_NEAR(p.z, z, 1e-9);
}

simhost::ObjectState Object(int number) {
    simhost::ObjectState state;
    EXPECT_TRUE(simhost::FindObject(number, &state)) << "object " << number;
    return state;
}

// The sObject record as the plug-in reads it.
struct RecordView {
    int32_t meshCount = 0;
    uint8_t** meshes = nullptr;
};

RecordView ReadRecord(const void* record) {
    RecordView view;
    view.meshCount = static_cast<int32_t>(WordAt(record, 0));
    view.meshes = reinterpret_cast<uint8_t**>(static_cast<uintptr_t>(WordAt(record, 8)));
    return view;
}

uint8_t* StageRecord(uint8_t* mesh, int stage) {
    return reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(WordAt(mesh, 904))) + stage * 328;
}

class SimhostSceneTest : public ::testing::Test {
  protected:
    void SetUp() override { simhost::Reset(); }
    void TearDown() override { simhost::Reset(); }
    ObjectApi api;
};

TEST_F(SimhostSceneTest, MeshBytesTheHeaderCannotBackAreRefused) {
    std::vector<uint8_t> claimsTwo = TriangleAt(0, 0, 0);
    PutWord(&claimsTwo, 8, 4); // four vertices claimed, three present
    EXPECT_FALSE(simhost::MakeMeshFromBytes(2, claimsTwo));

    // 0x40000000 vertices of 36 bytes wrap to 0 in 32-bit arithmetic.
    std::vector<uint8_t> wraps = MeshBytes({});
    PutWord(&wraps, 8, 0x40000000u);
    EXPECT_FALSE(simhost::MakeMeshFromBytes(3, wraps));

    std::vector<uint8_t> narrowStride = TriangleAt(0, 0, 0);
    PutWord(&narrowStride, 4, 32); // 0x152 needs 36 bytes per vertex
    EXPECT_FALSE(simhost::MakeMeshFromBytes(4, narrowStride));

    std::vector<uint8_t> unknownFormat = TriangleAt(0, 0, 0);
    PutWord(&unknownFormat, 0, 0x152 | 0x004); // a layout this host cannot size
    EXPECT_FALSE(simhost::MakeMeshFromBytes(5, unknownFormat));

    EXPECT_FALSE(simhost::MakeMeshFromBytes(6, std::vector<uint8_t>(11, 0)));
    EXPECT_FALSE(simhost::MakeMeshFromBytes(0, TriangleAt(0, 0, 0)));
    EXPECT_FALSE(simhost::MakeMeshFromBytes(-1, TriangleAt(0, 0, 0)));
    EXPECT_TRUE(simhost::MeshNumbers().empty());

    // A refused replacement leaves no stale mesh under that number.
    ASSERT_TRUE(simhost::MakeMeshFromBytes(2, TriangleAt(0, 0, 0)));
    EXPECT_FALSE(simhost::MakeMeshFromBytes(2, claimsTwo));
    EXPECT_FALSE(simhost::FindMesh(2, nullptr));
}

TEST_F(SimhostSceneTest, MeshVerticesDecodeEveryField) {
    ASSERT_TRUE(simhost::MakeMeshFromBytes(
        1, MeshBytes({{1, 2, 3, 0.5f, 0.25f, 0.75f, 0.125f}, {4, 5, 6}, {7, 8, 9}}, true)));
    simhost::MeshInfo mesh;
    ASSERT_TRUE(simhost::FindMesh(1, &mesh));
    EXPECT_EQ(mesh.formatFlags, 0x252u);
    ASSERT_EQ(mesh.vertices.size(), 3u);
    const simhost::MeshVertex& v = mesh.vertices[0];
    EXPECT_EQ(v.position[0], 1.0f);
    EXPECT_EQ(v.position[2], 3.0f);
    EXPECT_EQ(v.normal[1], 1.0f);
    EXPECT_EQ(v.diffuse, 0x00112233u);
    EXPECT_EQ(v.uv[0], 0.5f);
    EXPECT_EQ(v.uv[1], 0.25f);
    EXPECT_EQ(v.uv2[0], 0.75f);
    EXPECT_EQ(v.uv2[1], 0.125f);
    EXPECT_EQ(mesh.vertices[2].position[1], 8.0f);
    EXPECT_EQ(mesh.vertices[2].diffuse, 0x00112235u);

    // Vertices wider than their format are stepped by the stated stride.
    ASSERT_TRUE(simhost::MakeMeshFromBytes(9, MeshBytes({{1, 2, 3}, {4, 5, 6}}, false, 48)));
    ASSERT_TRUE(simhost::FindMesh(9, &mesh));
    ASSERT_EQ(mesh.vertices.size(), 2u);
    EXPECT_EQ(mesh.vertices[1].position[0], 4.0f);
    EXPECT_EQ(mesh.vertices[1].diffuse, 0x00112234u);

    // An empty surface is still a mesh.
    ASSERT_TRUE(simhost::MakeMeshFromBytes(10, MeshBytes({})));
    ASSERT_TRUE(simhost::FindMesh(10, &mesh));
    EXPECT_TRUE(mesh.vertices.empty());
}

TEST_F(SimhostSceneTest, MemblockModuleMakesMeshesThroughTheSameDecoder) {
    auto makeMemblock = Resolve<MakeMemblockFn>(21, "?MakeMemblock@@YAXHH@Z");
    auto writeDWord = Resolve<WriteDWordFn>(21, "?WriteMemblockDWord@@YAXHHK@Z");
    auto createMesh = Resolve<MeshFromMemblockFn>(21, "?CreateMeshFromMemblock@@YAXHH@Z");
    const std::vector<uint8_t> bytes = TriangleAt(3, 4, 5);
    makeMemblock(30, static_cast<int>(bytes.size()));
    for (std::size_t at = 0; at < bytes.size(); at += 4)
        writeDWord(30, static_cast<int>(at), WordAt(bytes.data(), at));
    createMesh(1, 30);
    simhost::MeshInfo mesh;
    ASSERT_TRUE(simhost::FindMesh(1, &mesh));
    ASSERT_EQ(mesh.vertices.size(), 3u);
    EXPECT_EQ(mesh.vertices[0].position[1], 4.0f);

    makeMemblock(31, 12 + 35); // one byte short of a vertex
    writeDWord(31, 0, 0x152);
    writeDWord(31, 4, 36);
    writeDWord(31, 8, 1);
    createMesh(2, 31);
    EXPECT_FALSE(simhost::FindMesh(2, nullptr));
}

TEST_F(SimhostSceneTest, ObjectsCopyTheirMeshAndOutliveIt) {
    ASSERT_TRUE(simhost::MakeMeshFromBytes(1, TriangleAt(1, 2, 3)));
    api.MakeObject(1000, 1, 55);
    api.DeleteMesh(1);
    EXPECT_FALSE(simhost::FindMesh(1, nullptr));
    EXPECT_EQ(api.GetExist(1000), 1);
    EXPECT_EQ(api.GetExist(1001), 0);

    const simhost::ObjectState object = Object(1000);
    EXPECT_TRUE(object.visible);
    ASSERT_EQ(object.limbs.size(), 1u);
    EXPECT_EQ(object.limbs[0].number, 0);
    EXPECT_EQ(object.limbs[0].vertexCount, 3u);
    EXPECT_EQ(object.limbs[0].stage0Image, 55);
    EXPECT_EQ(object.limbs[0].stage1Image, 0);

    const std::vector<simhost::WorldTriangle> triangles = simhost::VisibleWorldTriangles();
    ASSERT_EQ(triangles.size(), 1u);
    ExpectPoint(triangles[0].position[0], 1, 2, 3);
    EXPECT_EQ(triangles[0].stage0Image, 55);

    // No mesh: limb 0 exists but holds nothing, so there is no host mesh.
    api.MakeObject(1001, 77, 0);
    const simhost::ObjectState empty = Object(1001);
    ASSERT_EQ(empty.limbs.size(), 1u);
    EXPECT_FALSE(empty.limbs[0].holdsMesh);
    EXPECT_EQ(ReadRecord(api.GetObjectA(1001)).meshCount, 0);

    api.DeleteEx(1000);
    EXPECT_EQ(api.GetExist(1000), 0);
    EXPECT_EQ(api.GetObjectA(1000), nullptr);
    api.DeleteEx(1000); // already gone: not counted again
    EXPECT_EQ(simhost::DeletedObjects(), std::vector<int>({1000}));
    EXPECT_EQ(simhost::ObjectNumbers(), std::vector<int>({1001}));
}

TEST_F(SimhostSceneTest, LimbHierarchyPlacesVerticesInWorldSpace) {
    ASSERT_TRUE(simhost::MakeMeshFromBytes(1, TriangleAt(1, 2, 3)));
    api.MakeObject(7, 1, 0);
    api.Position(7, 100, 0, 0);
    api.OffsetLimb(7, 0, 0, 1000, 0);
    api.AddLimb(7, 1, 1);
    api.AddLimb(7, 2, 1);
    api.AddLimb(7, 3, 1);
    api.OffsetLimb(7, 1, 10, 0, 0);
    api.OffsetLimb(7, 2, 0, 0, 20);
    api.OffsetLimb(7, 3, 0, 0, 300);
    api.LinkLimb(7, 1, 2); // limb 2 under limb 1; limb 3 stays under limb 0

    EXPECT_EQ(Bits(api.GetLimbXPosition(7, 1)), 10.0f);
    EXPECT_EQ(Bits(api.GetLimbZPosition(7, 2)), 20.0f);
    EXPECT_EQ(Bits(api.GetXPositionEx(7)), 100.0f);
    EXPECT_EQ(Object(7).limbs[2].parent, 1);
    EXPECT_EQ(Object(7).limbs[3].parent, 0);

    const std::vector<simhost::WorldTriangle> triangles = simhost::VisibleWorldTriangles();
    ASSERT_EQ(triangles.size(), 4u);
    ExpectPoint(triangles[0].position[0], 101, 1002, 3);
    ExpectPoint(triangles[1].position[0], 111, 1002, 3);
    ExpectPoint(triangles[2].position[0], 111, 1002, 23);
    ExpectPoint(triangles[2].position[1], 112, 1002, 23);
    ExpectPoint(triangles[3].position[0], 101, 1002, 303);
    EXPECT_EQ(triangles[2].limb, 2);
    EXPECT_EQ(triangles[2].object, 7);

    // Hiding a limb hides what hangs below it; the rest stays.
    api.HideLimb(7, 1);
    std::vector<simhost::WorldTriangle> shown = simhost::VisibleWorldTriangles();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].limb, 0);
    EXPECT_EQ(shown[1].limb, 3);
    api.ShowLimb(7, 1);
    api.Hide(7);
    EXPECT_TRUE(simhost::VisibleWorldTriangles().empty());
    api.Show(7);
    EXPECT_EQ(simhost::VisibleWorldTriangles().size(), 4u);
}

TEST_F(SimhostSceneTest, RotationsTurnAboutXThenYThenZ) {
    ASSERT_TRUE(simhost::MakeMeshFromBytes(1, MeshBytes({{1, 0, 0}, {0, 0, 1}, {0, 1, 0}})));
    api.MakeObject(3, 1, 0);
    api.Position(3, 5, 0, 0);
    api.Rotate(3, 0, 90, 0);
    EXPECT_EQ(Bits(api.GetYRotationEx(3)), 90.0f);
    std::vector<simhost::WorldTriangle> triangles = simhost::VisibleWorldTriangles();
    ASSERT_EQ(triangles.size(), 1u);
    // Turned about Y first, then moved: +X goes to -Z, +Z to +X, Y stays.
    ExpectPoint(triangles[0].position[0], 5, 0, -1);
    ExpectPoint(triangles[0].position[1], 6, 0, 0);
    ExpectPoint(triangles[0].position[2], 5, 1, 0);

    // X is applied before Y: (0, 1, 0) -> (0, 0, 1) -> (1, 0, 0).
    api.Rotate(3, 90, 90, 0);
    triangles = simhost::VisibleWorldTriangles();
    ExpectPoint(triangles[0].position[2], 6, 0, 0);

    // A turned limb carries its child limbs' offsets round with it.
    api.Rotate(3, 0, 0, 0);
    api.Position(3, 0, 0, 0);
    api.AddLimb(3, 1, 1);
    api.AddLimb(3, 2, 1);
    api.LinkLimb(3, 1, 2);
    api.RotateLimb(3, 1, 0, 90, 0);
    api.OffsetLimb(3, 2, 10, 0, 0);
    EXPECT_EQ(Bits(api.GetLimbAngleY(3, 1)), 90.0f);
    triangles = simhost::VisibleWorldTriangles();
    ASSERT_EQ(triangles.size(), 3u);
    ExpectPoint(triangles[2].position[0], 0, 0, -11);
}

TEST_F(SimhostSceneTest, StageBindingsShowInTheHostMeshRecords) {
    ASSERT_TRUE(simhost::MakeMeshFromBytes(1, TriangleAt(0, 0, 0)));
    api.MakeObject(1000, 1, 0);
    api.SetTextureStage(1000, 0, 1001);
    api.AddLimb(1000, 1, 1);
    api.TextureLimb(1000, 1, 1002);

    RecordView record = ReadRecord(api.GetObjectA(1000));
    ASSERT_EQ(record.meshCount, 2);
    EXPECT_EQ(WordAt(record.meshes[0], 892), 1u);
    EXPECT_EQ(WordAt(record.meshes[1], 892), 1u);
    EXPECT_EQ(WordAt(StageRecord(record.meshes[1], 0), 272), 0xFFFFFFFFu);

    // The plug-in writes stage 0 before any lightmap exists...
    uint8_t* stage0 = StageRecord(record.meshes[1], 0);
    const uint32_t stage0Values[] = {0, 2, 2, 0};
    std::memcpy(stage0 + 268, stage0Values, sizeof stage0Values);
    record.meshes[1][1041] = 1;

    // ...and the lightmap binding adds a second stage, keeping those writes.
    api.TextureLimbStage(1000, 1, 1, 2000);
    record = ReadRecord(api.GetObjectA(1000));
    EXPECT_EQ(WordAt(record.meshes[0], 892), 1u);
    ASSERT_EQ(WordAt(record.meshes[1], 892), 2u);
    uint8_t* stage1 = StageRecord(record.meshes[1], 1);
    EXPECT_EQ(WordAt(stage1, 268), 0xFFFFFFFFu);
    const uint32_t stage1Values[] = {1, 5, 2, 1};
    std::memcpy(stage1 + 268, stage1Values, sizeof stage1Values);
    std::memset(stage1 + 304, 0, 4);
    record.meshes[1][1037] = 0;

    const simhost::ObjectState object = Object(1000);
    EXPECT_EQ(object.limbs[0].stage0Image, 1001);
    EXPECT_EQ(object.limbs[1].stage0Image, 1002);
    EXPECT_EQ(object.limbs[1].stage1Image, 2000);
    const simhost::HostMeshRecordState& mesh = object.limbs[1].hostMesh;
    EXPECT_EQ(mesh.byte1037, 0);
    EXPECT_EQ(mesh.byte1040, 1);
    EXPECT_EQ(mesh.byte1041, 1);
    ASSERT_EQ(mesh.stages.size(), 2u);
    EXPECT_EQ(mesh.stages[0].colourOp, 2u);
    EXPECT_EQ(mesh.stages[0].arg1, 2u);
    EXPECT_EQ(mesh.stages[0].word304, 0xFFFFFFFFu);
    EXPECT_EQ(mesh.stages[1].stage, 1u);
    EXPECT_EQ(mesh.stages[1].colourOp, 5u);
    EXPECT_EQ(mesh.stages[1].arg2, 1u);
    EXPECT_EQ(mesh.stages[1].word304, 0u);

    // An object-wide stage binding reaches every limb's record.
    api.SetTextureStage(1000, 1, 2001);
    record = ReadRecord(api.GetObjectA(1000));
    EXPECT_EQ(WordAt(record.meshes[0], 892), 2u);
    EXPECT_EQ(Object(1000).limbs[1].stage1Image, 2001);
    api.SetTexture(1000, 1003);
    EXPECT_EQ(Object(1000).limbs[0].stage0Image, 1003);
    EXPECT_EQ(simhost::VisibleWorldTriangles()[1].stage1Image, 2001);
}

TEST_F(SimhostSceneTest, HostRecordsStayPutAsLimbsArrive) {
    ASSERT_TRUE(simhost::MakeMeshFromBytes(1, TriangleAt(0, 0, 0)));
    api.MakeObject(5, 1, 0);
    sObject* object = api.GetObjectA(5);
    ASSERT_NE(object, nullptr);
    uint8_t* firstMesh = ReadRecord(object).meshes[0];
    firstMesh[1040] = 0;

    for (int limb = 1; limb <= 200; ++limb)
        api.AddLimb(5, limb, 1);
    api.AddLimb(5, 400, 99); // no such mesh: a limb without a host mesh
    ASSERT_EQ(api.GetObjectA(5), object);
    RecordView record = ReadRecord(object);
    ASSERT_EQ(record.meshCount, 201);
    EXPECT_EQ(record.meshes[0], firstMesh);
    EXPECT_EQ(firstMesh[1040], 0);

    // Out-of-order limbs still give the host meshes in limb order.
    api.AddLimb(5, 300, 1);
    api.AddLimb(5, 250, 1);
    record = ReadRecord(api.GetObjectA(5));
    ASSERT_EQ(record.meshCount, 203);
    for (int i = 0; i < record.meshCount; ++i)
        record.meshes[i][1037] = static_cast<uint8_t>(i);
    const simhost::ObjectState state = Object(5);
    int meshIndex = 0;
    for (const simhost::LimbState& limb : state.limbs) {
        if (!limb.holdsMesh) {
            EXPECT_EQ(limb.number, 400);
            continue;
        }
        EXPECT_EQ(limb.hostMesh.byte1037, static_cast<uint8_t>(meshIndex)) << limb.number;
        ++meshIndex;
    }
    EXPECT_EQ(state.limbs[201].number, 250);
    EXPECT_EQ(state.limbs[202].number, 300);
}

TEST_F(SimhostSceneTest, BadNumbersNeverCrash) {
    ASSERT_TRUE(simhost::MakeMeshFromBytes(1, TriangleAt(0, 0, 0)));
    api.MakeObject(1, 1, 0);
    api.AddLimb(1, 1, 1);
    api.LinkLimb(1, 0, 1);

    const int unused[] = {INT_MIN, -1, 0, 2, 1 << 20, INT_MAX}; // no object has these
    for (int n : unused) {
        api.AddLimb(n, 1, 1);
        api.LinkLimb(n, 0, 1);
        api.OffsetLimb(n, 0, 1, 1, 1);
        api.RotateLimb(n, 0, 1, 1, 1);
        api.HideLimb(n, 0);
        api.TextureLimb(n, 0, 9);
        api.TextureLimbStage(n, 0, 1, 9);
        api.SetTexture(n, 9);
        api.SetTextureStage(n, 1, 9);
        api.Position(n, 1, 1, 1);
        api.Rotate(n, 1, 1, 1);
        api.Hide(n);
        api.Show(n);
        api.SetSmoothing(n, 5);
        api.DeleteEx(n);
        api.DeleteMesh(n);
        EXPECT_EQ(api.GetExist(n), 0);
        EXPECT_EQ(api.GetObjectA(n), nullptr);
        EXPECT_EQ(api.GetXPositionEx(n), 0u);
        EXPECT_EQ(api.GetZRotationEx(n), 0u);
        EXPECT_EQ(api.GetLimbYPosition(n, 0), 0u);
        EXPECT_EQ(api.GetLimbAngleX(n, 0), 0u);
    }
    const int noLimb[] = {INT_MIN, -1, 2, 1 << 20, INT_MAX}; // object 1 has limbs 0 and 1
    for (int n : noLimb) {
        api.LinkLimb(1, n, 1);
        api.LinkLimb(1, 1, n);
        api.OffsetLimb(1, n, 1, 1, 1);
        api.RotateLimb(1, n, 1, 1, 1);
        api.HideLimb(1, n);
        api.TextureLimb(1, n, 9);
        api.TextureLimbStage(1, n, 1, 9);
        EXPECT_EQ(api.GetLimbZPosition(1, n), 0u);
        EXPECT_EQ(api.GetLimbAngleY(1, n), 0u);
    }
    for (int stage : {INT_MIN, -1, 8, INT_MAX}) {
        api.TextureLimbStage(1, 0, stage, 9);
        api.SetTextureStage(1, stage, 9);
    }
    for (int n : {INT_MIN, -1, 0}) {
        api.MakeObject(n, 1, 0); // objects are numbered from 1
        api.AddLimb(1, n, 1);    // limb 0 comes only with its object
    }
    api.LinkLimb(1, 1, 0); // limb 0 has no parent limb
    api.LinkLimb(1, 1, 1); // a limb cannot hang under itself

    EXPECT_EQ(simhost::ObjectNumbers(), std::vector<int>({1}));
    EXPECT_EQ(simhost::MeshNumbers(), std::vector<int>({1}));
    EXPECT_TRUE(simhost::DeletedObjects().empty());
    const simhost::ObjectState object = Object(1);
    ASSERT_EQ(object.limbs.size(), 2u);
    EXPECT_EQ(object.limbs[0].parent, -1);
    EXPECT_EQ(object.limbs[1].parent, 0);
    for (const simhost::LimbState& limb : object.limbs) {
        EXPECT_EQ(limb.hostMesh.stageCount, 1u);
        EXPECT_EQ(limb.stage0Image, 0);
        EXPECT_EQ(limb.offset.x, 0.0f);
    }
    EXPECT_EQ(simhost::VisibleWorldTriangles().size(), 2u);
}

TEST_F(SimhostSceneTest, LinkingNeverMakesALoop) {
    ASSERT_TRUE(simhost::MakeMeshFromBytes(1, TriangleAt(0, 0, 0)));
    api.MakeObject(1, 1, 0);
    for (int limb = 1; limb <= 3; ++limb)
        api.AddLimb(1, limb, 1);
    api.LinkLimb(1, 1, 2);
    api.LinkLimb(1, 2, 3);
    api.LinkLimb(1, 3, 1); // limb 1 under its own grandchild: refused
    api.OffsetLimb(1, 1, 1, 0, 0);
    const simhost::ObjectState object = Object(1);
    EXPECT_EQ(object.limbs[1].parent, 0);
    EXPECT_EQ(object.limbs[2].parent, 1);
    EXPECT_EQ(object.limbs[3].parent, 2);
    const std::vector<simhost::WorldTriangle> triangles = simhost::VisibleWorldTriangles();
    ASSERT_EQ(triangles.size(), 4u);
    ExpectPoint(triangles[3].position[0], 1, 0, 0);

    // Re-linking moves a whole subtree under its new parent.
    api.LinkLimb(1, 0, 2);
    api.HideLimb(1, 1);
    EXPECT_EQ(simhost::VisibleWorldTriangles().size(), 3u);
    EXPECT_EQ(Object(1).limbs[3].parent, 2);
}

TEST_F(SimhostSceneTest, CallsAreLoggedAndFloatsTravelBitForBit) {
    api.MakeObject(7, 1, 0);
    api.Position(7, 1.5f, -2.0f, 0.25f);
    api.SetSmoothing(7, 100.0f);
    api.OffsetLimb(7, 0, 1.0f, -1.0f, 0.0f);
    EXPECT_EQ(api.GetXPositionEx(7), 0x3FC00000u); // 1.5
    EXPECT_EQ(api.GetLimbXPosition(7, 0), 0x3F800000u);
    EXPECT_EQ(api.GetLimbYPosition(7, 0), 0xBF800000u);
    api.DeleteEx(7);
    EXPECT_EQ(simhost::CallsNamed("Position"),
              std::vector<std::string>({"Position(7,1.5,-2,0.25)"}));
    EXPECT_EQ(simhost::CallsNamed("SetSmoothing"),
              std::vector<std::string>({"SetSmoothing(7,100)"}));
    EXPECT_EQ(simhost::CallsNamed("GetLimbYPosition"),
              std::vector<std::string>({"GetLimbYPosition(7,0)"}));
    EXPECT_EQ(simhost::CallsNamed("DeleteEx"), std::vector<std::string>({"DeleteEx(7)"}));

    EXPECT_EQ(ModuleAt(25)->resolve("?NoSuchFunction@@YAXH@Z"), nullptr);
    EXPECT_EQ(ModuleAt(25)->resolve("?GetExistEx@@YAHH@Z"), nullptr); // an image function
    simhost::HideFunction("?Show@@YAXH@Z");
    EXPECT_EQ(ModuleAt(25)->resolve("?Show@@YAXH@Z"), nullptr);
}

TEST_F(SimhostSceneTest, ResetAndReplacementStartAfresh) {
    ASSERT_TRUE(simhost::MakeMeshFromBytes(1, TriangleAt(0, 0, 0)));
    ASSERT_TRUE(simhost::MakeMeshFromBytes(
        2, MeshBytes({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}})));
    api.MakeObject(1, 1, 0);
    api.AddLimb(1, 1, 1);
    api.Position(1, 4, 4, 4);
    api.SetSmoothing(1, 100.0f);
    EXPECT_EQ(Object(1).smoothing, 100.0f);

    api.MakeObject(1, 2, 8); // replaces the object and its limbs
    simhost::ObjectState object = Object(1);
    ASSERT_EQ(object.limbs.size(), 1u);
    EXPECT_EQ(object.limbs[0].vertexCount, 6u);
    EXPECT_EQ(object.position.x, 0.0f);
    EXPECT_EQ(object.smoothing, 0.0f);
    EXPECT_EQ(ReadRecord(api.GetObjectA(1)).meshCount, 1);

    api.DeleteEx(1);
    simhost::Reset();
    EXPECT_TRUE(simhost::ObjectNumbers().empty());
    EXPECT_TRUE(simhost::MeshNumbers().empty());
    EXPECT_TRUE(simhost::DeletedObjects().empty());
    EXPECT_TRUE(simhost::VisibleWorldTriangles().empty());
}

} // namespace
