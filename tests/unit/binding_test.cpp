// The host binding: each host function is looked up by its exact name, once per
// process, in the module whose handle stands in its word of the host's global
// structure, and called with the caller's arguments bit for bit (tests that watch
// lookups run in a fresh process). And the plug-in's own exports.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <kepimport/host_module.h>

#include "core/bits_and_case.h"
#include "frame_helpers.h"
#include "host/CLibrary.h"
#include "host/host_functions.h"
#include "plugin/exports.h"
#include "simhost/simhost.h"
#include "test_host.h"

namespace {

using Lines = std::vector<std::string>;
Lines g_log;

std::string Hex(float value) { // the bits, which any conversion on the way would change
    char text[16];
    std::snprintf(text, sizeof text, "%08x", KepFloatBits(value));
    return text;
}

template <int Module> void DeleteEx(int number) {
    g_log.push_back((Module ? "image" : "object") + (".DeleteEx " + std::to_string(number)));
}
void ObjectPosition(int object, float x, float y, float z) {
    g_log.push_back("object.Position " + std::to_string(object) + " " + Hex(x) + " " + Hex(y) +
                    " " + Hex(z));
}
uint32_t ObjectGetLimbAngleX(int bits, int) { // hands back the pattern it is given
    return static_cast<uint32_t>(bits);
}
char g_hostString[64];
void Allocator(uint32_t* word, uint32_t size) {
    g_log.push_back("allocator " + std::to_string(*word) + " " + std::to_string(size));
    *word = size == 0 ? 0u : static_cast<uint32_t>(reinterpret_cast<uintptr_t>(g_hostString));
}

#define FN(f) reinterpret_cast<void*>(&f)
const std::map<std::string, void*> kFunctions = {
    {"object ?DeleteEx@@YAXH@Z", FN(DeleteEx<0>)},
    {"image ?DeleteEx@@YAXH@Z", FN(DeleteEx<1>)},
    {"object ?Position@@YAXHMMM@Z", FN(ObjectPosition)},
    {"object ?GetLimbAngleX@@YAKHH@Z", FN(ObjectGetLimbAngleX)},
};

void* Resolve(const std::string& module, const char* name) {
    g_log.push_back(module + " looks up " + name);
    const auto found = kFunctions.find(module + " " + name);
    return found == kFunctions.end() ? nullptr : found->second;
}
HostModule g_objectModule = {[](const char* name) { return Resolve("object", name); }};
HostModule g_imageModule = {[](const char* name) { return Resolve("image", name); }};

// Lets the plug-in fetch (and keep) the global structure, then puts the
// recording allocator and modules into its words.
void InstallRecordingHost(ChildChecks& checks) {
    uint32_t* core = GetCorePointer();
    CHILD_EXPECT(checks, core == simhost::GlobalStructure());
    core[0] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&Allocator));
    core[16] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&g_imageModule));
    core[25] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&g_objectModule));
}

TEST(HostBinding, EachFunctionIsLookedUpOnceEvenWhenMissing) {
    EXPECT_IN_FRESH_PROCESS(
        [](ChildChecks& checks) {
            simhost::HideFunction("?GetExist@@YAHH@Z");
            simhost::SetCallLog(simhost::CallLog::kCounts);
            for (int i = 0; i < 3; ++i) {
                host::object::Show(i);
                host::image::GetExistEx(i);
                CHILD_EXPECT(checks, host::object::GetExist(i) == 0); // hidden: calls nothing
            }
            CHILD_EXPECT(checks,
                         simhost::Lookups() == (Lines{"?GetGlobPtr@@YAKXZ", "?Show@@YAXH@Z",
                                                      "?GetExistEx@@YAHH@Z", "?GetExist@@YAHH@Z"}));
            CHILD_EXPECT(checks, simhost::CallCount("Show") == 3u);
            CHILD_EXPECT(checks, simhost::CallCount("GetExist") == 0u);
        },
        "");
}

TEST(HostBinding, CallsReachTheirOwnModuleBitForBitAndStringsComeFromTheAllocator) {
    EXPECT_IN_FRESH_PROCESS(
        [](ChildChecks& checks) {
            InstallRecordingHost(checks);
            host::object::DeleteEx(3);
            host::image::DeleteEx(4);
            host::object::Position(7, KepFloatFromBits(0x80000000u), KepFloatFromBits(1u),
                                   KepFloatFromBits(0x7FC12345u));
            char* text = host::CreateHostString(44); // the allocator finds a zero word
            host::DeleteHostString(nullptr);         // nothing to give back
            host::DeleteHostString(text);
            CHILD_EXPECT(checks, text == g_hostString);
            CHILD_EXPECT(
                checks,
                g_log == (Lines{"object looks up ?DeleteEx@@YAXH@Z", "object.DeleteEx 3",
                                "image looks up ?DeleteEx@@YAXH@Z", "image.DeleteEx 4",
                                "object looks up ?Position@@YAXHMMM@Z",
                                "object.Position 7 80000000 00000001 7fc12345", "allocator 0 44",
                                "allocator " + std::to_string(uintptr_t(text)) + " 0"}));
            for (const char* bits : {"3f800000", "80000000", "00000001", "7fc12345"})
                CHILD_EXPECT(checks,
                             Hex(host::object::GetLimbAngleX(
                                 static_cast<int>(std::stoul(bits, nullptr, 16)), 2)) == bits);
        },
        "");
}

TEST_F(PluginTest, HostStringAllocatorLeavingTheWordZeroGivesNull) {
    simhost::SetStringAllocatorLeavesZero(true);
    EXPECT_EQ(host::CreateHostString(44), nullptr);
    EXPECT_EQ(KEP_Version(nullptr), nullptr);
    EXPECT_EQ(simhost::OutstandingHostStrings(), 0u);
}

TEST(HostBinding, NoCorePointerIsReportedAndNothingCrashes) {
    EXPECT_IN_FRESH_PROCESS(
        [](ChildChecks& checks) {
            simhost::SetGlobPtrReturnsZero(true);
            CHILD_EXPECT(checks, GetCorePointer() == nullptr);
            CHILD_EXPECT(checks, KEP_Version(nullptr) == nullptr);
            CHILD_EXPECT(checks, host::object::GetExist(1) == 0);
            CHILD_EXPECT(checks, host::CreateHostString(8) == nullptr);
            // Nothing was kept, so the next need asks the host again.
            simhost::SetGlobPtrReturnsZero(false);
            CHILD_EXPECT(checks, KEP_Version(nullptr) != nullptr);
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

} // namespace
