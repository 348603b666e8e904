// The finished KEPImport.so exports exactly the command table's names. (The
// outside-host program in tests/programs plays a host against it.)
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace {

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
