// Map loads: a map with every kind of record through both loading commands in
// both versions, compared field by field with what was written; and what each
// way a load can fail reports and leaves behind, hostile maps included: result
// 0 with a message (or a clean build), no crash, nothing left after clearing.
#include <algorithm>
#include <climits>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "core/CFile.h"
#include "core/memory.h"
#include "load_helpers.h"
#include "plugin/exports.h"
#include "simhost/memblocks_images.h"

namespace {

kepw::Map SmallCompleteMap(int32_t version) {
    kepw::Map map;
    map.version = version;
    map.groups = {{1, 0, "name=top", {1, 2, 3}}, {2, 1, "name=child\nx=y", {4, 5, 6}}};
    map.visGroups = {{"vis", {1, 2, 3, 4}}};
    map.lightmaps = {kepw::PatternLightmap(2, 2, 5)};
    map.meshes = {{}};
    map.meshes[0].groupNumber = 2;
    map.meshes[0].surfaces = {kepw::TriangleSurface("t.bmp", 1), kepw::TriangleSurface("caulk", 0),
                              kepw::TriangleSurface("u.bmp", 0)};
    map.meshes[0].surfaces[0].lines = {{0, 2}};
    map.entities = {{1, 1, "classname=pivot", {1, 2, 3}}, {0, 2, "ambient=1 2 3", {4, 5, 6}}};
    return map;
}

// Maps are read in a directory that holds their textures.
class LoadFailureTest : public PluginTest {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        for (const char* name : {"t.bmp", "u.bmp"})
            WriteImageFile(dir.Place(name));
    }
    TempDir dir;
    ScopedWorkingDir here{dir.Path()};
};

// A map of groups 1..count, each the parent of the one before: 1 lies deepest.
kepw::Map ChainMap(int32_t count) {
    kepw::Map map;
    for (int32_t i = 1; i <= count; ++i)
        map.groups.push_back(ChildOf(i < count ? i + 1 : 0));
    return map;
}

