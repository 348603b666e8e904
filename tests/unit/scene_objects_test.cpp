// Object assembly: object and memblock numbers, the calls each surface costs,
// the group records, where each corner lands, texture stages, and the pass over
// the host's records.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "build/host_records.h"
#include "build/kep_build.h"
#include "host/host_functions.h"
#include "load_helpers.h"
#include "plugin/exports.h"
#include "simhost/memblocks_images.h"

namespace {

class ObjectAssemblyTest : public SceneTest {
    void SetUp() override {
        SceneTest::SetUp();
        simhost::SetCallLog(simhost::CallLog::kFull);
    }
};

using Texts = std::vector<std::string>;

// "object ownsObject firstLimb" of the current map's group with that number
// (the list runs 0, N, N-1, ..., 1).
std::string GroupRecord(int32_t number) {
    const int32_t count = CurrentMap()->groups.Count();
    const KEP_Group* g = CurrentMap()->groups.At((count - number) % count);
    return std::to_string(g->build.object) + " " + std::to_string(g->build.ownsObject) + " " +
           std::to_string(g->build.firstLimb);
}

constexpr int32_t kLast = simhost::kLastObjectNumber;
static_assert(kLast == simhost::kLastImageNumber, "one last number for both searches");
// The first number at or above the setting (and 1) that `taken` lacks, 0 for none.
int32_t PlainFirstFree(const std::vector<int>& taken, int32_t setting) {
    for (int64_t n = std::max(setting, 1); n <= kLast; ++n)
        if (!std::binary_search(taken.begin(), taken.end(), static_cast<int>(n)))
            return static_cast<int32_t>(n);
    return 0;
}

// Numbers taken ('t'), searched without taking ('s') and deleted through the
// plug-in ('d'): within one load each search finds what the plain search finds,
// asking the host only about numbers it has not passed yet. A script's
// deletion between loads is seen by the next load.
TEST_F(ObjectAssemblyTest, FreeNumberSearchesGoOnWhereTheyStoppedAndFindWhatThePlainSearchFinds) {
    struct Kind {
        const char* existCall;
        int32_t (*search)(KEP_NumberSearches&, int32_t);
        void (*take)(int);
        void (*deleteByPlugin)(KEP_NumberSearches&, int32_t);
        void (*deleteByScript)(int);
        std::vector<int> (*taken)();
    };
    const Kind kinds[] = {
        {"GetExistEx", &KEP_FreeImageNumber, [](int n) { simhost::MakeTestImage(n, 1, 1, {0u}); },
         &KEP_DeleteHostImage, [](int n) { host::image::DeleteEx(n); }, &simhost::ImageNumbers},
        {"GetExist", &KEP_FreeObjectNumber, &simhost::MakeTestObject, &KEP_DeleteHostObject,
         [](int n) { host::object::DeleteEx(n); }, &simhost::ObjectNumbers},
    };
    std::vector<int> block; // 1000..1060 without 1020
    for (int i = 0; i < 60; ++i)
        block.push_back(1000 + i + (i >= 20));
    struct Pattern {
        int32_t setting;
        std::vector<int> taken;
        const char* steps;
        int32_t deleted;
    };
    const Pattern patterns[] = {
        {1000, {}, "tttttst", 0},
        {1000, {1000}, "ttstt", 0},                             // the initial number taken
        {1000, {1001, 1003, 1004, 1006, 1010}, "ttttttttt", 0}, // gaps
        {1000, block, "ttsttt", 0},                             // a taken block with a hole
        {-5, {1, 2, 5}, "tsttt", 0},                            // the setting below 1
        {1000, {1000, 1001, 1002}, "ttdtts", 1001},             // a deletion below the last find
        {1000, {1000, 1001, 1002}, "ttdtt", 1004},              // one at the last find
        {kLast - 2, {kLast - 1}, "tttsdt", kLast - 2},          // none left above
        {kLast + 1, {}, "ts", 0}, // past the last: the host is not asked
    };
    for (const Kind& kind : kinds) {
        for (const Pattern& pattern : patterns) {
            SCOPED_TRACE(testing::Message() << kind.existCall << " " << (&pattern - patterns));
            kepsession::Restart();
            simhost::SetCallLog(simhost::CallLog::kCounts);
            KEP_NumberSearches searches;
            for (int n : pattern.taken)
                kind.take(n);
            int32_t lowestFound = 0;
            {
                const KEP_NumberSearchScope load(searches);
                int32_t last = 0;
                for (const char* step = pattern.steps; *step; ++step) {
                    if (*step == 'd') {
                        kind.deleteByPlugin(searches, pattern.deleted);
                        last = 0;
                        continue;
                    }
                    const int32_t expected = PlainFirstFree(kind.taken(), pattern.setting);
                    const std::size_t before = simhost::CallCount(kind.existCall);
                    const int32_t found = kind.search(searches, pattern.setting);
                    ASSERT_EQ(found, expected) << "step " << step - pattern.steps;
                    const int32_t from = last != 0 ? last : std::max(pattern.setting, 1);
                    // The host is asked about each number from there to the find.
                    const int64_t passed =
                        std::max<int64_t>(0, (found != 0 ? found : kLast) - from + 1);
                    EXPECT_EQ(simhost::CallCount(kind.existCall) - before,
                              static_cast<std::size_t>(passed));
                    last = found;
                    if (found != 0 && *step == 't') {
                        kind.take(found);
                        if (lowestFound == 0) lowestFound = found;
                    }
                }
            }
            if (lowestFound == 0) continue; // nothing to delete
            // Between loads a script deletes the first number this load took.
            kind.deleteByScript(lowestFound);
            const KEP_NumberSearchScope nextLoad(searches);
            EXPECT_EQ(kind.search(searches, pattern.setting),
                      PlainFirstFree(kind.taken(), pattern.setting));
        }
    }
}

// A load that finds no memblock number for its scratch fails saying so (no
// free object number: expected_sequence.txt). Only a lightmap's pixels need a
// memblock past 30.
TEST_F(ObjectAssemblyTest, WithNoMemblockNumberFreeTheLoadFailsSayingSo) {
    kepw::Map map;
    map.lightmaps = {kepw::PatternLightmap(2, 2, 1)};
    map.meshes = {MeshOf(0, {OneTriangle("a.bmp", 0), OneTriangle("a.bmp", 1)})};
    for (int number = 31; number <= simhost::kLastMemblockNumber; ++number)
        host::memblock::MakeMemblock(number, 10); // the script's
    EXPECT_EQ(Load(map, 2), 0);
    EXPECT_EQ(LastErrorText(), "No free memblock number");
    KEP_Clear();
    map.lightmaps.clear();
    ASSERT_EQ(Load(map, 0), 1) << LastErrorText(); // memblock 30 is still free
    KEP_Clear();
    host::memblock::MakeMemblock(30, 10);
    EXPECT_EQ(Load(map, 0), 0);
    EXPECT_EQ(LastErrorText(), "No free memblock number");
    EXPECT_TRUE(simhost::ObjectNumbers().empty());
    EXPECT_EQ(simhost::MemblockNumbers().size(), 229u); // the script's and the map's
}

struct V3 {
    double x, y, z;
    V3 operator+(V3 b) const { return {x + b.x, y + b.y, z + b.z}; }
    std::array<float, 3> F() const { return {float(x), float(y), float(z)}; }
};

// Whatever builds it (the surface that makes its group's object, a later
// surface or mesh of that group, a group building into its parent's object),
// every corner lands at its file position plus its own mesh's position plus
// the map offset; pivots only choose where objects and root limbs stand. A
// group without meshes takes over the record of each child in turn.
TEST_F(ObjectAssemblyTest, EveryCornerLandsAtItsPositionPlusItsMeshPositionPlusTheOffset) {
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
    // B found A's object in G and added its limbs; G holds B's record last.
    EXPECT_EQ(GroupRecord(2) + ", " + GroupRecord(1) + ", " + GroupRecord(3),
              "1001 1 1, 1001 0 3, 1001 0 3");
    // The first surface makes the object, every later one a limb, each mesh
    // ends in a Show; the host is never asked to smooth.
    EXPECT_EQ(CallsAmong({"MakeObject", "AddLimb", "LinkLimb", "Show", "SetSmoothing"}),
              "MakeObject(1000,1,0) AddLimb(1000,1,1) Show(1000) MakeObject(1001,1,0) "
              "AddLimb(1001,1,1) Show(1001) AddLimb(1001,2,1) LinkLimb(1001,1,2) Show(1001) "
              "AddLimb(1001,3,1) AddLimb(1001,4,1) LinkLimb(1001,3,4) Show(1001)");

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

TEST_F(ObjectAssemblyTest, SurfacesGetTheirTextureAndLightmapImagesOnTheirStages) {
    kepw::Map map;
    map.lightmaps = {kepw::PatternLightmap(2, 1, 1), kepw::PatternLightmap(1, 2, 2)};
    map.meshes = {
        MeshOf(0, {OneTriangle("a.bmp", 2), OneTriangle("b.bmp", 1), OneTriangle("A.BMP", 0)})};
    // Lightmaps are images 1000 and 1001, then textures a 1002 and b 1003.
    ASSERT_EQ(Load(map, 2), 1) << LastErrorText();
    EXPECT_EQ(CallsAmong({"SetTextureStage", "TextureLimb", "TextureLimbStage"}),
              "SetTextureStage(1000,0,1002) SetTextureStage(1000,1,1001) TextureLimb(1000,1,1003) "
              "TextureLimbStage(1000,1,1,1000) TextureLimb(1000,2,1002)");
}

// Per limb its host mesh record's light, ambient and transparency switches, then
// per stage its stage, colour operation, arguments and word 304 (hex).
Texts RecordsOf(int object) {
    Texts records;
    simhost::ObjectState state;
    simhost::FindObject(object, &state); // no object: no records
    for (const simhost::LimbState& limb : state.limbs) {
        const simhost::HostMeshRecordState& m = limb.hostMesh;
        char text[512]; // room for the most stages a host mesh record has (8)
        int at = std::snprintf(text, sizeof text, "%d %d %d", m.light, m.ambient, m.transparency);
        for (const simhost::StageRecordState& s : m.stages)
            at += std::snprintf(text + at, sizeof text - at, " | %x %x %x %x %x", s.stage,
                                s.colourOp, s.arg1, s.arg2, s.word304);
        records.push_back(text);
    }
    return records;
}

const simhost::MeshRecordLayout kLayouts[] = {simhost::MeshRecordLayout::Older,
                                              simhost::MeshRecordLayout::Current,
                                              simhost::MeshRecordLayout::Unrecognised};

TEST_F(ObjectAssemblyTest, RecordPassSetsUpTheLightmapStageInTheRunningHostsLayout) {
    // Stage 1 modulates 2x by the lightmap, or the mesh is marked as having none.
    const std::string lit = "0 0 0 | 0 2 2 0 0", unlit = "0 0 1 | 0 2 2 0 0";
    const std::string litStage = " | 1 5 2 1 0";
    const std::string freshLit = "1 1 0 | ffffffff ffffffff ffffffff ffffffff ffffffff";
    const std::string freshStage = " | ffffffff ffffffff ffffffff ffffffff ffffffff";
    struct Case {
        int32_t flag;
        bool lightmapImage;
        int32_t childLightmap; // -1: the child group has no mesh
        Texts expected;
    } const cases[] = {
        {2, true, -1, {lit + litStage, lit + litStage, unlit}},
        {1, true, -1, {unlit, unlit, unlit}},  // as any flag but 2
        {2, false, -1, {unlit, unlit, unlit}}, // the lightmap has no image
        // The child's pass bound no lightmap: every mesh goes unlit, stage 1 stays.
        {2, true, 0, {unlit + litStage, unlit + litStage, unlit, unlit}},
    };
    // A host whose records fit neither known layout keeps them as it made them.
    for (const simhost::MeshRecordLayout layout : kLayouts) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << int(layout) << " case " << (&c - cases));
            kepsession::Restart();
            simhost::SetMeshRecordLayout(layout);
            kepw::Map map;
            map.lightmaps = {c.lightmapImage ? kepw::PatternLightmap(2, 2, 1) : kepw::Lightmap()};
            map.groups = {ChildOf(2), kepw::Group{}};
            map.meshes = {MeshOf(
                2, {OneTriangle("a.bmp", 1), OneTriangle("a.bmp", 1), OneTriangle("a.bmp", 0)})};
            if (c.childLightmap >= 0)
                map.meshes.push_back(MeshOf(1, {OneTriangle("b.bmp", c.childLightmap)}));
            ASSERT_EQ(Load(map, c.flag), 1) << LastErrorText();
            Texts expected = c.expected;
            if (layout == simhost::MeshRecordLayout::Unrecognised) {
                for (std::string& record : expected) {
                    const bool twoStages = record.find(litStage) != std::string::npos;
                    record = freshLit + (twoStages ? freshStage : "");
                }
            }
            EXPECT_EQ(RecordsOf(1000), expected);
        }
    }
}

