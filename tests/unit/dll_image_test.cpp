// The Windows DLL as the host reads it: a 32-bit i386 DLL whose string table is
// the command table, whose exports are the table's functions undecorated, and
// which needs no runtime DLL beside it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "command_table.h"
#include "pe_reader.h"

namespace {

// MinGW's own runtimes (libgcc_s_*, libstdc++-*, libwinpthread-*) would have to
// be shipped beside an image; the system's libraries are there already.
void ExpectOnlySystemImports(const PeImage& image) {
    const std::regex system("(kernel32|msvcrt|user32|advapi32)\\.dll", std::regex::icase);
    ASSERT_FALSE(image.imports.empty());
    for (const std::string& name : image.imports)
        EXPECT_TRUE(std::regex_match(name, system)) << name;
}

const char* DllPath() {
    const char* env = std::getenv("KEP_WINDOWS_DLL");
    return env && *env ? env : KEP_SOURCE_DIR "/dist/windows/KEPImport.dll";
}

TEST(WindowsDll, MatchesTheCommandTableAndNeedsOnlySystemLibraries) {
    // KEP_WINDOWS_DLL names the DLL to check; otherwise the one in dist/windows.
    const std::string path = DllPath();
    if (access(path.c_str(), R_OK) != 0)
        GTEST_SKIP() << "no DLL at " << path << " (build it, or set KEP_WINDOWS_DLL)";
    const PeImage dll(path);
    const CommandTable table = ReadCommandTable(KEP_SOURCE_DIR "/src/plugin/command_table.inc");
    EXPECT_TRUE(dll.machine == 0x14C && dll.isDll) << "machine " << dll.machine; // i386 DLL
    std::vector<std::string> exports = dll.exports;
    std::sort(exports.begin(), exports.end());
    EXPECT_EQ(exports,
              std::vector<std::string>(table.exportNames.begin(), table.exportNames.end()));
    ASSERT_FALSE(table.strings.empty()); // else the comparisons prove nothing
    EXPECT_EQ(dll.strings, table.strings);
    EXPECT_EQ(dll.languages, std::set<uint32_t>{0x0409}); // US English
    ExpectOnlySystemImports(dll);
}

// kep.exe beside the DLL is static too. It must not name DBProCore.dll among
// its imports either: Windows would look for it beside the program before
// main, where it must never be (the program loads it from kep-host).
TEST(WindowsDll, KepToolBesideItNeedsOnlySystemLibraries) {
    std::string path = DllPath();
    path = path.substr(0, path.find_last_of('/') + 1) + "kep.exe";
    if (access(path.c_str(), R_OK) != 0) GTEST_SKIP() << "no kep.exe at " << path;
    const PeImage tool(path);
    EXPECT_TRUE(tool.machine == 0x14C && !tool.isDll) << "machine " << tool.machine;
    ExpectOnlySystemImports(tool);
}

} // namespace
