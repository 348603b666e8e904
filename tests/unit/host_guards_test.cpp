// What a script holds and does never makes the host end it (the stand-in records
// every call the real host would answer with a run-time error; the load helpers
// fail a test for each).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame_helpers.h"
#include "host/host_functions.h"
#include "kep_session.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "scene_helpers.h"
#include "simhost/memblocks_images.h"

namespace {

using namespace scene_test;
using HostGuardTest = SceneTest;

// Memblock `number` of the script, ten bytes of `fill`, made as a script makes it.
void ScriptMemblock(int number, uint8_t fill) {
    host::memblock::MakeMemblock(number, 10);
    const uintptr_t address = host::memblock::GetMemblockPtr(number);
    std::memset(reinterpret_cast<void*>(address), fill, 10);
}

// A map with a lightmap and two surfaces, the second on it.
kepw::Map LitMap() {
    kepw::Map map;
    map.lightmaps = {kepw::PatternLightmap(2, 2, 1)};
    map.meshes = {MeshOf(0, {OneTriangle("a.bmp", 0), OneTriangle("a.bmp", 1)})};
    return map;
}

TEST_F(HostGuardTest, WithNoMemblockNumberFreeTheLoadFailsSayingSo) {
    for (int number = 31; number <= simhost::kLastMemblockNumber; ++number)
        ScriptMemblock(number, 1);
    EXPECT_EQ(Load(LitMap(), 2), 0);
    EXPECT_EQ(LastErrorText(), "No free memblock number");
    KEP_Clear();
    kepw::Map unlit = LitMap();
    unlit.lightmaps.clear();
    ASSERT_EQ(Load(unlit, 0), 1) << LastErrorText(); // memblock 30 is still free
    KEP_Clear();
    ScriptMemblock(30, 1);
    EXPECT_EQ(Load(unlit, 0), 0);
    EXPECT_EQ(LastErrorText(), "No free memblock number");
    EXPECT_TRUE(simhost::ObjectNumbers().empty());
    EXPECT_EQ(simhost::MemblockNumbers().size(), 229u); // the script's and the map's
}

// A host without the silent loader gets the plain one, which ends the script on
// a file it cannot read: the plug-in cannot prevent that on such a host.
TEST_F(PluginTest, AHostWithoutTheSilentLoaderIsGivenThePlainOne) {
    EXPECT_IN_FRESH_PROCESS(
        [] {
            simhost::HideFunction("?LoadEx@@YAXPADHHHH@Z");
            TempDir dir;
            WriteImageFile(dir.Place("good/a.bmp"));
            EXPECT_TRUE(kepw::WriteFile(dir.Place("junk/a.bmp"), {'n', 'o'}));
            kepw::Map map;
            map.meshes = {MeshOf(0, {OneTriangle("a.bmp", 0)})};
            simhost::SetCallLog(simhost::CallLog::kFull, {"LoadEx"});
            for (const char* folder : {"good", "junk"})
                kepw::WriteFile(dir.Place(std::string(folder) + "/level.kep"), kepw::Write(map));
            EXPECT_TRUE(kepsession::LoadFile(dir.Place("good/level.kep"), 0));
            EXPECT_TRUE(simhost::RunTimeErrors().empty());
            EXPECT_FALSE(kepsession::LoadFile(dir.Place("junk/level.kep"), 0));
            EXPECT_EQ(simhost::CallsNamed("LoadEx"),
                      std::vector<std::string>{"LoadEx(" + dir.Place("junk/a.bmp") + ",1001)"});
            ASSERT_EQ(simhost::RunTimeErrors().size(), 1u);
            EXPECT_EQ(simhost::RunTimeErrors()[0].code, simhost::kImageLoadFailed);
        },
        "");
}

} // namespace
