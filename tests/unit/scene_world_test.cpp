// Where the built geometry ends up in the world. The expected place of every
// vertex is composed here from the placement rules, step by step:
//   object position   = first mesh's position + the group's origin
//   root limb offset  = the group's origin - the object's position
//   vertex as written = file position - base + map offset, where the base is
//                       the origin for a group's first surface and for a group
//                       building into its parent's object, and the object's
//                       position for later surfaces of the owning group
//   world             = object position + limb offsets down the chain + vertex
// and compared with the triangles the stand-in host shows.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "plugin/exports.h"
#include "scene_helpers.h"

namespace {

using namespace scene_test;

class WorldPlacementTest : public SceneTest {};

struct V3 {
    double x, y, z;
};
V3 operator+(V3 a, V3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
V3 operator-(V3 a, V3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

// One surface: a triangle with corner A at `corner` (see OneTriangle), and
// where the rules say it goes.
struct Placed {
    std::string what;
    int object;
    int limb;
    V3 corner;
    V3 objectPosition;
    V3 limbOffsets; // sum of the offsets from the limb up to limb 0
    V3 base;
};

std::array<V3, 3> ExpectedWorld(const Placed& p, V3 mapOffset) {
    // Memblock corners come third, second, first: (x, y+1), (x+1, y), (x, y).
    const V3 corners[3] = {p.corner + V3{0, 1, 0}, p.corner + V3{1, 0, 0}, p.corner};
    std::array<V3, 3> world;
    for (int i = 0; i < 3; ++i)
        world[i] = p.objectPosition + p.limbOffsets + (corners[i] - p.base + mapOffset);
    return world;
}

kepw::Surface SurfaceAt(const V3& corner, int32_t seed) {
    return OneTriangle("t.bmp", 0, static_cast<float>(corner.x), static_cast<float>(corner.y),
                       static_cast<float>(corner.z), seed);
}

TEST_F(WorldPlacementTest, EveryVertexLandsWhereTheOriginsAndLimbOffsetsPutIt) {
    const V3 offset = {3, -4, 5};
    KEP_MapOffset(3, -4, 5);

    kepw::Map map;
    // File groups: 1 C (child of P), 2 P, 3 B (child of G), 4 A (child of G),
    // 5 G (no meshes), 6 L (no pivot). Group list: default, 6, 5, 4, 3, 2, 1.
    map.groups = {kepw::Group{0, 2, "name=C", {}}, kepw::Group{0, 0, "name=P", {}},
                  kepw::Group{0, 5, "name=B", {}}, kepw::Group{0, 5, "name=A", {}},
                  kepw::Group{0, 0, "name=G", {}}, kepw::Group{0, 0, "name=L", {}}};
    // Pivot positions as read: file position plus the map offset. G's pivot
    // is met too, but A's replaces it before any surface is built.
    const V3 originDefault = V3{1, 2, 3} + offset;
    const V3 originA = V3{-5, 1, 2} + offset;
    const V3 originP = V3{2, -6, 4} + offset;
    const V3 originC = V3{0.5, 0.25, -1} + offset;
    map.entities = {Pivot(0, 1, 2, 3), Pivot(5, 7, 7, 7), Pivot(4, -5, 1, 2), Pivot(2, 2, -6, 4),
                    Pivot(1, 0.5f, 0.25f, -1)};

    const V3 meshDefault = {10, 0, 0}, meshL = {0, 20, 0}, meshA = {0, 0, 30}, meshP = {-8, 6, 1};
    auto mesh = [](int32_t group, V3 position, std::vector<kepw::Surface> surfaces) {
        kepw::Mesh m;
        m.group = group;
        m.position = {static_cast<float>(position.x), static_cast<float>(position.y),
                      static_cast<float>(position.z)};
        m.surfaces = std::move(surfaces);
        return m;
    };
    const V3 d1 = {1, 1, 1}, d2 = {2, -1, 0}, d3 = {-3, 4, 2};
    const V3 l1 = {5, 5, 5}, l2 = {-6, 2, 9};
    const V3 a1 = {0, 3, -2}, a2 = {4, 4, 4};
    const V3 b1 = {7, -7, 1}, b2 = {-1, -2, -3};
    const V3 p1 = {2, 2, 2}, p2 = {3, 1, -4}, p3 = {-2, 6, 0};
    const V3 c1 = {1.5, 0, 2}, c2 = {9, 8, 7};
    map.meshes = {mesh(0, meshDefault, {SurfaceAt(d1, 1), SurfaceAt(d2, 4), SurfaceAt(d3, 7)}),
                  mesh(6, meshL, {SurfaceAt(l1, 10), SurfaceAt(l2, 13)}),
                  mesh(4, meshA, {SurfaceAt(a1, 16), SurfaceAt(a2, 19)}),
                  mesh(3, {50, 50, 50}, {SurfaceAt(b1, 22), SurfaceAt(b2, 25)}),
                  mesh(2, meshP, {SurfaceAt(p1, 28), SurfaceAt(p2, 31)}),
                  mesh(2, {99, 99, 99}, {SurfaceAt(p3, 34)}),
                  mesh(1, {-40, 0, 0}, {SurfaceAt(c1, 37), SurfaceAt(c2, 40)})};
    ASSERT_EQ(LoadMemblock(map, 0), 1) << LastErrorText();

    // Visit order: default (object 1000), L (1001, the default's origin
    // carries over), G, A (1002), B (into A's object, which G took over, with
    // A's origin), P (1003), C (into P's object).
    const V3 zero = {0, 0, 0};
    const V3 posDefault = meshDefault + originDefault;
    const V3 posL = meshL + originDefault;
    const V3 posA = meshA + originA;
    const V3 posP = meshP + originP;
    const std::vector<Placed> surfaces = {
        {"default first", 1000, 0, d1, posDefault, zero, originDefault},
        {"default root limb", 1000, 1, d2, posDefault, originDefault - posDefault, posDefault},
        {"default linked limb", 1000, 2, d3, posDefault, originDefault - posDefault, posDefault},
        {"L first", 1001, 0, l1, posL, zero, originDefault},
        {"L root limb", 1001, 1, l2, posL, originDefault - posL, posL},
        {"A first", 1002, 0, a1, posA, zero, originA},
        {"A root limb", 1002, 1, a2, posA, originA - posA, posA},
        {"B root limb", 1002, 2, b1, posA, originA - posA, originA},
        {"B linked limb", 1002, 3, b2, posA, originA - posA, originA},
        {"P first", 1003, 0, p1, posP, zero, originP},
        {"P root limb", 1003, 1, p2, posP, originP - posP, posP},
        {"P second mesh", 1003, 2, p3, posP, originP - posP, posP},
        {"C root limb", 1003, 3, c1, posP, originC - posP, originC},
        {"C linked limb", 1003, 4, c2, posP, originC - posP, originC},
    };

    std::map<std::pair<int, int>, simhost::WorldTriangle> shown;
    const std::vector<simhost::WorldTriangle> triangles = simhost::VisibleWorldTriangles();
    for (const simhost::WorldTriangle& t : triangles)
        shown[{t.object, t.limb}] = t;
    EXPECT_EQ(triangles.size(), surfaces.size());
    for (const Placed& p : surfaces) {
        SCOPED_TRACE(p.what);
        const auto found = shown.find({p.object, p.limb});
        ASSERT_NE(found, shown.end()) << "object " << p.object << " limb " << p.limb;
        const std::array<V3, 3> expected = ExpectedWorld(p, offset);
        for (int corner = 0; corner < 3; ++corner) {
            SCOPED_TRACE(testing::Message() << "corner " << corner);
            EXPECT_NEAR(found->second.position[corner].x, expected[corner].x, 1e-4);
            EXPECT_NEAR(found->second.position[corner].y, expected[corner].y, 1e-4);
            EXPECT_NEAR(found->second.position[corner].z, expected[corner].z, 1e-4);
        }
    }
}

TEST_F(WorldPlacementTest, GroupsWithAMeshAtTheOriginShowTheirFileGeometryPlusTheMapOffset) {
    // The everyday case: meshes at 0, so every surface of every group ends at
    // its file position moved by the map offset, whatever the pivots.
    KEP_MapOffset(100, 0, -50);
    kepw::Map map;
    map.groups = {kepw::Group{0, 2, "name=door", {}}, kepw::Group{0, 0, "name=frame", {}}};
    auto mesh = [](int32_t group, std::vector<kepw::Surface> surfaces) {
        kepw::Mesh m;
        m.group = group;
        m.surfaces = std::move(surfaces);
        return m;
    };
    map.meshes = {
        mesh(2, {OneTriangle("t.bmp", 0, 1, 2, 3, 1), OneTriangle("t.bmp", 0, 4, 5, 6, 4)}),
        mesh(1, {OneTriangle("t.bmp", 0, 7, 8, 9, 7), OneTriangle("t.bmp", 0, -1, -2, -3, 10)})};
    map.entities = {Pivot(2, 10, 20, 30), Pivot(1, -3, 0.5f, 8)};
    ASSERT_EQ(LoadMemblock(map, 0), 1) << LastErrorText();

    const float bases[4][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {-1, -2, -3}};
    const std::vector<simhost::WorldTriangle> triangles = simhost::VisibleWorldTriangles();
    ASSERT_EQ(triangles.size(), 4u);
    for (int s = 0; s < 4; ++s) {
        SCOPED_TRACE(s);
        EXPECT_EQ(triangles[s].object, 1000);
        EXPECT_EQ(triangles[s].limb, s);
        // Third corner (base + (0, 1, 0)) first, then second, then first.
        const double dx[3] = {0, 1, 0}, dy[3] = {1, 0, 0};
        for (int corner = 0; corner < 3; ++corner) {
            EXPECT_NEAR(triangles[s].position[corner].x, bases[s][0] + dx[corner] + 100, 1e-4);
            EXPECT_NEAR(triangles[s].position[corner].y, bases[s][1] + dy[corner], 1e-4);
            EXPECT_NEAR(triangles[s].position[corner].z, bases[s][2] - 50, 1e-4);
        }
    }
}

} // namespace