// Every way a load can fail other than the data ending early, and hostile maps
// (counts past the data, lightmap sides whose product overflows, shapes that could
// exhaust the stack). Each row loads beside a map loaded before; its outcome is the
// message or what was built, the images made and the lightmap scratch asked for.
TEST_F(LoadFailureTest, EachFailureAndHostileMapHasItsOutcomeAndClearsCleanly) {
    const kepw::Bytes empty = kepw::Write(kepw::Map{});
    const kepw::Bytes complete = kepw::Write(SmallCompleteMap(5));
    // An image file whose name is longer than the host's image loader copies.
    const std::string longName = "long/" + std::string(251, 'x') + ".bmp";
    WriteImageFile(dir.Place(longName));
    // A file whose name, at 260 characters, is longer than a map path holds.
    const std::string tooLong = dir.Path() + "/" + std::string(259 - dir.Path().size(), 'f');
    ASSERT_TRUE(kepw::WriteFile(tooLong, empty));
    simhost::MakeTestImage(simhost::kLastImageNumber, 1, 1, {0});
    std::size_t dataSize = 0; // the row's map, which bounds what the host may be asked for
    auto memblock = [&](kepw::Bytes bytes) {
        return [&, bytes] { return dataSize = bytes.size(), LoadFromMemblock(bytes, 2); };
    };
    // The small map changed; its entity count cut off where a mesh or surface would read it.
    auto changed = [&](auto change) {
        kepw::Map m = SmallCompleteMap(5);
        change(m);
        kepw::Bytes bytes = kepw::Write(m);
        if (m.meshes.size() == 1 && m.entities.empty()) bytes.resize(bytes.size() - 4);
        return memblock(bytes);
    };
    // One lightmap of these sides, the data ending right after six pixels.
    auto sides = [&](int32_t width, int32_t height) {
        kepw::Map m;
        m.lightmaps = {kepw::PatternLightmap(6, 1, 3)};
        m.lightmaps[0].width = width, m.lightmaps[0].height = height;
        kepw::Bytes bytes = kepw::Write(m);
        bytes.resize(bytes.size() - 8); // no mesh or entity count
        return memblock(bytes);
    };
    // A 100,000-deep chain listed deepest first: one object, the later meshes its limbs.
    auto chain = [](kepw::Map& m) {
        m = ChainMap(100000);
        for (const int32_t group : {1, 30000, 60000, 100000})
            m.meshes.push_back(MeshOf(group, {OneTriangle("t.bmp", 0)}));
    };
    // Groups 1 -> 2 -> 3 -> 1: group 3, first in the list, makes the one object.
    auto cycle = [](kepw::Map& m) {
        m = kepw::Map();
        for (int32_t g = 1; g <= 3; ++g) {
            m.groups.push_back(ChildOf(g % 3 + 1));
            m.meshes.push_back(MeshOf(g, {OneTriangle("t.bmp", 0)}));
        }
    };
    // A mebibyte: a deep chain, cycles, self-parents, missing parents, broken triangles,
    // six thousand surfaces without vertices.
    auto mebibyte = [](kepw::Map& m) {
        const int32_t depth = 20000;
        m = ChainMap(depth);
        for (const int32_t parent : {depth + 2, depth + 1, depth + 3, -5, INT32_MAX})
            m.groups.push_back(ChildOf(parent));
        m.lightmaps = {kepw::PatternLightmap(4, 4, 1)};
        for (int32_t j = 0; j < 1000; ++j) {
            kepw::Surface s = OneTriangle("t.bmp", j % 3 == 0 ? 99 : j % 2, float(j));
            s.triangles = {{0, 1, 2}, {0, 1, 3}, {-1, 0, 1}, {2, 2, 2}, {INT32_MAX, 0, 1}};
            m.meshes.push_back(MeshOf((j * 7919) % (depth + 6), {s}));
        }
        kepw::Surface empty;
        empty.textureName = "t.bmp";
        m.meshes.push_back(MeshOf(depth / 2, std::vector<kepw::Surface>(6000, empty)));
    };
    // The load, its outcome, and whether it makes a map (else only the error state changes).
    using Row = std::tuple<std::function<int32_t()>, std::string, bool>;
    const std::string noFile = "Unable to load the file ";
    const Row rows[] = {
        {[] { return KEP_Load(nullptr, 0); }, noFile + ", 0/0", false},
        {[&] { return KEP_Load(tooLong.c_str(), 0); }, noFile + tooLong + ", 0/0", false},
        {changed([&](auto& m) { m.meshes[0].surfaces[0].textureName = longName; }),
         "Invalid image identifier, 1/1", true},
        {changed([](auto& m) { m.groupCount = INT_MAX; }), "EOF, 0/0", true},
        {changed([](auto& m) { m.visGroupCount = INT_MAX; }), "EOF, 0/0", true},
        {changed([](auto& m) { m.lightmapCount = INT_MAX; }), "EOF, 1/1", true},
        {changed([](auto& m) { m.meshCount = INT_MAX, m.entities.clear(); }), "EOF, 3/1", true},
        {changed([](auto& m) { m.meshes[0].surfaceCount = INT_MAX, m.entities.clear(); }),
         "EOF, 3/1", true},
        {changed([](auto& m) { m.meshes[0].surfaces[0].vertexCount = INT_MAX; }), "EOF, 2/1", true},
        {changed([](auto& m) { m.meshes[0].surfaces[0].triangleCount = INT_MAX; }), "EOF, 2/1",
         true},
        {changed([](auto& m) { m.meshes[0].surfaces[0].lineCount = INT_MAX; }), "EOF, 2/1", true},
        {changed([](auto& m) { m.entityCount = INT_MAX; }), "EOF, 3/1", true},
        {sides(INT_MAX, INT_MAX), "EOF, 0/0", true},
        {sides(1768620032, 2000512110), "EOF, 0/0", true},
        {sides(65536, 65536), "EOF, 0/0", true},
        {sides(0x40000000, 4), "EOF, 0/0", true},
        {sides(3, INT_MAX), "EOF, 0/0", true},
        {sides(7, 1), "EOF, 0/0", true},
        {sides(6, 1), "EOF, 1/1", true},
        {changed(chain), "1 objects, 3 limbs, 1/0", true},
        {changed(cycle), "1 objects, 2 limbs, 1/0", true},
        {changed(mebibyte), "built, 2/1", true},
        // No free image number: the last the host has is taken, and past it
        // the host is not asked; no pixels are passed for an image not made.
        {[&] { return KEP_InitialImage(simhost::kLastImageNumber), memblock(complete)(); },
         "Invalid image identifier, 0/0", true},
        {[&] { return KEP_InitialImage(INT_MAX), memblock(complete)(); },
         "Invalid image identifier, 0/0", true},
    };
    simhost::SetCallLog(simhost::CallLog::kFull, {"MakeMemblock"});
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        const auto& [load, expected, makesAMap] = rows[i];
        while (g_plugin.maps.Count() > 0)
            KEP_Clear();
        ASSERT_EQ(LoadFromMemblock(empty), 1) << LastErrorText();
        KEP_Map* before = CurrentMap();
        const int32_t counter = g_plugin.mapNumberCounter;
        const std::size_t images = simhost::ImageNumbers().size();
        dataSize = 0;
        const int32_t result = load();
        std::string outcome = result == 0 ? LastErrorText()
                              : expected.rfind("built", 0) == 0
                                  ? "built"
                                  : std::to_string(CurrentMap()->build.objectsBuilt) +
                                        " objects, " +
                                        std::to_string(simhost::CallCount("AddLimb")) + " limbs";
        int asked = 0; // for scratch memory to read a lightmap into: "MakeMemblock(31,size)"
        for (const std::string& call : simhost::CallsNamed("MakeMemblock")) {
            asked += call.rfind("MakeMemblock(31,", 0) == 0;
            EXPECT_LE(std::stoul(call.substr(call.find(',') + 1)), dataSize + 16) << call;
        }
        EXPECT_EQ(outcome + ", " + std::to_string(simhost::ImageNumbers().size() - images) + "/" +
                      std::to_string(asked),
                  expected);
        EXPECT_EQ(KEP_GetLastError(), result);
        EXPECT_EQ(g_plugin.maps.Count(), makesAMap ? 2 : 1);
        EXPECT_EQ(g_plugin.mapNumberCounter, counter + (makesAMap ? 1 : 0));
        EXPECT_EQ(CurrentMap() != before, makesAMap);
        ExpectNoRunTimeError();
        EXPECT_FALSE(ScratchLeft());
        for (int32_t g = 0; result == 1 && g < CurrentMap()->groups.Count(); ++g)
            ASSERT_EQ(CurrentMap()->groups.At(g)->build.built, 1) << "group " << g;
        simhost::ClearCalls();
    }
    EXPECT_EQ(LoadFromFile(tooLong.substr(0, 259), empty), 1) << LastErrorText();
    while (g_plugin.maps.Count() > 0)
        KEP_Clear();
    EXPECT_EQ(simhost::ImageNumbers(), std::vector<int>{simhost::kLastImageNumber});
}

