// Whole maps built: where the geometry lands in the world, and maps made to
// hurt the builder, which must build cleanly and leave nothing behind.
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

using HostileSceneTest = SceneTest;

// A map of groups 1..count, each the parent of the one before: 1 lies deepest.
kepw::Map ChainMap(int32_t count) {
    kepw::Map map;
    for (int32_t i = 1; i <= count; ++i)
        map.groups.push_back(ChildOf(i < count ? i + 1 : 0));
    return map;
}

TEST_F(HostileSceneTest, MebibyteOfHostileMapBuildsCleanly) {
    // A 20,000-deep chain; groups in a cycle, their own parent or naming no
    // group; a thousand surfaces with broken triangles spread over them; and
    // one mesh of six thousand surfaces without vertices.
    const int32_t chain = 20000;
    kepw::Map map = ChainMap(chain);
    for (const int32_t parent : {chain + 2, chain + 1, chain + 3, -5, INT32_MAX})
        map.groups.push_back(ChildOf(parent));
    map.lightmaps = {kepw::PatternLightmap(4, 4, 1)};
    for (int32_t j = 0; j < 1000; ++j) {
        kepw::Surface s = OneTriangle("t.bmp", j % 3 == 0 ? 99 : j % 2, float(j));
        s.triangles = {{0, 1, 2}, {0, 1, 3}, {-1, 0, 1}, {2, 2, 2}, {INT32_MAX, 0, 1}, {1, 0, 2}};
        map.meshes.push_back(MeshOf((j * 7919) % (chain + 6), {s}));
    }
    kepw::Surface empty;
    empty.textureName = "t.bmp";
    map.meshes.push_back(MeshOf(chain / 2, std::vector<kepw::Surface>(6000, empty)));
    ASSERT_GT(kepw::Write(map).size(), 1000000u);

    ASSERT_EQ(Load(map, 2), 1) << LastErrorText();
    EXPECT_TRUE(simhost::RefusedWrites().empty());
    EXPECT_FALSE(ScratchLeft());
    for (int32_t i = 0; i < CurrentMap()->groups.Count(); ++i)
        ASSERT_EQ(CurrentMap()->groups.At(i)->built, 1) << i;
    KEP_Clear();
    EXPECT_TRUE(NoLeaksSoFar());
}

TEST_F(HostileSceneTest, HundredThousandGroupChainBuildsInVisitOrder) {
    simhost::SetCallLog(simhost::CallLog::kFull, {"MakeObject", "AddLimb", "LinkLimb"});
    const int32_t chain = 100000;
    kepw::Map map = ChainMap(chain);
    // Listed deepest first, so only the walk can put them in top-down order:
    // the top makes the object, each deeper group adds the next root limb.
    for (const int32_t group : {1, 30000, 60000, chain})
        map.meshes.push_back(MeshOf(group, {OneTriangle("t.bmp", 0)}));
    ASSERT_EQ(Load(map, 0), 1) << LastErrorText();
    EXPECT_EQ(CallsAmong({"MakeObject", "AddLimb", "LinkLimb"}),
              "MakeObject(1000,1,0) AddLimb(1000,1,1) AddLimb(1000,2,1) AddLimb(1000,3,1)");
    // Every group holds the object: smoothed after its own nested pass, and
    // once more when the top-level walk passes it again.
    EXPECT_EQ(simhost::CallCount("SetSmoothing"), std::size_t{2 * chain - 1});
}

TEST_F(HostileSceneTest, ParentCycleEndsWithEveryGroupBuiltOnce) {
    simhost::SetCallLog(simhost::CallLog::kFull);
    // Groups 1 -> 2 -> 3 -> 1 (the mebibyte map has shorter cycles). The group
    // list reverses the file, so group 3 is built first, at the top, with an
    // object of its own; the rest of the cycle builds into that object, and
    // every visit smooths it once more.
    kepw::Map map;
    for (int32_t g = 1; g <= 3; ++g) {
        map.groups.push_back(ChildOf(g % 3 + 1));
        map.meshes.push_back(MeshOf(g, {OneTriangle("t.bmp", 0)}));
    }
    ASSERT_EQ(Load(map, 0), 1) << LastErrorText();
    EXPECT_EQ(CallsAmong({"MakeObject", "AddLimb"}),
              "MakeObject(1000,1,0) AddLimb(1000,1,1) AddLimb(1000,2,1)");
    EXPECT_EQ(simhost::CallsNamed("SetSmoothing").size(), 6u);
}

} // namespace
