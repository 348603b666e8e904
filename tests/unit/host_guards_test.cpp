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

TEST_F(HostGuardTest, ScratchNumbersStepPastTheScriptsOwnAndLeaveThemAsTheyWere) {
    ScriptMemblock(30, 0x30);
    ScriptMemblock(31, 0x31);
    const std::vector<uint8_t> triangle = [] {
        std::vector<uint8_t> bytes(12 + 3 * 12, 0);
        bytes[0] = 0x02, bytes[4] = 12, bytes[8] = 3; // positions only, 3 vertices
        return bytes;
    }();
    ASSERT_TRUE(simhost::MakeMeshFromBytes(1, triangle));
    simhost::SetCallLog(simhost::CallLog::kFull, {"MakeMemblock", "CreateMeshFromMemblock"});
    ASSERT_EQ(Load(LitMap(), 2), 1) << LastErrorText();
    // Lightmap pixels and surfaces pass through memblock 32, surfaces become mesh 2.
    EXPECT_EQ(CallsAmong({"MakeMemblock", "CreateMeshFromMemblock"}),
              "MakeMemblock(32,32) MakeMemblock(32,120) CreateMeshFromMemblock(2,32) "
              "MakeMemblock(32,144) CreateMeshFromMemblock(2,32)");
    EXPECT_EQ(simhost::MemblockNumbers(), (std::vector<int>{kMapMemblock, 30, 31}));
    for (const int number : {30, 31}) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(simhost::ReadMemblock(number, &bytes));
        EXPECT_EQ(bytes, std::vector<uint8_t>(10, static_cast<uint8_t>(number + 18))) << number;
    }
    simhost::MeshInfo mesh;
    ASSERT_TRUE(simhost::FindMesh(1, &mesh));
    EXPECT_EQ(mesh.vertices.size(), 3u);
    EXPECT_EQ(simhost::MeshNumbers(), std::vector<int>{1});
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

// The script deletes the object a map was built into, then makes one of its own
// under that number: pivots act on what is there and fail on what is not.
TEST_F(HostGuardTest, PivotCommandsOnGeometryTheScriptDeletedFailWithTheirMessage) {
    kepw::Map map;
    map.groups = {ChildOf(2), kepw::Group{}}; // group 1 adds limbs 1 and 2 to group 2's object
    map.meshes = {MeshOf(2, {OneTriangle("a.bmp", 0)}),
                  MeshOf(1, {OneTriangle("a.bmp", 0), OneTriangle("a.bmp", 0)})};
    map.entities = {Pivot(2, 0, 0, 0), Pivot(1, 0, 0, 0)}; // pivot 0: object, 1: limb 1
    ASSERT_EQ(Load(map, 0), 1) << LastErrorText();
    // Each command on both pivots: "ok" or its message.
    auto outcomes = [] {
        std::string text;
        for (int32_t pivot = 0; pivot < 2; ++pivot)
            for (void (*command)(int32_t) : {
                     +[](int32_t p) { KEP_Move(p, 1, 2, 3); },
                     +[](int32_t p) { KEP_Position(p, 1, 2, 3); },
                     +[](int32_t p) { KEP_Angle(p, 1, 2, 3); },
                     +[](int32_t p) { KEP_Rotate(p, 1, 2, 3); },
                     +[](int32_t p) { KEP_Show(p); },
                     +[](int32_t p) { KEP_Hide(p); },
                 }) {
                command(pivot);
                text += g_plugin.lastErrorCode == 1 ? "ok;" : LastErrorText() + ";";
            }
        ExpectNoRunTimeError();
        return text;
    };
    std::string ok, failed;
    for (int i = 0; i < 6; ++i)
        ok += "ok;", failed += "Unable to determine group identifier;";
    EXPECT_EQ(outcomes(), ok + ok);
    host::object::DeleteEx(1000);
    EXPECT_EQ(outcomes(), failed + failed);
    simhost::MakeTestObject(1000); // limb 0 only
    EXPECT_EQ(outcomes(), ok + failed);
}

TEST_F(HostGuardTest, TextureCreateOnlyAsksAboutImageNumbersTheHostHas) {
    ASSERT_EQ(Load(kepw::Map(), 0), 1) << LastErrorText();
    for (const int32_t image : {0, -1, simhost::kLastImageNumber + 1, INT32_MIN}) {
        EXPECT_EQ(KEP_TextureCreate("x", image), -1) << image;
        EXPECT_EQ(LastErrorText(), "Invalid image media identifier");
    }
    ExpectNoRunTimeError();
}

} // namespace