// What a map and the host hold for it, kept geometry byte for byte, as one text.
std::string Summary(const KEP_Map& map) {
    std::ostringstream text;
    text << "v" << map.version;
    auto properties = [&](const KEP_Properties& p) {
        for (int32_t i = 0; i < p.Count(); ++i)
            text << ' ' << p.Key(i) << '=' << p.Value(i);
    };
    for (const KEP_Group* g : map.groups) {
        text << " g" << g->groupNumber << '/' << g->build.object << '/' << g->meshes.Count() << '/'
             << g->childGroups.Count();
        properties(g->properties);
    }
    for (const KEP_Mesh* m : map.meshes) {
        text << " m" << m->surfaces.Count();
        for (const KEP_Surface* s : m->surfaces) {
            const KEP_Geometry& g = s->geometry;
            text << '/' << s->textureIndex << ',' << g.VertexCount() << ',' << g.TriangleCount()
                 << ',' << g.LineCount() << ':';
            const auto* from = reinterpret_cast<const char*>(g.Vertices());
            if (from)
                text.write(from, reinterpret_cast<const char*>(g.Lines() + g.LineCount()) - from);
        }
        properties(m->properties);
    }
    for (const KEP_Entity* e : map.entities)
        properties(e->properties);
    for (const KEP_TextureInfo* t : map.textures)
        text << " t" << t->name.CStr() << '@' << t->build.image;
    for (const KEP_Lightmap* l : map.lightmaps)
        text << " l" << l->build.image;
    for (const KEP_VisGroup* v : map.visGroups)
        text << " v" << v->name.CStr();
    text << " p" << map.pivots.Count();
    return text.str();
}

