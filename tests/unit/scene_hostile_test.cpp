// Maps made to hurt the builder: deep parent chains, parent cycles, huge
// surface counts and triangles naming missing vertices. Each must build (or
// fail cleanly) quickly, without a fault, and leave nothing behind.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "scene_helpers.h"
#include "simhost/memblocks_images.h"

namespace {

using namespace scene_test;

class HostileSceneTest : public SceneTest {};

// Generous even for the sanitizer build on a shared machine.
constexpr double kSecondsAllowed = 20.0;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

kepw::Group WithParent(int32_t parent) {
    kepw::Group group;
    group.parent = parent;
    return group;
}

kepw::Mesh MeshOf(int32_t group, std::vector<kepw::Surface> surfaces) {
    kepw::Mesh mesh;
    mesh.group = group;
    mesh.surfaces = std::move(surfaces);
    return mesh;
}

// Groups 1..count, each the parent of the one before it: group `count` is the
// top, group 1 lies `count` levels down.
std::vector<kepw::Group> ParentChain(int32_t count) {
    std::vector<kepw::Group> groups;
    groups.reserve(static_cast<std::size_t>(count));
    for (int32_t i = 1; i <= count; ++i)
        groups.push_back(WithParent(i < count ? i + 1 : 0));
    return groups;
}

// Three vertices; of six triangles only three name three existing vertices.
kepw::Surface RaggedSurface(int32_t lightmap, int32_t seed) {
    kepw::Surface s = OneTriangle("t.bmp", lightmap, static_cast<float>(seed), 0, 0, seed);
    s.triangles = {{0, 1, 2}, {0, 1, 3}, {-1, 0, 1}, {2, 2, 2}, {INT32_MAX, 0, 1}, {1, 0, 2}};
    return s;
}

kepw::Surface EmptySurface() {
    kepw::Surface s;
    s.texture = "t.bmp";
    s.lightmap = 1;
    return s;
}

// About a mebibyte: a 20,000-deep chain, groups in parent cycles or naming
// no group, a thousand ragged surfaces spread over the chain, and one mesh of
// six thousand surfaces without vertices.
kepw::Map HostileMap() {
    const int32_t chain = 20000;
    kepw::Map map;
    map.groups = ParentChain(chain);
    map.groups.push_back(WithParent(chain + 2)); // chain + 1 and chain + 2: a cycle
    map.groups.push_back(WithParent(chain + 1));
    map.groups.push_back(WithParent(chain + 3)); // its own parent
    map.groups.push_back(WithParent(-5));
    map.groups.push_back(WithParent(INT32_MAX));
    const int32_t groups = static_cast<int32_t>(map.groups.size());
    map.lightmaps = {kepw::PatternLightmap(4, 4, 1)};
    for (int32_t j = 0; j < 1000; ++j)
        map.meshes.push_back(
            MeshOf((j * 7919) % (groups + 1), {RaggedSurface(j % 3 == 0 ? 99 : j % 2, j)}));
    map.meshes.push_back(MeshOf(chain / 2, std::vector<kepw::Surface>(6000, EmptySurface())));
    return map;
}

TEST_F(HostileSceneTest, MebibyteOfHostileMapBuildsQuicklyAndCleanly) {
    const kepw::Map map = HostileMap();
    const kepw::Bytes bytes = kepw::Write(map);
    ASSERT_GT(bytes.size(), 1000000u);
    ASSERT_LT(bytes.size(), 1500000u);

    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(LoadMemblock(map, 2), 1) << LastErrorText();
    EXPECT_LT(SecondsSince(start), kSecondsAllowed);

    EXPECT_GE(CurrentMap()->objectsBuilt, 1);
    for (const SentMeshMemblock& sent : SentMeshMemblocks()) {
        const uint32_t count = DecodeMeshMemblock(sent.bytes).count;
        ASSERT_TRUE(count == 9u || count == 0u) << count; // three whole triangles, or none
        ASSERT_EQ(sent.bytes.size(), 12u + count * DecodeMeshMemblock(sent.bytes).stride);
    }
    EXPECT_TRUE(simhost::RefusedWrites().empty());
    EXPECT_EQ(simhost::MemblockNumbers(), std::vector<int>{kMapMemblock});
    EXPECT_TRUE(simhost::MeshNumbers().empty());
    for (int32_t i = 0; i < CurrentMap()->groups.Count(); ++i)
        ASSERT_EQ(CurrentMap()->groups.At<KEP_Group>(i)->built, 1) << i;

    KEP_Clear();
    EXPECT_TRUE(simhost::ObjectNumbers().empty());
    EXPECT_TRUE(NoLeaksSoFar());
}

TEST_F(HostileSceneTest, HostileMapCutShortFailsQuicklyAndBuildsNothing) {
    // The last mesh claims every surface there could be, and the data ends
    // right there (the entity count is cut off too).
    kepw::Map map = HostileMap();
    kepw::Mesh claimsAll = MeshOf(1, {});
    claimsAll.surfaceCount = INT32_MAX;
    map.meshes.push_back(claimsAll);
    const kepw::Bytes whole = kepw::Write(map);
    const kepw::Bytes bytes = kepw::Truncate(whole, whole.size() - 4);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LoadMemblockBytes(map, bytes, 2), 0);
    EXPECT_LT(SecondsSince(start), kSecondsAllowed);
    EXPECT_EQ(LastErrorText(), "EOF");
    EXPECT_EQ(CurrentMap()->objectsBuilt, 0);
    EXPECT_TRUE(simhost::ObjectNumbers().empty());
    KEP_Clear();
    EXPECT_TRUE(NoLeaksSoFar());
}