// What a 32-bit word of a host record points at.
template <class T> T* Target(uint32_t word) {
    return reinterpret_cast<T*>(static_cast<uintptr_t>(word));
}

TEST_F(ObjectAssemblyTest, RecordPassSkipsMeshesAndStagesMissingFromTheHostsRecords) {
    kepw::Map map;
    map.lightmaps = {kepw::PatternLightmap(2, 2, 1)};
    map.meshes = {
        MeshOf(0, {OneTriangle("a.bmp", 1), OneTriangle("a.bmp", 1), OneTriangle("a.bmp", 1)})};
    ASSERT_EQ(Load(map, 2), 1) << LastErrorText();
    const uint32_t* object = reinterpret_cast<uint32_t*>(host::object::GetObjectA(1000));
    ASSERT_TRUE(object && object[0] == 3u);
    uint32_t* meshArray = Target<uint32_t>(object[2]);
    const HostMeshLayout& layout = kOlderHostMeshLayout;
    for (int i = 0; i < 3; ++i) {
        uint32_t* mesh = Target<uint32_t>(meshArray[i]);
        uint8_t* bytes = reinterpret_cast<uint8_t*>(mesh);
        bytes[layout.light] = bytes[layout.ambient] = bytes[layout.transparency] = 7;
        std::memset(Target<uint8_t>(mesh[layout.stageArray / 4]), 0xaa, 2 * layout.stageSize);
    }
    // Mesh 0 is missing from the array, mesh 1 claims no stages, mesh 2 has no stage array.
    Target<uint32_t>(meshArray[1])[layout.stageCount / 4] = 0;
    Target<uint32_t>(meshArray[2])[layout.stageArray / 4] = 0;
    meshArray[0] = 0;
    HostRecordLayoutChoice decided;
    decided.decided = true;
    decided.layout = &layout;
    KEP_WriteHostRecords(decided, nullptr, 1000, 2, true);
    // Mesh 0 is never reached; the others can set up no stage.
    const std::string stale = " | aaaaaaaa aaaaaaaa aaaaaaaa aaaaaaaa aaaaaaaa";
    EXPECT_EQ(RecordsOf(1000),
              (Texts{"7 7 7" + stale + stale, "0 0 1" + stale + stale, "0 0 1" + stale + stale}));
}

} // namespace