// A map cut anywhere fails and clears completely; a file (read in pieces) and a
// memblock read the same map and fail at the same place. Every cut of the small map;
// a large one (a string, a lightmap and a vertex block each larger than a piece)
// cut around every piece's edge and at the end.
TEST_F(LoadFailureTest, EveryCutFailsCleanlyAndAFileReadInPiecesReadsAsItsBytesInMemory) {
    kepw::Map large = SmallCompleteMap(5);
    std::string text;
    while (text.size() < 3 * CFile::kPieceBytes)
        text += "key" + std::to_string(text.size()) + "=value\n";
    large.groups[0].properties = text;
    large.lightmaps.push_back(kepw::PatternLightmap(100, 100, 7));
    kepw::Surface big = OneTriangle("t.bmp", 2);
    big.vertices.resize(1000, big.vertices[1]);
    big.vertices[999].position = {1, 2, 3};
    big.triangles.push_back({999, 0, 1});
    for (int32_t i = 0; i < 400; ++i)
        large.meshes[0].surfaces.push_back(OneTriangle(i % 2 ? "u.bmp" : "t.bmp", i % 3, float(i)));
    large.meshes[0].surfaces.push_back(big);
    large.entities.push_back({0, 1, text, {1, 2, 3}});
    const std::string path = dir.Place("cut.kep");
    for (const kepw::Map& source : {SmallCompleteMap(4), SmallCompleteMap(5), large}) {
        const kepw::Bytes whole = kepw::Write(source);
        std::set<std::size_t> cuts = {whole.size(), whole.size() - 1, whole.size() - 4};
        for (std::size_t edge = CFile::kPieceBytes; edge < whole.size(); edge += CFile::kPieceBytes)
            for (std::size_t near = edge - 5; near <= edge + 5; ++near)
                cuts.insert(near);
        for (std::size_t size = 0; whole.size() < CFile::kPieceBytes && size < whole.size(); ++size)
            cuts.insert(size);
        for (const std::size_t size : cuts) {
            SCOPED_TRACE("version " + std::to_string(source.version) + ", " +
                         std::to_string(whole.size()) + " bytes cut at " + std::to_string(size));
            const kepw::Bytes cut = kepw::Truncate(whole, size);
            std::string outcome[2];
            bool media = false;
            for (const bool fromFile : {true, false}) {
                if (!fromFile && size == 0) continue; // the host has no empty memblocks
                const int32_t result = fromFile ? LoadFromFile(path, cut) : LoadFromMemblock(cut);
                EXPECT_EQ(result, size == whole.size() ? 1 : 0);
                EXPECT_EQ(KEP_GetLastError(), result);
                // A cut texture name gives no image; files and memblocks look
                // textures up differently, so then only reading is compared.
                const std::string error = LastErrorText();
                media = media || (result == 0 && error != "EOF");
                EXPECT_TRUE(result == 1 || error == "EOF" || error == "Invalid image identifier" ||
                            error.rfind("Unable to find texture: ", 0) == 0)
                    << error;
                ASSERT_EQ(g_plugin.maps.Count(), size >= 4 ? 1 : 0); // once the version is read
                KEP_Clear();
                // The reader alone, geometry kept: the same records and failure place.
                const kepsession::MapRead read =
                    fromFile ? kepsession::ReadMapFile(path) : kepsession::ReadMapBytes(cut);
                ASSERT_EQ(read.map != nullptr, size >= 4);
                if (read.map) outcome[fromFile] = read.failure + Summary(*read.map);
                EXPECT_TRUE(simhost::ImageNumbers().empty());
                const std::vector<int> memblocks = simhost::MemblockNumbers(); // no scratch left
                EXPECT_TRUE(memblocks.empty() || memblocks == std::vector<int>{kMapMemblock});
            }
            const std::size_t differ = std::mismatch(outcome[0].begin(), outcome[0].end(),
                                                     outcome[1].begin(), outcome[1].end())
                                           .first -
                                       outcome[0].begin();
            EXPECT_TRUE(media || outcome[0] == outcome[1]) << outcome[0].substr(differ, 200) << "\n"
                                                           << outcome[1].substr(differ, 200);
            if (HasFailure()) return;
        }
    }
}

