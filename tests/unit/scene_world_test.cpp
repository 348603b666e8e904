// Whole maps built: where the geometry lands in the world.
#include <gtest/gtest.h>

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
    std::array<float, 3> F() const { return {float(x), float(y), float(z)}; }
};

// Whatever builds it (the surface that makes its group's object, a later
// surface or mesh of that group, a group building into its parent's object),
// every corner lands at its file position plus its own mesh's position plus
// the map offset; pivots only choose where objects and root limbs stand.
TEST_F(WorldPlacementTest, EveryCornerLandsAtItsPositionPlusItsMeshPositionPlusTheOffset) {
    const V3 offset = {3, -4, 5};
    KEP_MapOffset(3, -4, 5);
    kepw::Map map;
    // File groups: 1 B and 2 A (children of G), 3 G (no meshes). Group
    // list: default, 3, 2, 1.
    map.groups = {ChildOf(3), ChildOf(3), {}};
    // G's pivot is met too, but A's replaces it before any surface is built;
    // B has none and keeps A's.
    map.entities = {Pivot(0, 1, 2, 3), Pivot(3, 7, 7, 7), Pivot(2, -5, 1, 2.5f)};
    // Meshes of the default group, A, B (building into A's object, which G
    // took over) and A's second mesh.
    const V3 meshes[] = {{10, 0, 0}, {-8, 6, 30}, {50, 50, 50}, {-1, 2, -40}};
    map.meshes = {MeshOf(0, {}, meshes[0].F()), MeshOf(2, {}, meshes[1].F()),
                  MeshOf(1, {}, meshes[2].F()), MeshOf(2, {}, meshes[3].F())};
    struct Placed {
        int mesh;
        V3 corner; // corner A of a OneTriangle surface
        int object, limb;
    } const surfaces[] = {
        {0, {1, 1, 1}, 1000, 0},    {0, {2, -1, 0}, 1000, 1}, {1, {0, 3, -2}, 1001, 0},
        {1, {4, 4, 4}, 1001, 1},    {3, {6, 0, -6}, 1001, 2}, {2, {1.5, -7, 1}, 1001, 3},
        {2, {-1, -2, -3}, 1001, 4},
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
            const V3 world = corners[k] + meshes[p.mesh] + offset;
            EXPECT_NEAR(shown[i].position[k].x, world.x, 1e-4) << "corner " << k;
            EXPECT_NEAR(shown[i].position[k].y, world.y, 1e-4) << "corner " << k;
            EXPECT_NEAR(shown[i].position[k].z, world.z, 1e-4) << "corner " << k;
        }
    }
}

} // namespace
