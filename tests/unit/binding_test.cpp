// The host binding: each host function is looked up by its exact name, once per
// process, in the module whose handle stands in its word of the host's global
// structure, and called with the caller's arguments bit for bit (tests that watch
// lookups run in a fresh process). And the plug-in's own exports.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/bits_and_case.h"
#include "host/CLibrary.h"
#include "host/host_functions.h"
#include "load_helpers.h"
#include "plugin/exports.h"

namespace {

// Host functions are looked up once per process and the plug-in's state starts
// from scratch only once, so some tests run in a freshly started copy of the test
// program ("threadsafe" death tests re-execute it), which must pass its checks:
// RunChildChecks runs `body` (gtest checks) and exits without the parent's gtest
// or at-exit work, with code 1 if a check failed. The parent shows only the
// child's stderr, so the failures are told there.
template <class Body> [[noreturn]] void RunChildChecks(Body body) {
    body();
    const testing::TestResult& result =
        *testing::UnitTest::GetInstance()->current_test_info()->result();
    for (int i = 0; i < result.total_part_count(); ++i)
        std::fprintf(stderr, "line %d: %s\n", result.GetTestPartResult(i).line_number(),
                     result.GetTestPartResult(i).message());
    std::fflush(nullptr);
    _exit(result.Failed() ? 1 : 0);
}

#define EXPECT_IN_FRESH_PROCESS(body, stderrPattern)                                               \
    do {                                                                                           \
        GTEST_FLAG_SET(death_test_style, "threadsafe");                                            \
        EXPECT_EXIT(RunChildChecks(body), ::testing::ExitedWithCode(0), stderrPattern);            \
    } while (0)

using Lines = std::vector<std::string>;

TEST(HostBinding, EachFunctionIsLookedUpOnceEvenWhenMissing) {
    EXPECT_IN_FRESH_PROCESS(
        [] {
            simhost::HideFunction("?GetExist@@YAHH@Z");
            simhost::SetCallLog(simhost::CallLog::kCounts);
            for (int i = 0; i < 3; ++i) {
                host::object::Show(i);
                host::image::GetExistEx(i);
                EXPECT_EQ(host::object::GetExist(i), 0); // hidden: calls nothing
            }
            EXPECT_EQ(simhost::Lookups(), (Lines{"?GetGlobPtr@@YAKXZ", "?Show@@YAXH@Z",
                                                 "?GetExistEx@@YAHH@Z", "?GetExist@@YAHH@Z"}));
            EXPECT_EQ(simhost::CallCount("Show"), 3u);
            EXPECT_EQ(simhost::CallCount("GetExist"), 0u);
        },
        "");
}

// Floats reach the host and come back as their bits: a conversion on the way
// would quiet a NaN or lose its payload, or flush a denormal.
TEST_F(PluginTest, FloatsPassBitForBitBothWays) {
    simhost::MakeTestObject(7);
    const uint32_t bits[3] = {0x80000000u, 1u, 0x7FC12345u}; // -0, least denormal, NaN payload
    host::object::Position(7, KepFloatFromBits(bits[0]), KepFloatFromBits(bits[1]),
                           KepFloatFromBits(bits[2]));
    EXPECT_EQ(KepFloatBits(host::object::GetXPositionEx(7)), bits[0]);
    EXPECT_EQ(KepFloatBits(host::object::GetYPositionEx(7)), bits[1]);
    EXPECT_EQ(KepFloatBits(host::object::GetZPositionEx(7)), bits[2]);
}

// The host's allocator fills a zero word and frees the string whose address is
// in the word; one that leaves the word zero gives no string. A text command
// frees the previous text handed to it, even when it has none to give back.
TEST_F(PluginTest, HostStringsComeFromTheHostsAllocatorAndFreeThePreviousOne) {
    static std::vector<std::pair<uint32_t, uint32_t>> calls; // the word handed in, the size
    static char block[64];
    const auto word = [](auto* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); };
    uint32_t& allocator = simhost::GlobalStructure()[kStringAllocatorWord];
    const uint32_t standIn = allocator;
    allocator = word(+[](uint32_t* at, uint32_t size) {
        calls.push_back({*at, size});
        *at = size == 0 ? 0u : static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block));
    });
    char* given = host::CreateHostString(44);
    host::DeleteHostString(nullptr); // nothing to give back
    host::DeleteHostString(given);
    allocator = standIn;
    EXPECT_EQ(given, block);
    EXPECT_EQ(calls, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 44}, {word(block), 0}}));
    EXPECT_EQ(KEP_Load("/nonexistent-kep-dir/missing.kep", 0), 0);
    const std::string failure = LastErrorText();
    char* text = KEP_GetLastErrorText(KEP_GetLastErrorText(nullptr)); // asking changes nothing
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text, failure);
    EXPECT_EQ(simhost::OutstandingHostStrings(), 1u);
    text = KEP_Version(text);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(simhost::OutstandingHostStrings(), 1u);
    EXPECT_EQ(KEP_GetLastErrorText(text), nullptr); // no error: null, the old one still freed
    simhost::SetStringAllocatorLeavesZero(true);
    EXPECT_EQ(host::CreateHostString(44), nullptr);
    EXPECT_EQ(KEP_Version(nullptr), nullptr);
    EXPECT_EQ(simhost::OutstandingHostStrings(), 0u);
}

TEST(HostBinding, NoCorePointerIsReportedAndNothingCrashes) {
    EXPECT_IN_FRESH_PROCESS(
        [] {
            simhost::SetGlobPtrReturnsZero(true);
            EXPECT_EQ(GetCorePointer(), nullptr);
            EXPECT_EQ(KEP_Version(nullptr), nullptr);
            EXPECT_EQ(host::object::GetExist(1), 0);
            EXPECT_EQ(host::CreateHostString(8), nullptr);
            // Nothing was kept, so the next need asks the host again.
            simhost::SetGlobPtrReturnsZero(false);
            EXPECT_NE(KEP_Version(nullptr), nullptr);
        },
        "No Core Pointer: Unable to get core pointer");
}

// The finished KEPImport.so exports exactly the command table's names.
TEST(PluginSharedObject, DefinesExactlyTheCommandTableNamesAsDynamicSymbols) {
    std::set<std::string> expected;
    const auto function = [&](const std::string& row) { // "name[%types%function%help"
        const std::size_t at = row.find('%', row.find('%') + 1) + 1;
        expected.insert(row.substr(at, row.find('%', at) - at));
    };
#define KEP_COMMAND(id, row) function(row);
#define KEP_EXTRA_EXPORT(name) expected.insert(#name);
#include "plugin/command_table.inc"
    FILE* nm = popen("nm -D --defined-only --format=posix '" KEP_PLUGIN_SO "'", "r");
    ASSERT_NE(nm, nullptr);
    std::multiset<std::string> exported;
    for (char line[512]; std::fgets(line, sizeof line, nm);)
        exported.insert(std::string(line, std::strcspn(line, " \n")));
    EXPECT_EQ(pclose(nm), 0);
    EXPECT_EQ(exported, std::multiset<std::string>(expected.begin(), expected.end()));
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
