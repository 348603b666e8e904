// What the host is handed through mesh memblocks: each surface, whether filled
// through the memblock's address or value by value; and its normals, smoothed
// by the plug-in's own way, in linear time, as the host's own way (the
// stand-in's) smooths them, bit for bit, on generated meshes and on every built
// surface.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_maps.h"
#include "build/kep_build.h"
#include "build/normal_smoothing.h"
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

using Mesh = std::vector<simhost::MeshVertex>;

// The vertices as a mesh memblock holds them: position, normal, then
// `stride` - 24 bytes of other fields (a pattern that must stay).
std::vector<uint8_t> Laid(const Mesh& mesh, int stride) {
    std::vector<uint8_t> bytes(mesh.size() * static_cast<std::size_t>(stride));
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    for (std::size_t v = 0; v < mesh.size(); ++v) {
        std::memcpy(&bytes[v * stride], mesh[v].position, 12);
        std::memcpy(&bytes[v * stride + 12], mesh[v].normal, 12);
    }
    return bytes;
}

// Smooths `mesh` laid out with each stride through `smoothing` and expects the
// bytes the host's own smoothing of it would leave.
void ExpectHostsSmoothing(KEP_NormalSmoothing& smoothing, const Mesh& mesh) {
    Mesh expected = mesh;
    simhost::SmoothMeshNormals(expected, 1.0f);
    for (const int stride : {36, 44}) {
        std::vector<uint8_t> bytes = Laid(mesh, stride);
        smoothing.Smooth(bytes.data(), static_cast<int32_t>(mesh.size()), stride);
        const std::vector<uint8_t> wanted = Laid(expected, stride);
        const std::size_t differ =
            std::mismatch(bytes.begin(), bytes.end(), wanted.begin()).first - bytes.begin();
        ASSERT_EQ(differ, bytes.size())
            << "vertex " << differ / stride << " of " << mesh.size() << ", stride " << stride;
    }
}

// Generated meshes, one working memory for all (a big mesh first): many vertices
// sharing few places (more than 33 at one, -0 and +0, NaN ones), and normals whose
// differences fall on, just over and just under the limit, infinities and NaNs among them.
TEST(NormalSmoothingTest, GivesTheHostsNormalsOnGeneratedMeshes) {
    std::mt19937 random(19);
    auto below = [&random](std::size_t n) { return random() % n; };
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float signalling = std::numeric_limits<float>::signaling_NaN();
    const float over1 = std::nextafter(1.0f, 2.0f), under05 = std::nextafter(0.5f, 0.0f);
    const float over15 = std::nextafter(-1.5f, -2.0f);
    const float components[] = {-1.5f,  -1.0f,  -0.5f,    -0.0f,    0.0f,      0.5f,
                                1.0f,   1.5f,   1.0f / 3, 2.0f / 3, over1,     under05,
                                over15, 1e-30f, inf,      nan,      signalling};
    auto component = [&] {
        const std::size_t n = std::size(components);
        return components[below(10) == 0 ? below(n) : below(n - 3)]; // rarely inf or NaN
    };
    KEP_NormalSmoothing smoothing;
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        const std::size_t count = round == 0 ? 5000 : below(200);
        const std::size_t places = 1 + below(round % 3 == 0 ? 3 : 40);
        Mesh pool;
        for (std::size_t p = 0; p < places; ++p) {
            const float special[][3] = {{0, 0, 0}, {-0.0f, 0, -0.0f}, {nan, 1, 2}, {1, 2, nan}};
            const float* s = below(3) == 0 ? special[below(4)] : nullptr;
            simhost::MeshVertex v{};
            for (int k = 0; k < 3; ++k)
                v.position[k] = s ? s[k] : float(below(3));
            pool.push_back(v);
        }
        Mesh mesh(count);
        for (simhost::MeshVertex& v : mesh) {
            v = pool[below(places)];
            for (float& n : v.normal)
                n = component();
        }
        ExpectHostsSmoothing(smoothing, mesh);
    }
}

using BuiltSmoothingTest = SceneTest;

