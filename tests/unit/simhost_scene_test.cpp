// The stand-in host, as the plug-in's tests rely on it: mesh memblocks decoded
// and short ones refused, limbs placed in world space, host records laid out
// where the plug-in writes them, memblock writes kept inside their memblock,
// and images converted to and from memblocks and read from files.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "host/host_functions.h"
#include "load_helpers.h"
#include "simhost/memblocks_images.h"
#include "simhost/scene.h"
#include "test_host.h"

namespace {

using SimhostTest = PluginTest;
using namespace host::memblock;

// Mesh `mesh` from the first `size` bytes (all when 0) of a mesh memblock, one
// vertex per point, of format 0x152 (36-byte vertices) or 0x252 (44 bytes, with
// a lightmap pair): normal (0, 1, 0), diffuse 0x00112233, UVs (.5, .25), (.75, .125).
void MakeMesh(int mesh, const std::vector<std::vector<float>>& points, bool lightmap = false,
              std::size_t size = 0) {
    const uint32_t stride = lightmap ? 44 : 36;
    const uint32_t header[] = {lightmap ? 0x252u : 0x152u, stride, uint32_t(points.size())};
    std::vector<uint8_t> bytes(12 + points.size() * stride);
    std::memcpy(bytes.data(), header, sizeof header);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const float fields[] = {points[i][0], points[i][1], points[i][2], 0,    1, 0, 0,
                                .5f,          .25f,         .75f,         .125f};
        const uint32_t diffuse = 0x00112233u;
        std::memcpy(&bytes[12 + i * stride], fields, stride);
        std::memcpy(&bytes[12 + i * stride + 24], &diffuse, 4);
    }
    MakeMemblock(1, static_cast<int>(size ? size : bytes.size()));
    std::memcpy(reinterpret_cast<void*>(GetMemblockPtr(1)), bytes.data(),
                size ? size : bytes.size());
    CreateMeshFromMemblock(mesh, 1);
}

const std::vector<std::vector<float>> kTriangle = {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}};

uint32_t WordAt(const void* base, std::size_t offset) {
    uint32_t word;
    std::memcpy(&word, static_cast<const uint8_t*>(base) + offset, sizeof word);
    return word;
}

TEST_F(SimhostTest, LimbOffsetsAndAQuarterTurnPlaceVerticesInWorldSpace) {
    MakeMesh(1, kTriangle);
    host::object::MakeObject(7, 1, 0);
    host::object::AddLimb(7, 1, 1);
    host::object::AddLimb(7, 2, 1);
    host::object::LinkLimb(7, 1, 2); // limb 2 hangs under limb 1
    host::object::OffsetLimb(7, 1, 10, 0, 0);
    host::object::OffsetLimb(7, 2, 0, 0, 20);
    host::object::Position(7, 5, 0, 0);
    host::object::Rotate(7, 0, 90, 0); // about Y: +X goes to -Z, +Z to +X
    const std::vector<simhost::WorldTriangle> triangles = simhost::VisibleWorldTriangles();
    ASSERT_EQ(triangles.size(), 3u);
    const double expected[][3] = {{5, 0, -1}, {5, 0, -11}, {25, 0, -11}};
    for (int limb = 0; limb < 3; ++limb) {
        const simhost::WorldPoint& p = triangles[limb].position[0];
        EXPECT_NEAR(p.x, expected[limb][0], 1e-9) << "limb " << limb;
        EXPECT_NEAR(p.y, expected[limb][1], 1e-9) << "limb " << limb;
        EXPECT_NEAR(p.z, expected[limb][2], 1e-9) << "limb " << limb;
    }
}

TEST_F(SimhostTest, HostRecordsStayPutAndGainAStageForALightmap) {
    MakeMesh(1, kTriangle);
    host::object::MakeObject(5, 1, 0);
    const sObject* record = host::object::GetObjectA(5);
    // Mesh count at 0, the array of mesh records at 8.
    uint8_t* mesh = reinterpret_cast<uint8_t**>(WordAt(record, 8))[0];
    for (int limb = 1; limb <= 200; ++limb)
        host::object::AddLimb(5, limb, 1);
    ASSERT_EQ(host::object::GetObjectA(5), record);
    EXPECT_EQ(WordAt(record, 0), 201u);
    EXPECT_EQ(reinterpret_cast<uint8_t**>(WordAt(record, 8))[0], mesh);

    // Stage records, 328 bytes each from the pointer at 904, counted at 892:
    // the plug-in writes them before and after the lightmap adds stage 1.
    EXPECT_EQ(WordAt(mesh, 892), 1u);
    const uint32_t colourOps[] = {2, 5};
    std::memcpy(reinterpret_cast<uint8_t*>(WordAt(mesh, 904)) + 272, &colourOps[0], 4);
    host::object::TextureLimbStage(5, 0, 1, 2000);
    EXPECT_EQ(WordAt(mesh, 892), 2u);
    std::memcpy(reinterpret_cast<uint8_t*>(WordAt(mesh, 904)) + 328 + 272, &colourOps[1], 4);
    mesh[1041] = 1;
    simhost::ObjectState object;
    ASSERT_TRUE(simhost::FindObject(5, &object));
    const simhost::HostMeshRecordState& state = object.limbs[0].hostMesh;
    EXPECT_EQ(object.limbs[0].stage1Image, 2000);
    EXPECT_EQ(state.transparency, 1);
    ASSERT_EQ(state.stages.size(), 2u);
    EXPECT_EQ(state.stages[0].colourOp, 2u);
    EXPECT_EQ(state.stages[1].colourOp, 5u);
}

TEST_F(SimhostTest, WritesOutsideAMemblockAreRefused) {
    MakeMemblock(30, 16);
    WriteMemblockDWord(30, 12, 0x04030201u); // the last four bytes
    WriteMemblockDWord(30, -1, 0xFFFFFFFFu);
    WriteMemblockDWord(30, 13, 0xFFFFFFFFu); // one byte past the end
    WriteMemblockFloat(30, 16, 2.0f);
    WriteMemblockDWord(30, 0x7FFFFFFF, 0xFFFFFFFFu); // position + 4 must not wrap
    WriteMemblockFloat(44, 0, 2.0f);                 // no such memblock
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(simhost::ReadMemblock(30, &bytes));
    std::vector<uint8_t> expected(16, 0);
    std::copy_n("\x01\x02\x03\x04", 4, expected.begin() + 12);
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(simhost::RefusedWrites().size(), 5u);
}

TEST_F(SimhostTest, LoadExDecodesAnImageFileAndRefusesAnythingElse) {
    TempDir dir;
    const std::vector<uint32_t> pixels = {0xFF102030u, 0x80FF0000u, 0xFF00FF00u,
                                          0x400000FFu, 0xFFFFFFFFu, 0x01020304u};
    ASSERT_TRUE(simhost::WriteTestImageFile(dir.Place("pic.png"), 3, 2, pixels));
    std::ofstream(dir.Place("notes.png")) << "this is not a picture\n";
    std::string path = dir.Place("pic.png");
    std::replace(path.begin(), path.end(), '/', '\\'); // as a script on Windows writes it
    host::image::LoadEx(path.data(), 1);
    path = dir.Place("notes.png");
    host::image::LoadEx(path.data(), 2);
    simhost::ImageContent image;
    ASSERT_TRUE(simhost::ReadImage(1, &image));
    EXPECT_EQ(image.pixels, pixels);
    EXPECT_EQ(host::image::GetExistEx(2), 0);
}

} // namespace
