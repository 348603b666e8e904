// What each way a load can fail reports and leaves behind, down to data cut off
// anywhere or claiming more than it holds: result 0 with a message, no crash, and
// nothing left after clearing (LeakSanitizer checks that in sanitizer builds).
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "host/host_functions.h"
#include "load_helpers.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "simhost/memblocks_images.h"
#include "simhost/scene.h"
#include "test_host.h"

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

// Maps are read in a directory that holds their textures; half/ holds only t.bmp.
class LoadFailureTest : public PluginTest {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        for (const char* name : {"t.bmp", "u.bmp", "half/t.bmp"})
            WriteImageFile(dir.Place(name));
    }
    TempDir dir;
    ScopedWorkingDir here{dir.Path()};
};

TEST_F(LoadFailureTest, EachFailureGivesItsMessageAndKeepsWhatItShould) {
    const kepw::Bytes empty = kepw::Write(kepw::Map{});
    const kepw::Bytes complete = kepw::Write(SmallCompleteMap(5));
    ASSERT_EQ(empty.size(), 20u); // version and four counts; version 5 adds visgroups
    ASSERT_EQ(complete.size() - kepw::Write(SmallCompleteMap(4)).size(), 4u + 4 + 4 + 16);
    ASSERT_TRUE(kepw::WriteFile(dir.Place("junk/t.bmp"), {'n', 'o', 't', 'e', 's'}));
    const std::string missing = dir.Path() + "/nowhere/level.kep";
    // A file whose name, at 260 characters, is longer than a map path holds.
    const std::string tooLong = dir.Path() + "/" + std::string(259 - dir.Path().size(), 'f');
    ASSERT_TRUE(kepw::WriteFile(tooLong, empty));
    host::memblock::MakeMemblock(9, 0); // the host makes nothing for size 0
    simhost::MakeTestImage(INT_MAX, 1, 1, {0});
    auto file = [this](const std::string& name, kepw::Bytes bytes) {
        return [this, name, bytes] { return LoadFromFile(dir.Place(name), bytes); };
    };
    auto memblock = [](kepw::Bytes bytes) { return [bytes] { return LoadFromMemblock(bytes); }; };
    // The load, its message, and whether it makes a map (else only the error state changes).
    using Row = std::tuple<std::function<int32_t()>, std::string, bool>;
    const std::string noFile = "Unable to load the file ";
    const Row rows[] = {
        {[&] { return KEP_Load(missing.c_str(), 2); }, noFile + missing, false},
        {[] { return KEP_Load(nullptr, 0); }, noFile, false},
        {[] { return KEP_Load("", 0); }, noFile, false},
        {[&] { return KEP_Load(tooLong.c_str(), 0); }, noFile + tooLong, false},
        {[] { return KEP_MakeKEPFromMemblock(42, 0); }, "Invalid Memblock identifier: 42", false},
        {[] { return KEP_MakeKEPFromMemblock(9, 0); }, "Invalid Memblock identifier: 9", false},
        {file("e.kep", {}), "EOF", false},
        {file("e.kep", kepw::Truncate(empty, 3)), "EOF", false},
        {memblock(kepw::Truncate(empty, 1)), "EOF", false},
        {file("e.kep", kepw::WithVersion(empty, 3)), "Unsupported Version", false},
        {memblock(kepw::WithVersion(empty, 6)), "Unsupported Version", false},
        {memblock(kepw::Truncate(empty, 10)), "EOF", true},
        {file("bare/level.kep", complete), "Unable to find texture: " + dir.Path() + "/bare/t.bmp",
         true},
        {file("junk/level.kep", complete), "Invalid image identifier", true},
        // Settings last: each holds for the rows after it.
        {[&] { return KEP_MediaIncluded(1), file("bare/level.kep", complete)(); },
         "Invalid image identifier", true},
        {[&] { return KEP_InitialImage(INT_MAX), LoadFromMemblock(complete); },
         "Invalid image identifier", true}, // no free image number
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        const auto& [load, message, makesAMap] = rows[i];
        while (g_plugin.maps.Count() > 0)
            KEP_Clear();
        ASSERT_EQ(LoadFromMemblock(empty), 1) << LastErrorText();
        KEP_Map* before = CurrentMap();
        const int32_t counter = g_plugin.mapNumberCounter;
        EXPECT_EQ(load(), 0);
        EXPECT_EQ(KEP_GetLastError(), 0);
        EXPECT_EQ(LastErrorText(), message);
        EXPECT_EQ(g_plugin.maps.Count(), makesAMap ? 2 : 1);
        EXPECT_EQ(g_plugin.mapNumberCounter, counter + (makesAMap ? 1 : 0));
        EXPECT_EQ(CurrentMap() != before, makesAMap);
    }
    EXPECT_EQ(LoadFromFile(tooLong.substr(0, 259), empty), 1) << LastErrorText();
}