// Every allocation of a load failed in turn: the load absorbs it (the same map) or
// fails with a memory message; after clearing nothing of it is left and the map
// loaded before answers as it did.
TEST_F(LoadFailureTest, EveryAllocationOfALoadFailingInTurnFailsCleanly) {
    namespace memory = kep_memory_test;
    ASSERT_EQ(LoadFromMemblock(kepw::Write(SmallCompleteMap(5))), 1) << LastErrorText();
    const int32_t earlier = KEP_GetCurrentMap();
    const std::string earlierMap = Summary(*CurrentMap());

    // The load with allocation `failAt` failing (0: none); the blocks left after clearing.
    int32_t result = 0;
    int64_t allocations = 0;
    std::string message, map;
    auto loadAndClear = [&](int64_t failAt) {
        memory::TrackBlocks(true);
        memory::FailNthAllocation(failAt);
        result = KEP_MakeKEPFromMemblock(kMapMemblock, 0);
        allocations = memory::AllocationsSince();
        memory::FailNthAllocation(0);
        message = std::to_string(KEP_GetLastError()) + " " + LastErrorText();
        map = g_plugin.maps.Count() == 2 && CurrentMap() ? Summary(*CurrentMap()) : "";
        if (g_plugin.maps.Count() == 2) {
            KEP_SetCurrentMap(g_plugin.maps.At(1)->mapNumber);
            KEP_Clear();
        }
        std::vector<std::string> left = memory::LiveBlocks();
        memory::TrackBlocks(false);
        return left;
    };
    // What a successful load leaves, and what a failure's message leaves.
    std::vector<std::string> kept = loadAndClear(0);
    ASSERT_EQ(result, 1);
    const std::string whole = map;
    const int64_t count = allocations;
    ASSERT_GT(count, 50);
    memory::TrackBlocks(true);
    KEP_MakeKEPFromMemblock(-1, 0);
    for (const std::string& block : memory::LiveBlocks())
        kept.insert(std::upper_bound(kept.begin(), kept.end(), block), block);
    memory::TrackBlocks(false);
    KEP_GetCurrentMap(); // back to no message, so that each load below starts alike

    const std::set<std::string> memoryMessages = {"0 Insufficient memory",
                                                  "0 Insufficient memory for required allocation",
                                                  "0 Out of memory"};
    for (int64_t n = 1; n <= count; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        const std::vector<std::string> left = loadAndClear(n);
        EXPECT_TRUE(result == 1 ? map == whole : memoryMessages.count(message) == 1) << message;
        EXPECT_TRUE(std::includes(kept.begin(), kept.end(), left.begin(), left.end()))
            << ::testing::PrintToString(left);
        ASSERT_EQ(g_plugin.maps.Count(), 1);
        EXPECT_EQ(KEP_SetCurrentMap(earlier), 1);
        EXPECT_EQ(Summary(*CurrentMap()), earlierMap);
        EXPECT_EQ(simhost::ImageNumbers().size(), 3u); // the earlier map's
        if (HasFailure()) return;
    }
}

