#include <cstring>

#include "plugin/exports.h"
#include "test_host.h"

namespace {

using FrameTest = PluginTest;

TEST_F(FrameTest, VersionIsAFortyFourByteHostString) {
    char* text = KEP_Version(nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "KEP map importer for DarkBASIC Professional");
    EXPECT_EQ(std::strlen(text), 43u);
    EXPECT_EQ(KEP_GetLastError(), 1);
    char* again = KEP_Version(text); // releases the first string
    EXPECT_EQ(simhost::OutstandingHostStrings(), 1u);
    simhost::ReleaseHostStrings();
    (void)again;
}

} // namespace
