// The map offset's bits, and that each text result frees the previous one.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "test_host.h"

namespace {

const float kZero[3] = {0.0f, 0.0f, 0.0f}; // positive zeros, bit for bit
using SettingsCommands = PluginTest;

// Leaves the error state of a failed command behind and returns its text.
std::string FailACommand() {
    EXPECT_EQ(KEP_Load("/nonexistent-kep-dir/missing.kep", 0), 0);
    EXPECT_EQ(KEP_GetLastError(), 0);
    EXPECT_NE(LastErrorText(), "");
    return LastErrorText();
}

TEST_F(SettingsCommands, MapOffsetIsStoredBitForBitUntilTheConstructorZeroesIt) {
    KEP_InitialObject(INT32_MIN);
    KEP_MapOffset(-0.0f, 1.0e-40f, -3.25f);
    const float offset[3] = {-0.0f, 1.0e-40f, -3.25f};
    EXPECT_EQ(std::memcmp(g_plugin.settings.mapOffset, offset, sizeof offset), 0);
    Constructor(); // zeroes the map offset and nothing else
    EXPECT_EQ(std::memcmp(g_plugin.settings.mapOffset, kZero, sizeof kZero), 0);
    EXPECT_EQ(g_plugin.settings.initialObject, INT32_MIN);
}

TEST_F(SettingsCommands, ErrorAndVersionTextsAreHostStringsThatFreeThePreviousOne) {
    const std::string failure = FailACommand();
    char* text = KEP_GetLastErrorText(KEP_GetLastErrorText(nullptr)); // asking changes nothing
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text, failure);
    EXPECT_EQ(simhost::OutstandingHostStrings(), 1u);
    text = KEP_Version(text);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(simhost::OutstandingHostStrings(), 1u);
    EXPECT_EQ(KEP_GetLastErrorText(text), nullptr); // no error: null, the old one still freed
    EXPECT_EQ(simhost::OutstandingHostStrings(), 0u);
}

} // namespace
