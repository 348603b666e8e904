// The Windows DLL as the host reads it: a 32-bit i386 DLL whose string-table
// resource is the command table, whose exports are the table's functions
// undecorated, whose version resource describes it, and which needs no
// runtime DLL beside it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "command_table.h"
#include "pe_reader.h"

namespace {

constexpr uint32_t kVersionInfo = 16;
constexpr uint32_t kUsEnglish = 0x0409;

// KEP_WINDOWS_DLL names the DLL to check; otherwise the one in dist/windows.
std::string DllPath() {
    if (const char* path = std::getenv("KEP_WINDOWS_DLL"); path && *path) return path;
    return std::string(KEP_SOURCE_DIR) + "/dist/windows/KEPImport.dll";
}

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

class WindowsDll : public ::testing::Test {
  protected:
    void SetUp() override {
        m_path = DllPath();
        if (!Exists(m_path))
            GTEST_SKIP() << "no Windows DLL at " << m_path
                         << " (build it with `make windows`, or set KEP_WINDOWS_DLL)";
        m_table = ReadCommandTable(CommandTablePath(KEP_SOURCE_DIR));
    }

    std::string m_path;
    CommandTable m_table;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

TEST_F(WindowsDll, IsA32BitI386Dll) {
    const PeImage dll(m_path);
    EXPECT_EQ(dll.Machine(), 0x14C);
    EXPECT_EQ(dll.OptionalHeaderMagic(), 0x10B);
    EXPECT_TRUE(dll.IsDll());
    EXPECT_EQ(dll.ExportModuleName(), "KEPImport.dll");
}

TEST_F(WindowsDll, ExportsExactlyTheCommandTableNamesUndecorated) {
    const PeImage dll(m_path);
    const std::set<std::string> exported(dll.ExportNames().begin(), dll.ExportNames().end());
    EXPECT_EQ(exported.size(), dll.ExportNames().size()) << "a name is exported twice";
    EXPECT_EQ(exported, m_table.ExportNames());
}

TEST_F(WindowsDll, StringTableIsTheCommandTableByteForByte) {
    const PeImage dll(m_path);
    std::map<uint32_t, std::string> strings;
    for (const StringTableEntry& entry : dll.StringTable()) {
        EXPECT_EQ(entry.language, kUsEnglish) << "string " << entry.id;
        EXPECT_TRUE(strings.emplace(entry.id, entry.text).second)
            << "string " << entry.id << " appears twice";
    }
    std::map<uint32_t, std::string> expected;
    for (const CommandRow& row : m_table.rows)
        expected[static_cast<uint32_t>(row.id)] = row.text;
    EXPECT_EQ(expected.size(), 45u);
    for (const auto& [id, text] : expected) {
        const auto found = strings.find(id);
        if (found == strings.end()) {
            ADD_FAILURE() << "string " << id << " is missing";
            continue;
        }
        EXPECT_EQ(found->second, text) << "string " << id;
    }
    for (const auto& [id, text] : strings)
        EXPECT_TRUE(expected.count(id)) << "unexpected string " << id << ": " << text;
}

TEST_F(WindowsDll, VersionResourceDescribesThePlugin) {
    const PeImage dll(m_path);
    const PeResource* version = nullptr;
    int versions = 0;
    for (const PeResource& resource : dll.Resources())
        if (resource.type == kVersionInfo) {
            version = &resource;
            ++versions;
        }
    ASSERT_EQ(versions, 1);
    EXPECT_EQ(version->language, kUsEnglish);

    const VersionNode root = ParseVersionResource(version->data);
    EXPECT_EQ(root.key, "VS_VERSION_INFO");
    const FixedFileInfo fixed = ReadFixedFileInfo(root);
    EXPECT_EQ(fixed.signature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.fileVersionMS, 0x00030003u);
    EXPECT_EQ(fixed.fileVersionLS, 0x00030000u);
    EXPECT_EQ(fixed.productVersionMS, 0x00030003u);
    EXPECT_EQ(fixed.productVersionLS, 0x00030000u);

    const VersionNode* info = root.Child("StringFileInfo");
    ASSERT_NE(info, nullptr);
    const VersionNode* table = info->Child("040904e4");
    ASSERT_NE(table, nullptr) << "no US English / code page 1252 string table";
    const std::map<std::string, std::string> expected = {
        {"FileDescription", "KEP map importer for DarkBASIC Professional"},
        {"InternalName", "KEPImport"},
        {"FileVersion", "3.3.3"},
        {"ProductVersion", "3.3.3"},
    };
    for (const auto& [key, value] : expected) {
        const VersionNode* entry = table->Child(key);
        ASSERT_NE(entry, nullptr) << key;
        EXPECT_TRUE(entry->isText) << key;
        EXPECT_EQ(entry->text, value) << key;
    }

    const VersionNode* vars = root.Child("VarFileInfo");
    ASSERT_NE(vars, nullptr);
    const VersionNode* translation = vars->Child("Translation");
    ASSERT_NE(translation, nullptr);
    EXPECT_EQ(translation->binary, (std::vector<uint8_t>{0x09, 0x04, 0xE4, 0x04}));
}

TEST_F(WindowsDll, ImportsOnlySystemLibraries) {
    const PeImage dll(m_path);
    const std::set<std::string> system = {"kernel32.dll", "msvcrt.dll", "user32.dll",
                                          "advapi32.dll", "ntdll.dll"};
    ASSERT_FALSE(dll.ImportedModules().empty());
    for (const std::string& name : dll.ImportedModules()) {
        const std::string lower = Lower(name);
        EXPECT_TRUE(system.count(lower)) << name << " would have to be shipped beside the DLL";
        // MinGW's own runtimes: libgcc_s_*, libstdc++-*, libwinpthread-*.
        EXPECT_NE(lower.rfind("lib", 0), 0u) << name;
    }
}

} // namespace
