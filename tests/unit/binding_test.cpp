// The host binding: each host function is looked up by its exact name in the
// module whose handle stands in its word of the host's global structure, once
// per process, and called with the caller's arguments bit for bit.
//
// Slots are resolved once per process, so every test that watches lookups runs
// in a freshly started copy of this program. Several of them swap the stand-in
// host's modules for the recording modules below, which makes each call and
// each lookup visible with the module that received it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <kepimport/host_module.h>

#include "frame_helpers.h"
#include "host/CLibrary.h"
#include "host/host_functions.h"
#include "plugin/exports.h"
#include "simhost/simhost.h"
#include "test_host.h"

namespace {

// --- recording modules --------------------------------------------------------

std::vector<std::string> g_asked; // "module lookup-name"
std::vector<std::string> g_calls; // "module.Function(args)"

uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float FromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

void Log(const std::string& call) {
    g_calls.push_back(call);
}

// 3D-object module. Float arguments are logged as their bits; getters of
// float bits hand back their first argument, so a test picks the pattern.
void ObjectDeleteEx(int object) {
    Log("object.DeleteEx(" + std::to_string(object) + ")");
}
void ObjectPosition(int object, float x, float y, float z) {
    Log("object.Position(" + std::to_string(object) + "," + Hex(Bits(x)) + "," + Hex(Bits(y)) +
        "," + Hex(Bits(z)) + ")");
}
void ObjectOffsetLimb(int object, int limb, float x, float y, float z) {
    Log("object.OffsetLimb(" + std::to_string(object) + "," + std::to_string(limb) + "," +
        Hex(Bits(x)) + "," + Hex(Bits(y)) + "," + Hex(Bits(z)) + ")");
}
void ObjectSetSmoothing(int object, float angle) {
    Log("object.SetSmoothing(" + std::to_string(object) + "," + Hex(Bits(angle)) + ")");
}
void ObjectTextureLimbStage(int object, int limb, int stage, int image) {
    Log("object.TextureLimbStage(" + std::to_string(object) + "," + std::to_string(limb) + "," +
        std::to_string(stage) + "," + std::to_string(image) + ")");
}
uint32_t ObjectGetPosition(int bits) {
    return static_cast<uint32_t>(bits);
}
uint32_t ObjectGetLimbAngle(int bits, int limb) {
    Log("object.GetLimbAngleX(" + Hex(static_cast<uint32_t>(bits)) + "," + std::to_string(limb) +
        ")");
    return static_cast<uint32_t>(bits);
}
int ObjectGetExist(int object) {
    return object + 1;
}
sObject* ObjectGetObjectA(int object) {
    return reinterpret_cast<sObject*>(static_cast<uintptr_t>(0x10000000u + object));
}

// Image module.
void ImageDeleteEx(int image) {
    Log("image.DeleteEx(" + std::to_string(image) + ")");
}
char* g_loadedName = nullptr;
void ImageLoadEx(char* name, int image) {
    g_loadedName = name;
    Log("image.LoadEx(" + std::string(name) + "," + std::to_string(image) + ")");
}

// Memblock module.
void MemblockMake(int memblock, int size) {
    Log("memblock.MakeMemblock(" + std::to_string(memblock) + "," + std::to_string(size) + ")");
}
uint32_t MemblockPtr(int) {
    return 0x80001234u;
}
int MemblockSize(int) {
    return -5;
}
void MemblockWriteDWord(int memblock, int position, uint32_t value) {
    Log("memblock.WriteMemblockDWord(" + std::to_string(memblock) + "," + std::to_string(position) +
        "," + Hex(value) + ")");
}
void MemblockWriteFloat(int memblock, int position, float value) {
    Log("memblock.WriteMemblockFloat(" + std::to_string(memblock) + "," + std::to_string(position) +
        "," + Hex(Bits(value)) + ")");
}

struct Entry {
    const char* lookupName;
    void* function;
};

template <std::size_t N> void* Find(const char* module, const Entry (&table)[N], const char* name) {
    g_asked.push_back(std::string(module) + " " + name);
    for (const Entry& e : table)
        if (std::strcmp(e.lookupName, name) == 0) return e.function;
    return nullptr;
}

#define FN(f) reinterpret_cast<void*>(&f)
const Entry kObject[] = {
    {"?DeleteEx@@YAXH@Z", FN(ObjectDeleteEx)},
    {"?Position@@YAXHMMM@Z", FN(ObjectPosition)},
    {"?OffsetLimb@@YAXHHMMM@Z", FN(ObjectOffsetLimb)},
    {"?SetSmoothing@@YAXHM@Z", FN(ObjectSetSmoothing)},
    {"?TextureLimbStage@@YAXHHHH@Z", FN(ObjectTextureLimbStage)},
    {"?GetXPositionEx@@YAKH@Z", FN(ObjectGetPosition)},
    {"?GetYPositionEx@@YAKH@Z", FN(ObjectGetPosition)},
    {"?GetZPositionEx@@YAKH@Z", FN(ObjectGetPosition)},
    {"?GetXRotationEx@@YAKH@Z", FN(ObjectGetPosition)},
    {"?GetLimbAngleX@@YAKHH@Z", FN(ObjectGetLimbAngle)},
    {"?GetExist@@YAHH@Z", FN(ObjectGetExist)},
    {"?GetObjectA@@YAPAUsObject@@H@Z", FN(ObjectGetObjectA)},
};
const Entry kImage[] = {
    {"?DeleteEx@@YAXH@Z", FN(ImageDeleteEx)},
    {"?LoadEx@@YAXPADH@Z", FN(ImageLoadEx)},
};
const Entry kMemblock[] = {
    {"?MakeMemblock@@YAXHH@Z", FN(MemblockMake)},
    {"?GetMemblockPtr@@YAKH@Z", FN(MemblockPtr)},
    {"?GetMemblockSize@@YAHH@Z", FN(MemblockSize)},
    {"?WriteMemblockDWord@@YAXHHK@Z", FN(MemblockWriteDWord)},
    {"?WriteMemblockFloat@@YAXHHM@Z", FN(MemblockWriteFloat)},
};
#undef FN

void* ResolveObject(const char* name) {
    return Find("object", kObject, name);
}
void* ResolveImage(const char* name) {
    return Find("image", kImage, name);
}
void* ResolveMemblock(const char* name) {
    return Find("memblock", kMemblock, name);
}
HostModule g_objectModule = {&ResolveObject};
HostModule g_imageModule = {&ResolveImage};
HostModule g_memblockModule = {&ResolveMemblock};

// Host string allocator that logs the word it finds and the size it is asked.
char g_hostStringBuffer[64];
void RecordingAllocator(uint32_t* word, uint32_t size) {
    Log("allocator(" + Hex(*word) + "," + std::to_string(size) + ")");
    *word = size == 0 ? 0u : static_cast<uint32_t>(reinterpret_cast<uintptr_t>(g_hostStringBuffer));
}

uint32_t Word(const void* p) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}