TEST_F(HostileSceneTest, HundredThousandGroupChainBuildsInVisitOrder) {
    const int32_t chain = 100000;
    kepw::Map map;
    map.groups = ParentChain(chain);
    // Listed deepest first, so only the walk can put them in top-down order.
    map.meshes = {MeshOf(1, {OneTriangle("t.bmp", 0, 0, 0, 0, 1)}),
                  MeshOf(30000, {OneTriangle("t.bmp", 0, 0, 0, 0, 4)}),
                  MeshOf(60000, {OneTriangle("t.bmp", 0, 0, 0, 0, 7)}),
                  MeshOf(chain, {OneTriangle("t.bmp", 0, 0, 0, 0, 10)})};

    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(LoadMemblock(map, 0), 1) << LastErrorText();
    EXPECT_LT(SecondsSince(start), kSecondsAllowed);

    // The top makes the object; each deeper group with a mesh adds the next
    // limb as its root limb.
    EXPECT_EQ(SurfaceOf(3, 0)->builtLimb, 0);
    EXPECT_EQ(SurfaceOf(2, 0)->builtLimb, 1);
    EXPECT_EQ(SurfaceOf(1, 0)->builtLimb, 2);
    EXPECT_EQ(SurfaceOf(0, 0)->builtLimb, 3);
    EXPECT_EQ(simhost::CallsNamed("OffsetLimb").size(), 3u);
    EXPECT_TRUE(simhost::CallsNamed("LinkLimb").empty());
    EXPECT_EQ(CurrentMap()->objectsBuilt, 1);
    // Every group of the chain holds the object: smoothed after its own
    // nested pass, and once more when the top-level walk passes it again.
    EXPECT_EQ(simhost::CallsNamed("SetSmoothing").size(), static_cast<std::size_t>(2 * chain - 1));
    // A group without meshes takes over the record of a child that has some.
    EXPECT_EQ(Group(60001)->firstLimb, 1);
    EXPECT_EQ(Group(60002)->firstLimb, 0);
    EXPECT_EQ(Group(2)->firstLimb, 3);
    EXPECT_EQ(Group(2)->ownsObject, 0);
    EXPECT_EQ(Group(chain)->ownsObject, 1);
    EXPECT_EQ(Group(chain / 2)->object, 1000);

    KEP_Clear();
    EXPECT_TRUE(NoLeaksSoFar());
}

TEST_F(HostileSceneTest, ParentCyclesEndWithEveryGroupBuiltOnce) {
    struct Case {
        const char* name;
        std::vector<int32_t> parents; // parent of group 1, 2, ...
        std::size_t smoothing;        // SetSmoothing calls expected
    };
    // Group list order is the reverse of the file's, so the last group is
    // built first, at the top, with an object of its own; the rest of its
    // cycle builds into that object, and every visit smooths it once more.
    const Case cases[] = {
        {"two groups", {2, 1}, 4}, {"own parent", {1}, 2}, {"three groups", {2, 3, 1}, 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetPluginAndHost();
        kepw::Map map;
        for (const int32_t parent : c.parents)
            map.groups.push_back(WithParent(parent));
        const int32_t count = static_cast<int32_t>(c.parents.size());
        for (int32_t g = 1; g <= count; ++g)
            map.meshes.push_back(MeshOf(g, {OneTriangle("t.bmp", 0, 0, 0, 0, g)}));

        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(LoadMemblock(map, 0), 1) << LastErrorText();
        EXPECT_LT(SecondsSince(start), kSecondsAllowed);
        EXPECT_EQ(CurrentMap()->objectsBuilt, 1);
        EXPECT_EQ(simhost::CallsNamed("MakeObject"),
                  std::vector<std::string>{"MakeObject(1000,1,0)"});
        EXPECT_EQ(simhost::CallsNamed("AddLimb").size(), static_cast<std::size_t>(count - 1));
        for (int32_t g = 1; g <= count; ++g) {
            EXPECT_EQ(Group(g)->object, 1000) << g;
            EXPECT_EQ(Group(g)->ownsObject, g == count ? 1 : 0) << g;
        }
        EXPECT_EQ(simhost::CallsNamed("SetSmoothing").size(), c.smoothing);
    }
}

} // namespace
