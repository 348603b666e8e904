#include "load_helpers.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "host/host_functions.h"
#include "map_invariants.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "simhost/memblocks_images.h"
#include "simhost/simhost.h"

#ifndef __has_feature
#define __has_feature(feature) 0
#endif
#if __has_feature(address_sanitizer) || defined(__SANITIZE_ADDRESS__)
#define KEP_TEST_HAS_LSAN 1
#include <sanitizer/lsan_interface.h>
#endif

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "kep_load_XXXXXX").string();
    if (mkdtemp(pattern.data())) m_path = pattern;
    EXPECT_FALSE(m_path.empty()) << "cannot make a temporary directory";
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!m_path.empty()) fs::remove_all(m_path, ignored);
}

std::string TempDir::Place(const std::string& relative) const {
    const fs::path full = fs::path(m_path) / relative;
    std::error_code ignored;
    fs::create_directories(full.parent_path(), ignored);
    return full.string();
}

ScopedWorkingDir::ScopedWorkingDir(const std::string& dir) : m_previous(fs::current_path()) {
    fs::current_path(dir);
}

ScopedWorkingDir::~ScopedWorkingDir() {
    std::error_code ignored;
    fs::current_path(m_previous, ignored);
}

void PutBytesInMemblock(int number, const kepw::Bytes& bytes) {
    if (bytes.empty()) return;
    host::memblock::MakeMemblock(number, static_cast<int>(bytes.size()));
    const uint32_t address = host::memblock::GetMemblockPtr(number);
    ASSERT_NE(address, 0u) << "the host made no memblock " << number;
    ASSERT_EQ(host::memblock::GetMemblockSize(number), static_cast<int>(bytes.size()));
    std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), bytes.data(),
                bytes.size());
    simhost::ClearCalls();
}

int32_t LoadFromMemblock(const kepw::Bytes& bytes, int32_t lightmapFlag) {
    PutBytesInMemblock(kMapMemblock, bytes);
    const int32_t result = KEP_MakeKEPFromMemblock(kMapMemblock, lightmapFlag);
    ExpectLoadedMapsConsistent();
    return result;
}

int32_t LoadFromFile(const std::string& path, const kepw::Bytes& bytes) {
    EXPECT_TRUE(kepw::WriteFile(path, bytes)) << path;
    simhost::ClearCalls();
    const int32_t result = KEP_Load(path.c_str(), 0);
    ExpectLoadedMapsConsistent();
    return result;
}

void WriteImageFile(const std::string& path, uint32_t colour) {
    ASSERT_TRUE(simhost::WriteTestImageFile(path, 2, 2, std::vector<uint32_t>(4, colour))) << path;
}

KEP_Map* CurrentMap() {
    return g_plugin.currentMap;
}

KEP_Group* GroupNumbered(const KEP_Map& map, int32_t number) {
    for (int32_t i = 0; i < map.groups.Count(); ++i) {
        KEP_Group* group = map.groups.At(i);
        if (group->groupNumber == number) return group;
    }
    return nullptr;
}

bool NoLeaksSoFar() {
#ifdef KEP_TEST_HAS_LSAN
    return __lsan_do_recoverable_leak_check() == 0;
#else
    return true;
#endif
}
