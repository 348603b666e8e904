// The plug-in's own commands (error, version, break, settings) and the
// command table that tells the host what every export takes and returns.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "command_table.h"
#include "frame_helpers.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "test_host.h"

namespace {

const char kVersion[] = "KEP map importer for DarkBASIC Professional";

// Leaves the error state of a failed command behind and returns its text.
std::string FailACommand() {
    EXPECT_EQ(KEP_Load("/nonexistent-kep-dir/missing.kep", 0), 0);
    EXPECT_EQ(KEP_GetLastError(), 0);
    const std::string text = LastErrorText();
    EXPECT_FALSE(text.empty());
    return text;
}

uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

using FrameCommands = PluginTest;

// --- the error convention ------------------------------------------------------

TEST(FrameFreshProcess, NoErrorAndNoTextBeforeAnyCommand) {
    EXPECT_IN_FRESH_PROCESS(
        [](ChildChecks& checks) {
            CHILD_EXPECT(checks, KEP_GetLastError() == 0);
            CHILD_EXPECT(checks, KEP_GetLastErrorText(nullptr) == nullptr);
            CHILD_EXPECT(checks, KEP_GetLastError() == 0);
            CHILD_EXPECT(checks, simhost::OutstandingHostStrings() == 0u);
            // The settings a script finds before it changes any.
            CHILD_EXPECT(checks, g_plugin.initialObject == 1000);
            CHILD_EXPECT(checks, g_plugin.initialImage == 1000);
            CHILD_EXPECT(checks, g_plugin.blendMode == 8u);
            CHILD_EXPECT(checks, g_plugin.mediaIncluded == 0);
            CHILD_EXPECT(checks, g_plugin.ambientColour == 0u);
            CHILD_EXPECT(checks, g_plugin.mapOffset[0] == 0.0f && g_plugin.mapOffset[1] == 0.0f &&
                                     g_plugin.mapOffset[2] == 0.0f);
            CHILD_EXPECT(checks, g_plugin.maps.Count() == 0 && g_plugin.currentMap == nullptr);
            CHILD_EXPECT(checks, g_plugin.mapNumberCounter == 0);
        },
        "");
}

TEST_F(FrameCommands, AmbientAndIncludedAsMediaKeepTheErrorState) {
    const std::string failure = FailACommand();
    KEP_SetAmbient(0x00404040);
    EXPECT_EQ(KEP_GetLastError(), 0);
    EXPECT_EQ(LastErrorText(), failure);
    EXPECT_EQ(g_plugin.ambientColour, 0x00404040u);

    KEP_MediaIncluded(1);
    EXPECT_EQ(KEP_GetLastError(), 0);
    EXPECT_EQ(LastErrorText(), failure);
    EXPECT_EQ(g_plugin.mediaIncluded, 1);

    KEP_SetAmbient(-1);
    EXPECT_EQ(g_plugin.ambientColour, 0xFFFFFFFFu);
}

TEST_F(FrameCommands, OtherSettingsCommandsResetTheErrorState) {
    const std::vector<std::pair<const char*, std::function<void()>>> commands = {
        {"KEP VERSION", [] { KEP_Version(nullptr); }},
        {"KEP INITIAL OBJECT", [] { KEP_InitialObject(1000); }},
        {"KEP INITIAL IMAGE", [] { KEP_InitialImage(1000); }},
        {"KEP BLEND MODE", [] { KEP_BlendMode(8); }},
        {"KEP MAP OFFSET", [] { KEP_MapOffset(0.0f, 0.0f, 0.0f); }},
    };
    for (const auto& [name, run] : commands) {
        FailACommand();
        run();
        EXPECT_EQ(KEP_GetLastError(), 1) << name;
        EXPECT_EQ(LastErrorText(), "") << name;
        EXPECT_EQ(KEP_GetLastErrorText(nullptr), nullptr) << name;
    }
}

TEST_F(FrameCommands, AskingForTheErrorChangesNothingInEitherOrder) {
    const std::string failure = FailACommand();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(KEP_GetLastError(), 0);
        char* text = KEP_GetLastErrorText(nullptr);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text, failure);
        EXPECT_EQ(KEP_GetLastError(), 0);
        KEP_GetLastErrorText(text); // hands the string back
    }
    EXPECT_EQ(LastErrorText(), failure);
}

