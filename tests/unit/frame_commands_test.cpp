// The plug-in's own commands: the error convention, version, break and the
// settings a script makes before loading maps.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>

#include "frame_helpers.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "test_host.h"

namespace {

const float kZero[3] = {0.0f, 0.0f, 0.0f}; // positive zeros, bit for bit
using FrameCommands = PluginTest;

// Leaves the error state of a failed command behind and returns its text.
std::string FailACommand() {
    EXPECT_EQ(KEP_Load("/nonexistent-kep-dir/missing.kep", 0), 0);
    EXPECT_EQ(KEP_GetLastError(), 0);
    EXPECT_NE(LastErrorText(), "");
    return LastErrorText();
}

// The error state before any command, and the first object and image numbers,
// are the outside-host scenarios' on both builds.
TEST(FrameFreshProcess, TheDocumentedSettingsBeforeAnyCommand) {
    EXPECT_IN_FRESH_PROCESS(
        [](ChildChecks& checks) {
            CHILD_EXPECT(checks, g_plugin.blendMode == 8u && g_plugin.settings.mediaIncluded == 0);
            CHILD_EXPECT(checks,
                         g_plugin.settings.ambientColour == 0u && g_plugin.maps.Count() == 0);
            CHILD_EXPECT(checks,
                         std::memcmp(g_plugin.settings.mapOffset, kZero, sizeof kZero) == 0);
        },
        "");
}

TEST_F(FrameCommands, SettingsAreStoredAsGivenAndOnlySomeResetTheError) {
    const std::tuple<const char*, bool, void (*)()> commands[] = {
        // name, keeps the error, run
        {"KEP AMBIENT", true, [] { KEP_SetAmbient(-1); }},
        {"KEP INCLUDED AS MEDIA", true, [] { KEP_MediaIncluded(-7); }},
        {"KEP BREAK", true, [] { KEP_Break(); }},
        {"KEP VERSION", false, [] { KEP_Version(nullptr); }},
        {"KEP INITIAL OBJECT", false, [] { KEP_InitialObject(INT32_MIN); }},
        {"KEP INITIAL IMAGE", false, [] { KEP_InitialImage(-1); }},
        {"KEP BLEND MODE", false, [] { KEP_BlendMode(0xFFFFFFFFu); }},
        {"KEP MAP OFFSET", false, [] { KEP_MapOffset(-0.0f, 1.0e-40f, -3.25f); }},
    };
    for (const auto& [name, keepsError, run] : commands) {
        const std::string failure = FailACommand();
        run();
        EXPECT_EQ(KEP_GetLastError(), keepsError ? 0 : 1) << name;
        EXPECT_EQ(LastErrorText(), keepsError ? failure : "") << name;
    }
    // Stored without range tests, floats bit for bit.
    EXPECT_EQ(g_plugin.settings.ambientColour, 0xFFFFFFFFu);
    EXPECT_EQ(g_plugin.settings.mediaIncluded, -7);
    EXPECT_EQ(g_plugin.settings.initialObject, INT32_MIN);
    EXPECT_EQ(g_plugin.settings.initialImage, -1);
    EXPECT_EQ(g_plugin.blendMode, 0xFFFFFFFFu);
    const float offset[3] = {-0.0f, 1.0e-40f, -3.25f};
    EXPECT_EQ(std::memcmp(g_plugin.settings.mapOffset, offset, sizeof offset), 0);

    Constructor(); // zeroes the map offset and nothing else
    EXPECT_EQ(std::memcmp(g_plugin.settings.mapOffset, kZero, sizeof kZero), 0);
    EXPECT_EQ(g_plugin.settings.initialObject, INT32_MIN);
    EXPECT_EQ(g_plugin.settings.ambientColour, 0xFFFFFFFFu);
}

TEST_F(FrameCommands, ErrorAndVersionTextsAreHostStringsThatFreeThePreviousOne) {
    const std::string failure = FailACommand();
    char* text = KEP_GetLastErrorText(nullptr);
    for (int i = 0; i < 3; ++i) { // asking changes nothing
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text, failure);
        EXPECT_EQ(KEP_GetLastError(), 0);
        text = KEP_GetLastErrorText(text);
        EXPECT_EQ(simhost::OutstandingHostStrings(), 1u);
    }
    text = KEP_Version(text);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text), "KEP map importer for DarkBASIC Professional");
    EXPECT_EQ(simhost::OutstandingHostStrings(), 1u);
    EXPECT_EQ(KEP_GetLastErrorText(text), nullptr); // no error: null, the old one still freed
    EXPECT_EQ(simhost::OutstandingHostStrings(), 0u);
}

} // namespace

namespace {

TEST(HostDependencies, NameTheThreeModulesTheCommandsCallAndNothingElse) {
    ASSERT_EQ(GetNumDependencies(), 3);
    EXPECT_STREQ(GetDependencyID(0), "DBProMemblocksDebug.dll");
    EXPECT_STREQ(GetDependencyID(1), "DBProImageDebug.dll");
    EXPECT_STREQ(GetDependencyID(2), "DBProBasic3DDebug.dll");
    for (const int n : {-1, 3, INT32_MIN, INT32_MAX})
        EXPECT_STREQ(GetDependencyID(n), "") << n;
}

} // namespace
