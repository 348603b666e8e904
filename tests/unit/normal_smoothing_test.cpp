// Normal smoothing: the plug-in's own, in linear time, against the host's own way
// (the stand-in's), bit for bit, on generated meshes and on every built surface.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_maps.h"
#include "build/normal_smoothing.h"
#include "load_helpers.h"
#include "plugin/exports.h"

namespace {

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