using Ints = std::vector<int32_t>;
using Strings = std::vector<std::string>;
template <class T, std::size_t N> std::vector<T> Vec(const T (&a)[N]) {
    return {a, a + N};
}

// `get` of each item of a model list, in list order.
template <class List, class Get> auto Each(const List& list, Get get) {
    std::vector<std::decay_t<decltype(get(list.At(0)))>> results;
    for (auto* item : list)
        results.push_back(get(item));
    return results;
}

const auto NumberOf = [](const KEP_Group* group) { return group ? group->groupNumber : -1; };

kepw::Map RichMap(int32_t version) {
    using kepw::TriangleSurface;
    kepw::Map map;
    map.version = version;
    // Group 1 has children 2 and 3, group 3 has child 5; group 4's parent 7 does not exist.
    map.groups = {{11, 0, "name=Door\r\n\"target\"=\"t1\"\n\nempty\n=x\na=b=d\n a = b ", {1, 2, 3}},
                  {22, 1, "name=Frame", {4, 5, 6}},
                  {33, 1, "", {}},
                  {44, 7, "x", {}},
                  {55, 3, "", {}}};
    map.visGroups = {{"Walls", {1, 2, 3, 4}}, {"Lights", {5, 6, 7, 8}}};
    map.lightmaps = {{3, 1, {0xff804020u, 0x80f00010u, 0x0000f000u}}, {-3, -2, {}}, {4, 0, {}}};

    kepw::Surface wall = TriangleSurface("Wall.bmp", 3);
    wall.firstValue = 99;
    wall.values = {1.0f, 2.0f, 3.0f, 4.0f, 5.0f};
    wall.triangles = {{0, 1, 5}, {-1, 2, 0}};
    wall.lines = {{2, 0}, {3, 1}};
    map.meshes.resize(4);
    map.meshes[0].flags = 5;
    map.meshes[0].groupNumber = map.meshes[0].visGroupNumber = 2;
    map.meshes[0].position = {1.5f, -2.0f, 3.0f};
    map.meshes[0].surfaces = {wall, TriangleSurface("common/caulk", 1),
                              TriangleSurface("WALL.BMP", 0)};
    map.meshes[1].visGroupNumber = 3;
    map.meshes[1].surfaces = {TriangleSurface("tex/floor.png", 1),
                              TriangleSurface("Tex/Floor.PNG", INT_MIN)};
    map.meshes[2].groupNumber = map.meshes[2].visGroupNumber = INT_MIN;
    map.meshes[2].surfaces = {TriangleSurface("CAULK", 1), TriangleSurface("xCaUlKy.bmp", 0)};
    map.meshes[3].groupNumber = 2;
    map.meshes[3].visGroupNumber = 1;
    map.entities = {{1, 1, "classname=Pivot\nname=door1", {1.0f, 2.0f, 3.0f}},
                    {0, 0, "CLASSNAME=light\nAMBIENT=300 32 250", {}},
                    {5, 1, "ClassName=\"PIVOT\"", {4.0f, 5.0f, 6.0f}},
                    {-1, 9, "classname=pivot", {}},
                    {2, 2, "CLASSNAME =pivot\nclassname=pivots", {}},
                    {INT_MIN, 0, "CLASSNAME=PIVOT", {}}};
    return map;
}

// Test name, version, file name to load (none: from a memblock), its map directory.
using LoadCase = std::tuple<std::string, int32_t, std::string, std::string>;

