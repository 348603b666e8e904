// The finished KEPImport.so exports exactly the command table's names, and its
// calls between its own functions stay inside it. (The outside-host program in
// tests/programs plays a host against it.)
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "command_table.h"

namespace {

const char kCommandTable[] = KEP_SOURCE_DIR "/src/plugin/command_table.inc";

TEST(PluginSharedObject, DefinesExactlyTheCommandTableNamesAsDynamicSymbols) {
    const std::set<std::string> expected = ReadCommandTable(kCommandTable).exportNames;
    EXPECT_EQ(expected.size(), 53u); // 45 rows and 8 further exports
    FILE* nm = popen("nm -D --defined-only --format=posix '" KEP_PLUGIN_SO "'", "r");
    ASSERT_NE(nm, nullptr);
    std::multiset<std::string> exported;
    for (char line[512]; std::fgets(line, sizeof line, nm);)
        exported.insert(std::string(line, std::strcspn(line, " \n")));
    EXPECT_EQ(pclose(nm), 0);
    EXPECT_EQ(exported, std::multiset<std::string>(expected.begin(), expected.end()));
}

TEST(PluginSharedObject, OwnCallsStayInsideWhenTheHostDefinesTheSameName) {
    const std::string map = testing::TempDir() + "clashing_name_host.kep";
    const std::string command =
        "'" KEP_CLASHING_NAME_HOST "' '" KEP_PLUGIN_SO "' '" + map + "' 2>&1";
    FILE* host = popen(command.c_str(), "r");
    ASSERT_NE(host, nullptr);
    std::string err;
    for (char line[512]; std::fgets(line, sizeof line, host);)
        err += line;
    const int status = pclose(host);
    std::remove(map.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << ": " << err;
}

} // namespace