// Lets the plug-in fetch (and keep) the global structure, then puts the
// recording modules into its words. The stand-in host rewrites those words
// whenever its GetGlobPtr runs, which the plug-in does only once.
void InstallRecordingHost(ChildChecks& checks) {
    uint32_t* core = GetCorePointer();
    CHILD_EXPECT(checks, core != nullptr);
    CHILD_EXPECT(checks, core == simhost::GlobalStructure());
    core[0] = Word(reinterpret_cast<const void*>(&RecordingAllocator));
    core[16] = Word(&g_imageModule);
    core[21] = Word(&g_memblockModule);
    core[25] = Word(&g_objectModule);
}

int Count(const std::vector<std::string>& list, const std::string& value) {
    int n = 0;
    for (const std::string& item : list)
        n += item == value;
    return n;
}

using Lines = std::vector<std::string>;

// --- lookups ------------------------------------------------------------------

TEST(HostBinding, FirstCallLooksUpItsOwnFunctionOnceAndNoOther) {
    EXPECT_IN_FRESH_PROCESS(
        [](ChildChecks& checks) {
            CHILD_EXPECT(checks, simhost::Lookups().empty());
            host::object::Show(5);
            CHILD_EXPECT(checks,
                         simhost::Lookups() == (Lines{"?GetGlobPtr@@YAKXZ", "?Show@@YAXH@Z"}));
            host::object::Show(6);
            host::object::Show(7);
            CHILD_EXPECT(checks, simhost::Lookups().size() == 2u);
            // Another wrapper looks up its own name only: the core pointer is kept.
            host::image::GetExistEx(1);
            host::image::GetExistEx(2);
            CHILD_EXPECT(checks, simhost::Lookups() == (Lines{"?GetGlobPtr@@YAKXZ", "?Show@@YAXH@Z",
                                                              "?GetExistEx@@YAHH@Z"}));
            CHILD_EXPECT(checks, simhost::CallsNamed("GetGlobPtr").size() == 1u);
        },
        "");
}

