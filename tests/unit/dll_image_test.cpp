// The Windows DLL as the host reads it: a 32-bit i386 DLL whose string table is
// the command table, whose exports are the table's functions undecorated, whose
// version resource describes it, and which needs no runtime DLL beside it.
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

TEST(WindowsDll, MatchesTheCommandTableDescribesItselfAndNeedsOnlySystemLibraries) {
    // KEP_WINDOWS_DLL names the DLL to check; otherwise the one in dist/windows.
    const char* env = std::getenv("KEP_WINDOWS_DLL");
    const std::string path = env && *env ? env : KEP_SOURCE_DIR "/dist/windows/KEPImport.dll";
    if (access(path.c_str(), R_OK) != 0)
        GTEST_SKIP() << "no DLL at " << path << " (build it, or set KEP_WINDOWS_DLL)";
    const PeImage dll(path);
    const CommandTable table = ReadCommandTable(KEP_SOURCE_DIR "/src/plugin/command_table.inc");
    EXPECT_TRUE(dll.machine == 0x14C && dll.isDll) << "machine " << dll.machine; // i386 DLL
    std::vector<std::string> exports = dll.exports;
    std::sort(exports.begin(), exports.end());
    EXPECT_EQ(exports,
              std::vector<std::string>(table.exportNames.begin(), table.exportNames.end()));
    EXPECT_EQ(table.strings.size(), 45u);
    EXPECT_EQ(dll.strings, table.strings);
    EXPECT_EQ(dll.languages, std::set<uint32_t>{0x0409}); // US English

    // VS_FIXEDFILEINFO: signature, structure version, then file and product versions 3.3.3.0.
    std::map<std::string, std::string> version = dll.version;
    const std::string fixed = version["VS_VERSION_INFO"] + std::string(24, '\0');
    EXPECT_EQ(fixed.substr(0, 4), "\xBD\x04\xEF\xFE");
    EXPECT_EQ(fixed.substr(8, 16), std::string("\3\0\3\0\0\0\3\0\3\0\3\0\0\0\3\0", 16));
    const std::string strings = "VS_VERSION_INFO/StringFileInfo/040904e4/"; // US English, 1252
    EXPECT_EQ(version[strings + "FileDescription"], "KEP map importer for DarkBASIC Professional");
    EXPECT_EQ(version[strings + "InternalName"], "KEPImport");
    EXPECT_EQ(version[strings + "FileVersion"], "3.3.3");
    EXPECT_EQ(version[strings + "ProductVersion"], "3.3.3");
    EXPECT_EQ(version["VS_VERSION_INFO/VarFileInfo/Translation"],
              std::string("\x09\x04\xE4\x04", 4));

    // MinGW's own runtimes (libgcc_s_*, libstdc++-*, libwinpthread-*) would have to be
    // shipped beside the DLL; the system's libraries are there already.
    const std::regex system("(kernel32|msvcrt|user32|advapi32)\\.dll", std::regex::icase);
    ASSERT_FALSE(dll.imports.empty());
    for (const std::string& name : dll.imports)
        EXPECT_TRUE(std::regex_match(name, system)) << name;
}

} // namespace