TEST_F(FrameCommands, ErrorTextTwiceGivesTheSameTextAndFreesTheFirst) {
    const std::string failure = FailACommand();
    char* first = KEP_GetLastErrorText(nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, failure);
    EXPECT_EQ(simhost::OutstandingHostStrings(), 1u);
    char* second = KEP_GetLastErrorText(first);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second, failure);
    EXPECT_EQ(simhost::OutstandingHostStrings(), 1u); // the first went back
}

TEST_F(FrameCommands, ErrorTextAfterSuccessIsNullAndStillFreesThePrevious) {
    FailACommand();
    char* text = KEP_GetLastErrorText(nullptr);
    ASSERT_NE(text, nullptr);
    KEP_InitialImage(1000);
    EXPECT_EQ(KEP_GetLastErrorText(text), nullptr);
    EXPECT_EQ(simhost::OutstandingHostStrings(), 0u);
}

// --- version, break, Constructor -----------------------------------------------

TEST_F(FrameCommands, VersionIsExactlyFortyThreeCharacters) {
    char* text = KEP_Version(nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::strlen(text), 43u);
    EXPECT_STREQ(text, kVersion);
    for (int i = 0; i < 5; ++i) {
        text = KEP_Version(text);
        ASSERT_NE(text, nullptr);
    }
    EXPECT_STREQ(text, kVersion);
    EXPECT_EQ(simhost::OutstandingHostStrings(), 1u);
}

TEST(FrameFreshProcess, BreakReturnsAtOnceWithoutADebuggerAndKeepsTheError) {
    EXPECT_IN_FRESH_PROCESS(
        [](ChildChecks& checks) {
            KEP_Load("/nonexistent-kep-dir/missing.kep", 0);
            const std::string failure = LastErrorText();
            KEP_Break();
            KEP_Break();
            CHILD_EXPECT(checks, KEP_GetLastError() == 0);
            CHILD_EXPECT(checks, LastErrorText() == failure);
        },
        "");
}

TEST_F(FrameCommands, ConstructorZeroesTheMapOffsetAndNothingElse) {
    KEP_InitialObject(5);
    KEP_MapOffset(1.5f, -2.0f, 1.0e6f);
    EXPECT_EQ(g_plugin.mapOffset[0], 1.5f);
    EXPECT_EQ(g_plugin.mapOffset[1], -2.0f);
    EXPECT_EQ(g_plugin.mapOffset[2], 1.0e6f);
    KEP_SetAmbient(7);
    const std::string failure = FailACommand();

    Constructor();
    EXPECT_EQ(Bits(g_plugin.mapOffset[0]), 0u);
    EXPECT_EQ(Bits(g_plugin.mapOffset[1]), 0u);
    EXPECT_EQ(Bits(g_plugin.mapOffset[2]), 0u);
    EXPECT_EQ(g_plugin.initialObject, 5);
    EXPECT_EQ(g_plugin.ambientColour, 7u);
    EXPECT_EQ(KEP_GetLastError(), 0);
    EXPECT_EQ(LastErrorText(), failure);
}

// --- settings --------------------------------------------------------------------