TEST_F(LoadFailureTest, HalfReadMapKeepsWhatWasReadAndClearsCompletely) {
    simhost::SetCallLog(simhost::CallLog::kFull);
    KEP_InitialImage(-7); // image numbers never go below 1
    EXPECT_EQ(LoadFromFile(dir.Place("half/level.kep"), kepw::Write(SmallCompleteMap(5))), 0);
    const KEP_Map& map = *CurrentMap();
    EXPECT_EQ(GroupNumbered(map, 2)->parent, GroupNumbered(map, 1));
    EXPECT_EQ(map.visGroups.Count(), 1);
    EXPECT_EQ(map.lightmaps.At(0)->image, 1);
    // The mesh being read stays, with the surface completed before the failure.
    ASSERT_EQ(map.meshes.Count(), 1);
    EXPECT_EQ(map.meshes.At(0)->surfaces.Count(), 1);
    EXPECT_EQ(GroupNumbered(map, 2)->meshes.At(0), map.meshes.At(0));
    EXPECT_EQ(map.entities.Count(), 0);
    EXPECT_EQ(simhost::ImageNumbers(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(simhost::ObjectNumbers().empty());       // nothing is built
    EXPECT_EQ(simhost::CallsNamed("LoadEx").size(), 1u); // the missing file is never handed over
    KEP_Clear();
    EXPECT_TRUE(simhost::ImageNumbers().empty());
    EXPECT_TRUE(NoLeaksSoFar());
}

TEST_F(LoadFailureTest, EveryCutOfEitherVersionFailsCleanlyAndClearsCompletely) {
    const std::string path = dir.Place("cut.kep");
    for (int32_t version : {4, 5}) {
        const kepw::Bytes whole = kepw::Write(SmallCompleteMap(version));
        ASSERT_EQ(LoadFromFile(path, whole), 1) << LastErrorText();
        for (std::size_t size = 0; size < whole.size(); ++size) {
            SCOPED_TRACE("version " + std::to_string(version) + " cut at " + std::to_string(size));
            for (bool fromFile : {true, false}) {
                while (g_plugin.maps.Count() > 0)
                    KEP_Clear();
                if (!fromFile && size == 0) continue; // the host has no empty memblocks
                const kepw::Bytes cut = kepw::Truncate(whole, size);
                EXPECT_EQ(fromFile ? LoadFromFile(path, cut) : LoadFromMemblock(cut), 0);
                EXPECT_EQ(KEP_GetLastError(), 0);
                // A cut texture name names no file, or (empty) the directory: no image.
                const std::string text = LastErrorText();
                EXPECT_TRUE(text == "EOF" || text.rfind("Unable to find texture: ", 0) == 0 ||
                            text == "Invalid image identifier")
                    << text;
                EXPECT_EQ(g_plugin.maps.Count(), size >= 4 ? 1 : 0); // once the version is read
                KEP_Clear();
                EXPECT_TRUE(simhost::ImageNumbers().empty());
                const std::vector<int> memblocks = simhost::MemblockNumbers(); // no scratch left
                EXPECT_TRUE(memblocks.empty() || memblocks == std::vector<int>{kMapMemblock});
                if (HasFailure()) return;
            }
        }
    }
    EXPECT_TRUE(NoLeaksSoFar());
}

// Whatever a count or the product of a lightmap's sides claims, the load fails
// when the data runs out and never asks the host for more memory than that.
TEST_F(LoadFailureTest, ClaimsLargerThanTheDataFailFast) {
    simhost::SetCallLog(simhost::CallLog::kFull);
    auto lightmap = [](int32_t width, int32_t height) {
        return [=](kepw::Map& m) { m.lightmaps[0].width = width, m.lightmaps[0].height = height; };
    };
    const std::function<void(kepw::Map&)> claims[] = {
        [](kepw::Map& m) { m.groupCount = INT_MAX; },
        [](kepw::Map& m) { m.visGroupCount = INT_MAX; },
        [](kepw::Map& m) { m.lightmapCount = INT_MAX; },
        // Without the entity section: a further mesh or surface would read it.
        [](kepw::Map& m) { m.meshCount = INT_MAX, m.entities.clear(); },
        [](kepw::Map& m) { m.meshes[0].surfaceCount = INT_MAX, m.entities.clear(); },
        [](kepw::Map& m) { m.meshes[0].surfaces[0].vertexCount = INT_MAX; },
        [](kepw::Map& m) { m.meshes[0].surfaces[0].triangleCount = INT_MAX; },
        [](kepw::Map& m) { m.meshes[0].surfaces[0].lineCount = INT_MAX; },
        [](kepw::Map& m) { m.entityCount = INT_MAX; },
        // Sides whose product overflows 32 bits must not shrink the claim.
        lightmap(1000, 1000), lightmap(65536, 65536), lightmap(0x40000000, 4), lightmap(INT_MAX, 2),
        lightmap(3, INT_MAX)};
    for (const auto& claim : claims) {
        SCOPED_TRACE(&claim - claims);
        kepw::Map source = SmallCompleteMap(5);
        claim(source);
        kepw::Bytes bytes = kepw::Write(source);
        if (source.entities.empty()) bytes.resize(bytes.size() - 4);
        EXPECT_EQ(LoadFromMemblock(bytes), 0);
        EXPECT_EQ(LastErrorText(), "EOF");
        for (const std::string& call : simhost::CallsNamed("MakeMemblock")) // "(31,size)"
            EXPECT_LE(std::stoul(call.substr(call.find(',') + 1)), bytes.size() + 16) << call;
        EXPECT_TRUE(simhost::RefusedWrites().empty());
        KEP_Clear();
    }
    EXPECT_TRUE(NoLeaksSoFar());
}

} // namespace