TEST(HostBinding, MissingFunctionIsLookedUpOnceAndCallsNothing) {
    EXPECT_IN_FRESH_PROCESS(
        [](ChildChecks& checks) {
            InstallRecordingHost(checks);
            // None of these is in the recording modules.
            host::object::Hide(1);
            host::object::Hide(2);
            CHILD_EXPECT(checks, host::object::GetLimbAngleZ(1, 2) == 0.0f);
            CHILD_EXPECT(checks, host::image::GetExistEx(3) == 0);
            CHILD_EXPECT(checks, host::image::GetExistEx(3) == 0);
            CHILD_EXPECT(checks, host::memblock::MemblockExist(4) == 0);
            CHILD_EXPECT(checks, Count(g_asked, "object ?Hide@@YAXH@Z") == 1);
            CHILD_EXPECT(checks, Count(g_asked, "image ?GetExistEx@@YAHH@Z") == 1);
            CHILD_EXPECT(checks, g_asked.size() == 4u);
            CHILD_EXPECT(checks, g_calls.empty());
        },
        "");
}

TEST(HostBinding, FunctionHiddenByTheHostStaysUnresolved) {
    EXPECT_IN_FRESH_PROCESS(
        [](ChildChecks& checks) {
            simhost::HideFunction("?GetExist@@YAHH@Z");
            simhost::HideFunction("?GetObjectA@@YAPAUsObject@@H@Z");
            CHILD_EXPECT(checks, host::object::GetExist(1) == 0);
            CHILD_EXPECT(checks, host::object::GetExist(1) == 0);
            CHILD_EXPECT(checks, host::object::GetObjectA(1) == nullptr);
            int asked = 0;
            for (const std::string& name : simhost::Lookups())
                asked += name == "?GetExist@@YAHH@Z";
            CHILD_EXPECT(checks, asked == 1);
        },
        "");
}

TEST(HostBinding, TheTwoDeleteExWrappersReachTheirOwnModules) {
    EXPECT_IN_FRESH_PROCESS(
        [](ChildChecks& checks) {
            InstallRecordingHost(checks);
            host::object::DeleteEx(3);
            host::image::DeleteEx(4);
            host::object::DeleteEx(5);
            host::image::DeleteEx(6);
            CHILD_EXPECT(checks,
                         g_asked == (Lines{"object ?DeleteEx@@YAXH@Z", "image ?DeleteEx@@YAXH@Z"}));
            CHILD_EXPECT(checks, g_calls == (Lines{"object.DeleteEx(3)", "image.DeleteEx(4)",
                                                   "object.DeleteEx(5)", "image.DeleteEx(6)"}));
        },
        "");
}

