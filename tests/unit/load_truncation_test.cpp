// A map cut off at any byte fails cleanly: no crash, result 0 with a message,
// and clearing the half-read map gives back everything (checked by LeakSanitizer
// in sanitizer builds, and through the host's images and memblocks always).
#include <gtest/gtest.h>

#include <string>

#include "load_helpers.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "simhost/memblocks_images.h"
#include "test_host.h"

namespace {

kepw::Map SmallCompleteMap(int32_t version) {
    kepw::Map map;
    map.version = version;
    map.groups = {{1, 0, "name=top", {1, 2, 3}}, {2, 1, "name=child\nx=y", {4, 5, 6}}};
    map.visGroups = {{"vis", {1, 2, 3, 4}}};
    map.lightmaps = {kepw::PatternLightmap(2, 2, 5)};
    kepw::Mesh mesh;
    mesh.group = 2;
    mesh.properties = "m=1";
    mesh.visGroup = 1;
    kepw::Surface textured = kepw::TriangleSurface("t.bmp", 1);
    textured.lines = {{0, 2}};
    mesh.surfaces = {textured, kepw::TriangleSurface("caulk", 0),
                     kepw::TriangleSurface("T.BMP", 0)};
    map.meshes = {mesh};
    map.entities = {{1, 1, "classname=pivot", {1, 2, 3}}, {0, 2, "ambient=1 2 3", {4, 5, 6}}};
    return map;
}

bool IsTruncationMessage(const std::string& text) {
    // A cut inside a texture name leaves a shorter name that has no file; a cut
    // right before it leaves the empty name, which names the map's directory:
    // that exists, but is no image.
    return text == "EOF" || text.rfind("Unable to find texture: ", 0) == 0 ||
           text == "Invalid image identifier";
}

class TruncationTest : public PluginTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(TruncationTest, EveryCutFailsCleanlyAndClearsCompletely) {
    TempDir dir;
    WriteImageFile(dir.Place("t.bmp"));
    const std::string path = dir.Place("cut.kep");
    const kepw::Bytes whole = kepw::Write(SmallCompleteMap(GetParam()));
    ScopedWorkingDir here(dir.Path()); // memblock maps find t.bmp here

    // The whole map loads; every shorter prefix of it fails.
    ASSERT_EQ(LoadFromFile(path, whole), 1) << LastErrorText();
    ASSERT_EQ(LoadFromMemblock(whole), 1) << LastErrorText();
    KEP_Clear();
    KEP_Clear();
    ASSERT_EQ(g_plugin.maps.Count(), 0);

    for (std::size_t size = 0; size < whole.size(); ++size) {
        SCOPED_TRACE("cut at " + std::to_string(size) + " of " + std::to_string(whole.size()));
        const kepw::Bytes cut = kepw::Truncate(whole, size);
        for (bool fromFile : {true, false}) {
            if (!fromFile && size == 0) continue; // the host has no empty memblocks
            const int32_t result = fromFile ? LoadFromFile(path, cut) : LoadFromMemblock(cut);
            EXPECT_EQ(result, 0);
            EXPECT_EQ(KEP_GetLastError(), 0);
            EXPECT_TRUE(IsTruncationMessage(LastErrorText())) << LastErrorText();
            // No scratch memblock is left behind.
            const std::vector<int> memblocks = simhost::MemblockNumbers();
            EXPECT_TRUE(memblocks.empty() || memblocks == std::vector<int>{kMapMemblock});
            // A map exists once the version has been read, and is current.
            EXPECT_EQ(g_plugin.maps.Count(), size >= 4 ? 1 : 0);
            KEP_Clear();
            EXPECT_EQ(g_plugin.maps.Count(), 0);
            EXPECT_EQ(CurrentMap(), nullptr);
            EXPECT_TRUE(simhost::ImageNumbers().empty());
            if (HasFailure()) return;
        }
    }
    EXPECT_TRUE(NoLeaksSoFar());
}

INSTANTIATE_TEST_SUITE_P(BothVersions, TruncationTest, ::testing::Values(4, 5),
                         [](const ::testing::TestParamInfo<int32_t>& info) {
                             return "V" + std::to_string(info.param);
                         });

} // namespace