// Every surface of the current map as the host holds it: its normals must be
// the host's smoothing, applied once, of the mesh as it was before smoothing
// (the host's positions, the map's normals corner by corner: corners last
// first, triangles with a corner that names no vertex left out).
// `read` is the same map read alone, which keeps its geometry.
void ExpectEverySurfaceSmoothedOnce(const kepsession::MapRead& read) {
    ASSERT_TRUE(read.complete) << read.failure;
    int surfaces = 0;
    const KEP_Map& map = *CurrentMap();
    for (int32_t m = 0; m < map.meshes.Count(); ++m)
        for (int32_t s = 0; s < map.meshes.At(m)->surfaces.Count(); ++s) {
            const KEP_Surface& surface = *map.meshes.At(m)->surfaces.At(s);
            SCOPED_TRACE("mesh " + std::to_string(m) + ", surface " + std::to_string(s));
            Mesh built;
            ASSERT_TRUE(simhost::LimbVertices(surface.build.object, surface.build.limb, &built));
            Mesh expected = built;
            std::size_t v = 0;
            const KEP_Geometry& geometry = read.map->meshes.At(m)->surfaces.At(s)->geometry;
            for (int32_t t = 0; t < geometry.TriangleCount(); ++t) {
                const int32_t* corners = geometry.Triangles()[t].corners;
                const KEP_Vertex* lastFirst[3] = {geometry.VertexAt(corners[2]),
                                                  geometry.VertexAt(corners[1]),
                                                  geometry.VertexAt(corners[0])};
                if (!lastFirst[0] || !lastFirst[1] || !lastFirst[2]) continue;
                for (const KEP_Vertex* corner : lastFirst) {
                    ASSERT_LT(v, expected.size());
                    std::memcpy(expected[v++].normal, corner->normal, 12);
                }
            }
            ASSERT_EQ(v, expected.size());
            simhost::SmoothMeshNormals(expected, 1.0f);
            for (std::size_t i = 0; i < built.size(); ++i)
                ASSERT_EQ(std::memcmp(built[i].normal, expected[i].normal, 12), 0)
                    << "vertex " << i;
            ++surfaces;
        }
    EXPECT_GT(surfaces, 0);
}

// One surface whose corners meet at one place with normals (1, 1, 1),
// (-1, -1, -1), 0 and (3, 3, 3): differences of 1, 2, 3 and 4 on average,
// so that smoothing once, twice, or with another limit all differ.
kepw::Surface Star(float x) {
    kepw::Surface s;
    s.textureName = "t.bmp";
    for (const float n : {1.0f, -1.0f, 0.0f, 3.0f})
        s.vertices.push_back({{x, 0, 0}, {n, n, n}, {}, {}, 0, {}, 0});
    s.vertices.push_back({{x, 1, 0}, {0.1f, 0.7f, 0.3f}, {}, {}, 0, {}, 0});
    s.vertices.push_back({{x, 0, 1}, {0, 0, 1}, {}, {}, 0, {}, 0});
    s.triangles = {{0, 4, 5}, {1, 4, 5}, {2, 5, 4}, {3, 4, 5}};
    return s;
}

// The sample map, the benchmark's shapes and a map of Stars, where smoothing
// twice or with another limit gives other normals. The wide hierarchy puts many
// groups' meshes into one object each. The huge surface's strip is cut to its
// first and last thousand triangles (its seam among them): the host's own way
// over all its 60,000 corners would take minutes.
TEST_F(BuiltSmoothingTest, EverySurfaceIsSmoothedOnceAsTheHostWould) {
    const std::string sample = KEP_SOURCE_DIR "/examples/sample/sample.kep";
    ASSERT_EQ(KEP_Load(sample.c_str(), 2), 1) << LastErrorText();
    ExpectEverySurfaceSmoothedOnce(kepsession::ReadMapFile(sample));
    std::vector<std::pair<std::string, kepw::Map>> maps = {{"stars", {}}};
    maps[0].second.meshes = {MeshOf(0, {Star(0), Star(1), Star(2)})};
    for (const kepbench::Shape& shape : kepbench::kShapes)
        maps.emplace_back(shape.name, shape.make(1));
    for (auto& [name, map] : maps) {
        SCOPED_TRACE(name);
        kepsession::Restart();
        for (kepw::Mesh& mesh : map.meshes)
            for (kepw::Surface& surface : mesh.surfaces)
                if (surface.triangles.size() > 2000)
                    surface.triangles.erase(surface.triangles.begin() + 1000,
                                            surface.triangles.end() - 1000);
        ASSERT_EQ(Load(map, 2), 1) << LastErrorText();
        ExpectEverySurfaceSmoothedOnce(kepsession::ReadMapBytes(kepw::Write(map), true));
    }
}

} // namespace