TEST_F(FrameCommands, SettingsAreStoredWithoutRangeTests) {
    for (int32_t number : {0, -1, -1000, INT32_MIN, INT32_MAX}) {
        KEP_InitialObject(number);
        EXPECT_EQ(g_plugin.initialObject, number);
        KEP_InitialImage(number);
        EXPECT_EQ(g_plugin.initialImage, number);
    }
    for (uint32_t mode : {0u, 1u, 0xFFFFFFFFu}) {
        KEP_BlendMode(mode);
        EXPECT_EQ(g_plugin.blendMode, mode);
    }
    KEP_MapOffset(-0.0f, 1.0e-40f, -3.25f);
    EXPECT_EQ(Bits(g_plugin.mapOffset[0]), Bits(-0.0f));
    EXPECT_EQ(Bits(g_plugin.mapOffset[1]), Bits(1.0e-40f));
    EXPECT_EQ(g_plugin.mapOffset[2], -3.25f);
    KEP_MediaIncluded(-7);
    EXPECT_EQ(g_plugin.mediaIncluded, -7);
}

// --- the command table -------------------------------------------------------------

// The type letters that an export's prototype stands for, in table order:
// result first (a string result also takes the previous string first, which
// the table does not show), then the parameters.
template <class T> char ParameterLetter() {
    if (std::is_same<T, int32_t>::value) return 'L';
    if (std::is_same<T, uint32_t>::value) return 'D';
    if (std::is_same<T, float>::value) return 'F';
    if (std::is_same<T, const char*>::value || std::is_same<T, char*>::value) return 'S';
    return '?';
}

template <class T> char ResultLetter() {
    if (std::is_same<T, int32_t>::value) return 'L';
    if (std::is_same<T, uint32_t>::value) return 'F'; // float results travel as their bits
    if (std::is_same<T, char*>::value) return 'S';
    return '?';
}

struct Prototype {
    bool returnsValue = false;
    std::string letters; // as the table writes them; "0" for none at all
};

template <class R, class... P> Prototype Letters(R(KEP_CDECL*)(P...)) {
    Prototype prototype;
    std::string params{ParameterLetter<P>()...};
    prototype.returnsValue = !std::is_void<R>::value;
    if (!prototype.returnsValue) {
        prototype.letters = params.empty() ? "0" : params;
        return prototype;
    }
    const char result = ResultLetter<std::conditional_t<std::is_void<R>::value, int32_t, R>>();
    if (result == 'S') {
        if (params.empty() || params[0] != 'S') return {true, "no previous-string argument"};
        params.erase(0, 1);
    }
    prototype.letters = result + params;
    return prototype;
}

