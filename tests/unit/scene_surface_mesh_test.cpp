// What the host is handed through mesh memblocks: each surface, whether filled
// through the memblock's address or value by value.
#include <algorithm>
#include <random>

#include "build/kep_build.h"
#include "core/CError.h"
#include "host/host_functions.h"
#include "load_helpers.h"
#include "plugin/exports.h"
#include "simhost/memblocks_images.h"

namespace {

class SurfaceMeshTest : public SceneTest {
  protected:
    KEP_Mesh m_owner;  // the surface's mesh, at 0 0 0
    KEP_Group m_group; // no object yet
};

TEST_F(SurfaceMeshTest, SurfacesAreSentInTheirLayoutCornersLastFirstAndWholeTrianglesOnly) {
    kepw::Surface whole = OneTriangle("a.bmp", 1);
    whole.vertices[0].colour = {300, 2, 255}; // only the low byte of each component counts
    whole.vertices[1].colour = {-1, 256, 511};
    whole.triangles = {{0, 1, 2}, {0, 1, 5}, {2, 0, 1}, {-1, 0, 1}};
    kepw::Surface broken = whole;
    broken.triangles = {{0, 1, 3}, {INT32_MAX, 0, 0}};
    kepw::Map map;
    map.lightmaps = {kepw::PatternLightmap(2, 2, 1)};
    // Lightmap numbers 1, 0 (none), 7 (past the section, still an index >= 0) and 1.
    map.meshes = {MeshOf(0, {whole, OneTriangle("b.bmp", 0), OneTriangle("a.bmp", 7), broken})};
    const kepsession::MapRead read = kepsession::ReadMapBytes(kepw::Write(map), true);
    ASSERT_TRUE(read.complete) << read.failure;
    const auto surfaceOfMap = [&read](int32_t index) {
        return read.map->meshes.At(0)->surfaces.At(index);
    };
    // A vertex - base + offset is rounded to float once: 2^24 - -1 + 1 is
    // 2^24 + 2 only then.
    surfaceOfMap(0)->geometry.Vertices()[0].position[2] = 16777216.0f;
    whole.vertices[0].position[2] = 16777216.0f;
    KEP_BuildState build;
    build.buildOrigin[2] = -1.0f;
    KEP_BuildOptions options;
    options.mapOffset[2] = 1.0f;
    KEP_ChooseSurfaceScratch(build.numbers); // memblock 30 and mesh 1 are free
    // (A, B, C) is sent as C, B, A; (C, A, B) as B, A, C.
    const int order[6] = {2, 1, 0, 1, 0, 2};
    const uint32_t diffuse[3] = {0x2c02ffu, 0xff00ffu, 0x031527u};
    for (const int32_t flag : {2, 1, 0, 3, -2})
        for (int32_t i = 0; i < 4; ++i) {
            SCOPED_TRACE(testing::Message() << "lightmap flag " << flag << ", surface " << i);
            options.lightmapFlag = flag;
            KEP_BuildSurfaceMesh(surfaceOfMap(i), &m_owner, &m_group, build, options);
            std::vector<uint8_t> bytes;
            simhost::MeshInfo mesh;
            ASSERT_TRUE(simhost::ReadMemblock(30, &bytes));
            ASSERT_TRUE(simhost::FindMesh(1, &mesh)); // the host could decode it
            host::object::DeleteMesh(1);              // given back, as the builder does
            host::memblock::DeleteMemblock(30);
            const bool lit = flag == 2 && i != 1;
            const std::size_t count = i == 0 ? 6 : i == 3 ? 0 : 3;
            EXPECT_EQ(mesh.formatFlags, lit ? 0x252u : 0x152u);
            ASSERT_EQ(mesh.vertices.size(), count);
            EXPECT_EQ(bytes.size(), 12 + count * (lit ? 44 : 36)); // 144 or 120 for one triangle
            for (std::size_t v = 0; i == 0 && v < count; ++v) {
                const simhost::MeshVertex& sent = mesh.vertices[v];
                const kepw::Vertex& file = whole.vertices[order[v]];
                for (int k = 0; k < 3; ++k) {
                    EXPECT_EQ(sent.position[k], file.position[k] + (k == 2 ? 2.0f : 0.0f)) << v;
                    EXPECT_EQ(sent.normal[k], -file.normal[k]) << v;
                }
                EXPECT_EQ(sent.diffuse, diffuse[order[v]]) << v;
                EXPECT_EQ(sent.uv[0], -file.texture[0]) << v;
                EXPECT_EQ(sent.uv[1], -file.texture[1]) << v;
                EXPECT_EQ(sent.uv2[0], lit ? file.lightmap[0] : 0.0f) << v;
                EXPECT_EQ(sent.uv2[1], lit ? -file.lightmap[1] : 0.0f) << v;
            }
        }
    ExpectNoRunTimeError();
}

// Generated surfaces of every kind: every mesh memblock holds the same bytes whether
// filled through its address or, from a host that gives none, one write per value.
TEST_F(SurfaceMeshTest, MemblocksFilledThroughTheirAddressHoldWhatPerValueWritesLeave) {
    std::mt19937 random(7);
    auto below = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto real = [&random] { return std::uniform_real_distribution<float>(-1e3f, 1e3f)(random); };
    kepw::Map map;
    map.lightmaps = {kepw::PatternLightmap(2, 2, 1)};
    map.groups = {kepw::Group{}, ChildOf(1)};
    for (int m = 0; m < 40; ++m) {
        std::vector<kepw::Surface> surfaces;
        for (int s = below(4); s > 0; --s) {
            kepw::Surface surface = OneTriangle("a.bmp", below(3));
            const int vertices = below(12);
            surface.vertices.resize(static_cast<std::size_t>(vertices));
            for (kepw::Vertex& v : surface.vertices)
                v = {{real(), real(), real()},
                     {real(), real(), real()},
                     {below(600) - 300, below(600), below(600)},
                     {real(), real()},
                     real(),
                     {real(), real()},
                     real()};
            surface.triangles.clear();
            for (int t = below(20); t > 0; --t)
                surface.triangles.push_back(
                    {below(vertices + 2) - 1, below(vertices + 1), below(vertices + 1)});
            surfaces.push_back(surface);
        }
        map.meshes.push_back(MeshOf(below(3), surfaces, {real(), real(), real()}));
    }
    map.entities = {Pivot(1, real(), real(), real())};
    for (const int32_t flag : {0, 2}) {
        std::vector<std::vector<uint8_t>> sent[2];
        for (int direct = 0; direct < 2; ++direct) {
            kepsession::Restart();
            KEP_MapOffset(1.5f, -2.25f, 0.001f);
            simhost::SetCallLog(simhost::CallLog::kCounts);
            if (!direct) simhost::RefuseMemblockAddress(30);
            simhost::KeepMeshMemblocks(true);
            ASSERT_EQ(Load(map, flag), 1) << LastErrorText();
            sent[direct] = simhost::MeshMemblocks();
            EXPECT_EQ(simhost::CallCount("WriteMemblockFloat") == 0, direct == 1);
        }
        EXPECT_GT(sent[0].size(), 40u);
        EXPECT_TRUE(sent[0] == sent[1]) << "lightmap flag " << flag;
    }
}

TEST_F(SurfaceMeshTest, SurfaceTooLargeForAMemblockFailsBeforeAskingTheHost) {
    simhost::SetCallLog(simhost::CallLog::kFull);
    // 16,268,816 lightmapped triangles of 132 bytes: just past a signed 32-bit size.
    KEP_Surface surface; // each triangle names the one vertex at all three corners
    ASSERT_TRUE(surface.geometry.Allocate(1, 16268816, 0));
    std::fill_n(surface.geometry.Triangles(), 16268816, KEP_Triangle());
    *surface.geometry.Vertices() = KEP_Vertex();
    simhost::ClearCalls();
    try {
        KEP_BuildOptions options;
        options.lightmapFlag = 2;
        KEP_BuildSurfaceMesh(&surface, &m_owner, &m_group, KEP_BuildState(), options);
        ADD_FAILURE() << "no error";
    } catch (const CError& error) {
        EXPECT_EQ(std::string(error.message), "Insufficient memory");
        EXPECT_EQ(error.kind, CErrorKind::HostLimit); // the text is old; no memory ran short
    }
    EXPECT_TRUE(simhost::Calls().empty());
}

} // namespace
