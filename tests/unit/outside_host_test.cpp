// The finished KEPImport.so as an outside host meets it: loaded by path,
// commands found by name, nothing exported beyond the command table, and the
// fatal path when no core module can be found.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "command_table.h"
#include "simhost/simhost.h"

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

TEST(PluginSharedObject, OutsideHostLoadsItByPathAndFindsEveryCommand) {
    simhost::Reset();
    void* plugin = dlopen(KEP_PLUGIN_SO, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(plugin, nullptr) << dlerror();
    for (const std::string& name : ReadCommandTable(kCommandTable).exportNames)
        EXPECT_NE(dlsym(plugin, name.c_str()), nullptr) << name;
    auto version = reinterpret_cast<char* (*)(char*)>(dlsym(plugin, "KEP_Version"));
    char* text = version ? version(nullptr) : nullptr;
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "KEP map importer for DarkBASIC Professional");
    EXPECT_EQ(simhost::OutstandingHostStrings(), 1u); // from the host that this program is
    simhost::ReleaseHostStrings();
    dlclose(plugin);
}

TEST(MissingCoreModule, PluginTellsTheUserOnceAndEndsTheProcessWithCodeZero) {
    // Without a library search path nothing named DBProCore.dll can be found.
    FILE* host = popen("env -u LD_LIBRARY_PATH -u LD_PRELOAD '" KEP_FATAL_PATH_HOST
                       "' '" KEP_PLUGIN_SO "' 2>&1 >/dev/null",
                       "r");
    ASSERT_NE(host, nullptr);
    std::string err;
    for (char line[512]; std::fgets(line, sizeof line, host);)
        err += line;
    const int status = pclose(host);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << ": " << err;
    const std::string message = "DBProCore.dll: This library is required by this program";
    EXPECT_NE(err.find(message), std::string::npos) << err;
    EXPECT_EQ(err.find(message), err.rfind(message)) << "told more than once: " << err;
}

} // namespace