const std::map<std::string, Prototype>& PrototypeLetters() {
#define KEP_SIGNATURE(name)                                                                        \
    { #name, Letters(&name) }
    static const std::map<std::string, Prototype> letters = {
        KEP_SIGNATURE(KEP_Load),           KEP_SIGNATURE(KEP_MakeKEPFromMemblock),
        KEP_SIGNATURE(KEP_Count),          KEP_SIGNATURE(KEP_Flags),
        KEP_SIGNATURE(KEP_PropertyCount),  KEP_SIGNATURE(KEP_Property),
        KEP_SIGNATURE(KEP_TextureName),    KEP_SIGNATURE(KEP_TextureCreate),
        KEP_SIGNATURE(KEP_Texture),        KEP_SIGNATURE(KEP_SurfaceCount),
        KEP_SIGNATURE(KEP_EntityX),        KEP_SIGNATURE(KEP_EntityY),
        KEP_SIGNATURE(KEP_EntityZ),        KEP_SIGNATURE(KEP_Clear),
        KEP_SIGNATURE(KEP_SurfaceTexture), KEP_SIGNATURE(KEP_PivotID),
        KEP_SIGNATURE(KEP_TextureMesh),    KEP_SIGNATURE(KEP_Move),
        KEP_SIGNATURE(KEP_Position),       KEP_SIGNATURE(KEP_Angle),
        KEP_SIGNATURE(KEP_Rotate),         KEP_SIGNATURE(KEP_Show),
        KEP_SIGNATURE(KEP_Hide),           KEP_SIGNATURE(KEP_GetMeshIndex),
        KEP_SIGNATURE(KEP_GetLastError),   KEP_SIGNATURE(KEP_GetLastErrorText),
        KEP_SIGNATURE(KEP_BlendMode),      KEP_SIGNATURE(KEP_MapOffset),
        KEP_SIGNATURE(KEP_InitialObject),  KEP_SIGNATURE(KEP_InitialImage),
        KEP_SIGNATURE(KEP_SetCurrentMap),  KEP_SIGNATURE(KEP_GetCurrentMap),
        KEP_SIGNATURE(KEP_HideMap),        KEP_SIGNATURE(KEP_ShowMap),
        KEP_SIGNATURE(KEP_ObjectToGroup),  KEP_SIGNATURE(KEP_GroupToObject),
        KEP_SIGNATURE(KEP_PivotToGroup),   KEP_SIGNATURE(KEP_MeshToGroup),
        KEP_SIGNATURE(KEP_EntityToGroup),  KEP_SIGNATURE(KEP_Version),
        KEP_SIGNATURE(KEP_MediaIncluded),  KEP_SIGNATURE(KEP_GroupToPivot),
        KEP_SIGNATURE(KEP_PropertyByKey),  KEP_SIGNATURE(KEP_SetAmbient),
        KEP_SIGNATURE(KEP_Break),
    };
#undef KEP_SIGNATURE
    return letters;
}

std::vector<std::string> Fields(const std::string& text) {
    std::vector<std::string> fields(1);
    for (char c : text) {
        if (c == '%')
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

CommandTable SourceTable() {
    return ReadCommandTable(CommandTablePath(KEP_SOURCE_DIR));
}

TEST(CommandTable, HoldsIdsOneToFortyFourAndOneHundred) {
    const CommandTable table = SourceTable();
    std::vector<int32_t> ids;
    for (const CommandRow& row : table.rows)
        ids.push_back(row.id);
    std::vector<int32_t> expected;
    for (int32_t id = 1; id <= 44; ++id)
        expected.push_back(id);
    expected.push_back(100);
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(table.extraExports,
              (std::vector<std::string>{"Constructor", "Destructor", "KEP_TextureID",
                                        "KEPCPP_TextureName", "KEPCPP_Property",
                                        "KEPCPP_PropertyByKey"}));
}

TEST(CommandTable, RowsAreWellFormedCommands) {
    for (const CommandRow& row : SourceTable().rows) {
        const std::vector<std::string> fields = Fields(row.text);
        ASSERT_GE(fields.size(), 3u) << row.text;
        EXPECT_LE(fields.size(), 4u) << row.text;
        EXPECT_EQ(fields.size() == 3u, row.id == 100) << "only the last row has no help text";
        const std::string& name = fields[0];
        EXPECT_NE(name.find("KEP"), std::string::npos) << row.text;
        const std::string& types = fields[1];
        ASSERT_FALSE(types.empty()) << row.text;
        EXPECT_EQ(types.find_first_not_of(types == "0" ? "0" : "LFSD"), std::string::npos)
            << row.text;
        if (name.back() == '[') {
            EXPECT_NE(types, "0") << "a command with a result types it";
        }
        for (char c : row.text)
            EXPECT_TRUE(c >= 0x20 && c < 0x7F) << row.text;
    }
}

TEST(CommandTable, TypeStringsMatchTheExportedPrototypes) {
    const auto& prototypes = PrototypeLetters();
    for (const CommandRow& row : SourceTable().rows) {
        const std::vector<std::string> fields = Fields(row.text);
        ASSERT_GE(fields.size(), 3u);
        const auto found = prototypes.find(row.exportName);
        ASSERT_NE(found, prototypes.end()) << row.exportName << " has no prototype";
        EXPECT_EQ(found->second.returnsValue, fields[0].back() == '[') << row.text;
        EXPECT_EQ(found->second.letters, fields[1]) << row.text;
    }
}

} // namespace
