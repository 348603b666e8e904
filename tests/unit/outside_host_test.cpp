// The finished KEPImport.so as an outside host meets it: loaded by path,
// commands found by name, and nothing exported beyond the command table.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "command_table.h"
#include "elf_reader.h"
#include "frame_helpers.h"
#include "simhost/simhost.h"

namespace {

const char kVersion[] = "KEP map importer for DarkBASIC Professional";
const char kMissingCoreMessage[] = "DBProCore.dll: This library is required by this program";

using VersionFn = char* (*)(char*);
using ErrorFn = int32_t (*)();
using ErrorTextFn = char* (*)(char*);
using IntSettingFn = void (*)(int32_t);
using LoadFn = int32_t (*)(const char*, int32_t);
using VoidFn = void (*)();

CommandTable SourceTable() {
    return ReadCommandTable(CommandTablePath(KEP_SOURCE_DIR));
}

// The plug-in stays loaded for the whole suite, as it does in a host. The
// stand-in host that this program links is the "DBProCore.dll" it finds.
class OutsideHost : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { s_plugin = dlopen(KEP_PLUGIN_SO, RTLD_NOW | RTLD_LOCAL); }
    static void TearDownTestSuite() {
        if (s_plugin) dlclose(s_plugin);
        s_plugin = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(s_plugin, nullptr) << "cannot load " << KEP_PLUGIN_SO << ": " << dlerror();
        simhost::Reset();
    }
    void TearDown() override { simhost::ReleaseHostStrings(); }

    template <class Fn> Fn Export(const char* name) {
        void* symbol = dlsym(s_plugin, name);
        EXPECT_NE(symbol, nullptr) << name << " is not exported";
        return reinterpret_cast<Fn>(symbol);
    }

    static void* s_plugin;
};
void* OutsideHost::s_plugin = nullptr;

TEST_F(OutsideHost, FindsEveryCommandByName) {
    for (const std::string& name : SourceTable().ExportNames())
        EXPECT_NE(dlsym(s_plugin, name.c_str()), nullptr) << name;
}

TEST_F(OutsideHost, VersionComesBackAsAHostString) {
    auto version = Export<VersionFn>("KEP_Version");
    auto lastError = Export<ErrorFn>("KEP_GetLastError");
    ASSERT_TRUE(version && lastError);
    char* text = version(nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, kVersion);
    EXPECT_EQ(lastError(), 1);
    text = version(text);
    EXPECT_STREQ(text, kVersion);
    EXPECT_EQ(simhost::OutstandingHostStrings(), 1u);
}

TEST_F(OutsideHost, ErrorConventionHoldsThroughTheExports) {
    auto load = Export<LoadFn>("KEP_Load");
    auto lastError = Export<ErrorFn>("KEP_GetLastError");
    auto errorText = Export<ErrorTextFn>("KEP_GetLastErrorText");
    auto ambient = Export<IntSettingFn>("KEP_SetAmbient");
    auto initialObject = Export<IntSettingFn>("KEP_InitialObject");
    ASSERT_TRUE(load && lastError && errorText && ambient && initialObject);

    EXPECT_EQ(load("/nonexistent-kep-dir/missing.kep", 2), 0);
    EXPECT_EQ(lastError(), 0);
    char* failure = errorText(nullptr);
    ASSERT_NE(failure, nullptr);
    const std::string message = failure;
    EXPECT_FALSE(message.empty());

    ambient(0x00FFFFFF);
    EXPECT_EQ(lastError(), 0);
    failure = errorText(failure);
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(failure, message);

    initialObject(-3);
    EXPECT_EQ(lastError(), 1);
    EXPECT_EQ(errorText(failure), nullptr);
    EXPECT_EQ(simhost::OutstandingHostStrings(), 0u);
}

TEST_F(OutsideHost, StartAndEndCallsReturn) {
    auto constructor = Export<VoidFn>("Constructor");
    auto destructor = Export<VoidFn>("Destructor");
    ASSERT_TRUE(constructor && destructor);
    constructor();
    destructor();
    destructor();
}

// --- what the shared object exports ---------------------------------------------

TEST(PluginSharedObject, IsA32BitI386SharedObject) {
    const ElfDynamicInfo info = ReadElfDynamicInfo(KEP_PLUGIN_SO);
    EXPECT_TRUE(info.is32Bit);
    EXPECT_EQ(info.machine, EM_386);
    EXPECT_EQ(info.fileType, ET_DYN);
}

TEST(PluginSharedObject, ExportsExactlyTheCommandTableNames) {
    const ElfDynamicInfo info = ReadElfDynamicInfo(KEP_PLUGIN_SO);
    const std::set<std::string> expected = SourceTable().ExportNames();
    EXPECT_EQ(expected.size(), 51u); // 45 rows and 6 further exports
    const std::set<std::string> exported(info.definedSymbols.begin(), info.definedSymbols.end());
    EXPECT_EQ(exported.size(), info.definedSymbols.size()) << "a name is exported twice";
    for (const std::string& name : expected)
        EXPECT_TRUE(exported.count(name)) << "missing export " << name;
    for (const std::string& name : exported)
        EXPECT_TRUE(expected.count(name)) << "unexpected export " << name;
}

// --- a host without the core module -------------------------------------------------

TEST(MissingCoreModule, PluginTellsTheUserOnceAndEndsTheProcessWithCodeZero) {
    // No library search path: nothing named DBProCore.dll can be found.
    const ProgramRun run =
        RunProgram(KEP_FATAL_PATH_HOST, {KEP_PLUGIN_SO}, {"LD_LIBRARY_PATH", "LD_PRELOAD"});
    ASSERT_TRUE(run.exited) << "ended by signal " << run.signal << "\n" << run.err;
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(CountOccurrences(run.err, kMissingCoreMessage), 1) << run.err;
    EXPECT_EQ(run.out.find("KEP_Version returned"), std::string::npos) << run.out;
}

} // namespace