TEST(HostBinding, EachModuleIsReachedThroughItsOwnWord) {
    EXPECT_IN_FRESH_PROCESS(
        [](ChildChecks& checks) {
            InstallRecordingHost(checks);
            char name[] = "maps\\wall.bmp";
            host::memblock::MakeMemblock(30, 64);
            host::image::LoadEx(name, 1001);
            host::object::TextureLimbStage(1000, 2, 1, 1001);
            CHILD_EXPECT(checks, g_asked == (Lines{"memblock ?MakeMemblock@@YAXHH@Z",
                                                   "image ?LoadEx@@YAXPADH@Z",
                                                   "object ?TextureLimbStage@@YAXHHHH@Z"}));
            CHILD_EXPECT(checks, g_calls == (Lines{"memblock.MakeMemblock(30,64)",
                                                   "image.LoadEx(maps\\wall.bmp,1001)",
                                                   "object.TextureLimbStage(1000,2,1,1001)"}));
            CHILD_EXPECT(checks, g_loadedName == name); // the caller's pointer itself
        },
        "");
}

// --- arguments and results ------------------------------------------------------

TEST(HostBinding, FloatArgumentsReachTheHostBitForBit) {
    EXPECT_IN_FRESH_PROCESS(
        [](ChildChecks& checks) {
            InstallRecordingHost(checks);
            host::object::Position(7, 1.5f, -2.0f, 0.25f);
            // Negative zero, the smallest denormal and a NaN with a payload
            // would all change under any conversion.
            host::object::OffsetLimb(1, 2, FromBits(0x80000000u), FromBits(0x00000001u),
                                     FromBits(0x7FC12345u));
            host::object::SetSmoothing(9, FromBits(0x7F7FFFFFu));
            host::memblock::WriteMemblockFloat(30, 8, 0.1f);
            host::memblock::WriteMemblockDWord(30, 12, 0xFFFFFFFFu);
            CHILD_EXPECT(checks,
                         g_calls == (Lines{"object.Position(7,3fc00000,c0000000,3e800000)",
                                           "object.OffsetLimb(1,2,80000000,00000001,7fc12345)",
                                           "object.SetSmoothing(9,7f7fffff)",
                                           "memblock.WriteMemblockFloat(30,8,3dcccccd)",
                                           "memblock.WriteMemblockDWord(30,12,ffffffff)"}));
        },
        "");
}

TEST(HostBinding, FloatBitsGettersReinterpretTheHostsWord) {
    EXPECT_IN_FRESH_PROCESS(
        [](ChildChecks& checks) {
            InstallRecordingHost(checks);
            CHILD_EXPECT(checks, host::object::GetXPositionEx(0x3F800000) == 1.0f);
            CHILD_EXPECT(checks,
                         host::object::GetYPositionEx(static_cast<int>(0xBF800000u)) == -1.0f);
            CHILD_EXPECT(checks, Bits(host::object::GetZPositionEx(
                                     static_cast<int>(0x80000000u))) == 0x80000000u);
            CHILD_EXPECT(checks, Bits(host::object::GetXRotationEx(1)) == 1u);
            CHILD_EXPECT(checks, Bits(host::object::GetXPositionEx(0x7FC12345)) == 0x7FC12345u);
            CHILD_EXPECT(checks, Bits(host::object::GetLimbAngleX(0x40490FDB, 2)) == 0x40490FDBu);
            CHILD_EXPECT(checks, g_calls == (Lines{"object.GetLimbAngleX(40490fdb,2)"}));
        },
        "");
}

TEST(HostBinding, ResultsComeBackUnchanged) {
    EXPECT_IN_FRESH_PROCESS(
        [](ChildChecks& checks) {
            InstallRecordingHost(checks);
            CHILD_EXPECT(checks, host::object::GetExist(41) == 42);
            CHILD_EXPECT(checks, host::object::GetObjectA(9) ==
                                     reinterpret_cast<sObject*>(uintptr_t{0x10000009u}));
            CHILD_EXPECT(checks, host::memblock::GetMemblockPtr(1) == 0x80001234u);
            CHILD_EXPECT(checks, host::memblock::GetMemblockSize(1) == -5);
        },
        "");
}