class MapRoundTrip : public PluginTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(MapRoundTrip, EveryRecordArrivesAsWritten) {
    simhost::SetCallLog(simhost::CallLog::kFull);
    const auto& [caseName, version, fileName, mapDirectory] = GetParam();
    const kepw::Map written = RichMap(version);
    TempDir dir;
    for (const char* file : {"Wall.bmp", "tex/floor.png", "maps/Wall.bmp", "maps/tex/floor.png"})
        WriteImageFile(dir.Place(file));
    ScopedWorkingDir here(dir.Path()); // where maps without a directory find textures
    KEP_InitialImage(500);
    simhost::MakeTestImage(501, 1, 1, {0});
    KEP_MapOffset(10.0f, 0.0f, -5.0f);
    kepw::Bytes bytes = kepw::Write(written);
    kepw::Map plusOne = written; // the writer must lay surfaces out as the format does
    plusOne.meshes[3].surfaces.push_back(kepw::TriangleSurface("abcde", 0));
    ASSERT_EQ(kepw::Write(plusOne).size() - bytes.size(), 238u);
    bytes.insert(bytes.end(), {1, 2, 3}); // bytes after the entity section are ignored
    if (!fileName.empty()) {
        std::string onDisk = fileName;
        std::replace(onDisk.begin(), onDisk.end(), '\\', '/');
        ASSERT_TRUE(kepw::WriteFile(dir.Place(onDisk), bytes));
        simhost::ClearCalls();
        ASSERT_EQ(KEP_Load(fileName.c_str(), 0), 1) << LastErrorText();
        ExpectLoadedMapsConsistent(); // as the load helpers do
    } else {
        ASSERT_EQ(LoadFromMemblock(bytes), 1) << LastErrorText();
        std::vector<uint8_t> after; // the memblock stays the caller's, untouched
        ASSERT_TRUE(simhost::ReadMemblock(kMapMemblock, &after));
        EXPECT_EQ(after, bytes);
    }
    const KEP_Map& map = *CurrentMap();
    EXPECT_EQ(map.version, version);

    // The default group first, then the file's last to first (links: the invariant check).
    auto group = [](KEP_Group* g) { return Ints{g->groupNumber, g->flags, NumberOf(g->parent)}; };
    EXPECT_EQ(Each(map.groups, group),
              (std::vector<Ints>{
                  {0, 0, -1}, {5, 55, 3}, {4, 44, -1}, {3, 33, 1}, {2, 22, 1}, {1, 11, -1}}));
    const KEP_Group* g1 = map.groups.At(5);
    EXPECT_EQ(Vec(g1->values), (Ints{1, 2, 3}));
    // Quotes and any further "=" go, spaces stay; no "=": empty value; empty key: nothing.
    Strings pairs;
    for (int32_t i = 0; i < g1->properties.Count(); ++i)
        pairs.push_back(std::string(g1->properties.Key(i)) + "|" + g1->properties.Value(i));
    EXPECT_EQ(pairs, (Strings{"name|Door", "target|t1", "empty|", "a|bd", " a | b "}));

    // CLASSNAME=PIVOT in any case makes a pivot; key and value must match whole.
    auto entityIndex = [&](KEP_Entity* e) { return map.entities.IndexOf(e); };
    EXPECT_EQ(Each(map.pivots, entityIndex), (Ints{0, 2, 3, 5}));
    const bool v5 = version == 5;
    auto visGroup = [](KEP_VisGroup* x) { return x->name.CStr() + std::to_string(x->values[3]); };
    EXPECT_EQ(Each(map.visGroups, visGroup), (v5 ? Strings{"Walls4", "Lights8"} : Strings{}));
    // Group number and visgroup index of each mesh and entity.
    auto links = [&](auto* x) {
        return Ints{NumberOf(x->group), map.visGroups.IndexOf(x->visGroup)};
    };
    auto vis = [&](int32_t index) { return v5 ? index : -1; };
    EXPECT_EQ(Each(map.meshes, links),
              (std::vector<Ints>{{2, vis(1)}, {0, -1}, {-1, -1}, {2, vis(0)}}));
    EXPECT_EQ(Each(map.entities, links),
              (std::vector<Ints>{{1, vis(0)}, {0, -1}, {1, -1}, {-1, -1}, {2, vis(1)}, {0, -1}}));

