// Whole maps built: where the geometry lands in the world.
#include <gtest/gtest.h>

#include <climits>
#include <utility>

#include "plugin/exports.h"
#include "scene_helpers.h"
#include "simhost/memblocks_images.h"

namespace {

using namespace scene_test;

class WorldPlacementTest : public SceneTest {};

struct V3 {
    double x, y, z;
    V3 operator+(V3 b) const { return {x + b.x, y + b.y, z + b.z}; }
    V3 operator-(V3 b) const { return {x - b.x, y - b.y, z - b.z}; }
    std::array<float, 3> F() const { return {float(x), float(y), float(z)}; }
};

// The expected place of every vertex is composed from the placement rules:
//   object position   = first mesh's position + the group's origin
//   root limb offset  = the group's origin - the object's position
//   vertex as written = file position - base + map offset, where the base is
//                       the origin for a group's first surface and for a group
//                       building into its parent's object, and the object's
//                       position for later surfaces of the owning group
//   world             = object position + limb offsets down the chain + vertex
TEST_F(WorldPlacementTest, EveryVertexLandsWhereTheOriginsAndLimbOffsetsPutIt) {
    const V3 offset = {3, -4, 5};
    KEP_MapOffset(3, -4, 5);
    kepw::Map map;
    // File groups: 1 B and 2 A (children of G), 3 G (no meshes). Group
    // list: default, 3, 2, 1.
    map.groups = {ChildOf(3), ChildOf(3), {}};
    // Pivots are read with the offset added. G's pivot is met too, but A's
    // replaces it before any surface is built; B has none and keeps A's.
    map.entities = {Pivot(0, 1, 2, 3), Pivot(3, 7, 7, 7), Pivot(2, -5, 1, 2.5f)};
    const V3 originD = V3{1, 2, 3} + offset, originA = V3{-5, 1, 2.5} + offset;
    // Meshes of the default group, A and B; the position of B's, building into
    // another's object, plays no part.
    const V3 meshD = {10, 0, 0}, meshA = {-8, 6, 30}, zero = {0, 0, 0};
    map.meshes = {MeshOf(0, {}, meshD.F()), MeshOf(2, {}, meshA.F()), MeshOf(1, {}, {50, 50, 50})};
    const V3 posD = meshD + originD, posA = meshA + originA;
    struct Placed {
        int mesh;
        V3 corner; // corner A of a OneTriangle surface
        int object, limb;
        V3 objectPosition, limbOffsets, base;
    } const surfaces[] = {
        {0, {1, 1, 1}, 1000, 0, posD, zero, originD},
        {0, {2, -1, 0}, 1000, 1, posD, originD - posD, posD},
        {1, {0, 3, -2}, 1001, 0, posA, zero, originA},
        {1, {4, 4, 4}, 1001, 1, posA, originA - posA, posA},
        // B builds into A's object, which G took over, from A's origin.
        {2, {1.5, -7, 1}, 1001, 2, posA, originA - posA, originA},
        {2, {-1, -2, -3}, 1001, 3, posA, originA - posA, originA},
    };
    for (const Placed& p : surfaces) {
        const std::array<float, 3> a = p.corner.F();
        map.meshes[p.mesh].surfaces.push_back(OneTriangle("t.bmp", 0, a[0], a[1], a[2]));
    }
    ASSERT_EQ(Load(map, 0), 1) << LastErrorText();

    // Objects ascend by number, limbs by number: the table's order.
    const std::vector<simhost::WorldTriangle> shown = simhost::VisibleWorldTriangles();
    ASSERT_EQ(shown.size(), std::size(surfaces));
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const Placed& p = surfaces[i];
        SCOPED_TRACE(testing::Message() << "object " << p.object << " limb " << p.limb);
        EXPECT_EQ(std::make_pair(shown[i].object, shown[i].limb), std::make_pair(p.object, p.limb));
        // Memblock corners come third, second, first.
        const V3 corners[3] = {p.corner + V3{0, 1, 0}, p.corner + V3{1, 0, 0}, p.corner};
        for (int k = 0; k < 3; ++k) {
            const V3 world = p.objectPosition + p.limbOffsets + (corners[k] - p.base + offset);
            EXPECT_NEAR(shown[i].position[k].x, world.x, 1e-4) << "corner " << k;
            EXPECT_NEAR(shown[i].position[k].y, world.y, 1e-4) << "corner " << k;
            EXPECT_NEAR(shown[i].position[k].z, world.z, 1e-4) << "corner " << k;
        }
    }
}

} // namespace