// --- host strings ---------------------------------------------------------------

TEST(HostStrings, CreatePassesAZeroWordAndTheSizeAndDeleteIgnoresNull) {
    EXPECT_IN_FRESH_PROCESS(
        [](ChildChecks& checks) {
            InstallRecordingHost(checks);
            char* text = host::CreateHostString(44);
            CHILD_EXPECT(checks, text == g_hostStringBuffer);
            CHILD_EXPECT(checks, g_calls == (Lines{"allocator(00000000,44)"}));
            g_calls.clear();
            host::DeleteHostString(nullptr);
            CHILD_EXPECT(checks, g_calls.empty());
            host::DeleteHostString(text);
            CHILD_EXPECT(checks, g_calls == (Lines{"allocator(" + Hex(Word(text)) + ",0)"}));
        },
        "");
}

using HostStringTest = PluginTest;

TEST_F(HostStringTest, StandInAllocatorGivesAndTakesBackStrings) {
    char* text = host::CreateHostString(10);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(simhost::OutstandingHostStrings(), 1u);
    host::DeleteHostString(text);
    EXPECT_EQ(simhost::OutstandingHostStrings(), 0u);
}

TEST_F(HostStringTest, AllocatorLeavingTheWordZeroGivesNull) {
    simhost::SetStringAllocatorLeavesZero(true);
    EXPECT_EQ(host::CreateHostString(44), nullptr);
    EXPECT_EQ(KEP_Version(nullptr), nullptr);
    EXPECT_EQ(simhost::OutstandingHostStrings(), 0u);
}

// --- the core module ------------------------------------------------------------

TEST(CoreModule, NoCorePointerIsReportedAndNothingCrashes) {
    EXPECT_IN_FRESH_PROCESS(
        [](ChildChecks& checks) {
            simhost::SetGlobPtrReturnsZero(true);
            CHILD_EXPECT(checks, GetCorePointer() == nullptr);
            CHILD_EXPECT(checks, KEP_Version(nullptr) == nullptr);
            CHILD_EXPECT(checks, host::object::GetExist(1) == 0);
            CHILD_EXPECT(checks, host::object::GetXPositionEx(1) == 0.0f);
            CHILD_EXPECT(checks, host::CreateHostString(8) == nullptr);
            host::object::Position(1, 1.0f, 2.0f, 3.0f);
            host::DeleteHostString(nullptr);
            // Nothing was kept, so the next need asks the host again.
            simhost::SetGlobPtrReturnsZero(false);
            char* version = KEP_Version(nullptr);
            CHILD_EXPECT(checks, version != nullptr &&
                                     std::strcmp(version, "KEP map importer for DarkBASIC "
                                                          "Professional") == 0);
            CHILD_EXPECT(checks, simhost::CallsNamed("GetGlobPtr").size() >= 3u);
        },
        "No Core Pointer: Unable to get core pointer");
}

TEST(CoreModule, CloseDisplayAndQuitAreFoundInTheCoreModuleOnce) {
    EXPECT_IN_FRESH_PROCESS(
        [](ChildChecks& checks) {
            host::core::CloseDisplay();
            host::core::Quit();
            host::core::CloseDisplay();
            host::core::Quit();
            CHILD_EXPECT(checks, simhost::CallsNamed("CloseDisplay").size() == 2u);
            CHILD_EXPECT(checks, simhost::CallsNamed("Quit").size() == 2u);
            CHILD_EXPECT(checks,
                         simhost::Lookups() == (Lines{"?CloseDisplay@@YAKXZ", "?Quit@@YAKXZ"}));
            CHILD_EXPECT(checks, CoreModuleHolder().Handle() != nullptr);
        },
        "");
}

} // namespace