    // Images from the first free number, none without pixels; a file adds the ambient
    // per channel, capped at 255 with no carry, and clears the top byte.
    auto sizeAndImage = [](KEP_Lightmap* l) { return Ints{l->width, l->height, l->build.image}; };
    EXPECT_EQ(Each(map.lightmaps, sizeAndImage),
              (std::vector<Ints>{{3, 1, 500}, {-3, -2, 0}, {4, 0, 0}}));
    simhost::ImageContent image;
    ASSERT_TRUE(simhost::ReadImage(500, &image));
    EXPECT_EQ(image.pixels,
              (!fileName.empty() ? std::vector<uint32_t>{0x00ac60ffu, 0x00ff20ffu, 0x002cfffau}
                                 : written.lightmaps[0].pixels));
    EXPECT_EQ(g_plugin.settings.ambientColour, 0x2c20fau); // "300 32 250": low bytes

    // CAULK surfaces are dropped; names in any case share a texture; lightmap <= 0: none.
    auto indices = [](KEP_Surface* s) { return Ints{s->textureIndex, s->lightmapIndex}; };
    auto surfaces = [&](KEP_Mesh* m) { return Each(m->surfaces, indices); };
    EXPECT_EQ(Each(map.meshes, surfaces),
              (std::vector<std::vector<Ints>>{{{0, 2}, {0, -1}}, {{1, 0}, {1, -1}}, {}, {}}));
    EXPECT_EQ(simhost::CallsNamed("LoadEx"),
              (Strings{"LoadEx(" + mapDirectory + "Wall.bmp,502,0,0,1)",
                       "LoadEx(" + mapDirectory + "tex/floor.png,503,0,0,1)"}));

    const KEP_Mesh* walls = map.meshes.At(0);
    EXPECT_EQ(walls->flags, 5);
    // Geometry goes once the map is built; the reader alone keeps it.
    const kepsession::MapRead read = kepsession::ReadMapBytes(bytes, true);
    const KEP_Mesh* readWalls = read.map->meshes.At(0);
    // The surface after the dropped one is read whole.
    EXPECT_EQ(readWalls->surfaces.At(1)->geometry.VertexAt(2)->position[2], 4.0f);
    const KEP_Surface* wall = walls->surfaces.At(0);
    EXPECT_EQ(wall->firstValue, 99);
    EXPECT_EQ(Vec(wall->values), (std::vector<float>{1.0f, 2.0f, 3.0f, 4.0f, 5.0f}));
    // Triangle corners, then line ends, as written, even those naming no vertex.
    const KEP_Geometry& geometry = readWalls->surfaces.At(0)->geometry;
    Ints refs;
    for (int32_t i = 0; i < geometry.TriangleCount(); ++i)
        refs.insert(refs.end(), std::begin(geometry.Triangles()[i].corners),
                    std::end(geometry.Triangles()[i].corners));
    for (int32_t i = 0; i < geometry.LineCount(); ++i)
        refs.insert(refs.end(), std::begin(geometry.Lines()[i].ends),
                    std::end(geometry.Lines()[i].ends));
    EXPECT_EQ(refs, (Ints{0, 1, 5, -1, 2, 0, 2, 0, 3, 1}));

    EXPECT_EQ(Vec(map.entities.At(2)->position), (std::vector<float>{14, 5, 1})); // offset
}

INSTANTIATE_TEST_SUITE_P(
    BothCommandsBothVersions, MapRoundTrip,
    ::testing::Values(LoadCase{"MemblockV4", 4, "", ""}, LoadCase{"MemblockV5", 5, "", ""},
                      LoadCase{"FileV4", 4, "maps/level.kep", "maps/"},
                      LoadCase{"FileBackslashV5", 5, "maps\\level.kep", "maps\\"},
                      LoadCase{"FileWithoutDirectoryV4", 4, "level.kep", ""}),
    [](const auto& info) { return std::get<0>(info.param); });

} // namespace
