#include "load_helpers.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "kep_session.h"
#include "map_invariants.h"
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

int32_t LoadFromMemblock(const kepw::Bytes& bytes, int32_t lightmapFlag) {
    const int32_t result = kepsession::LoadBytes(bytes, lightmapFlag, kMapMemblock) ? 1 : 0;
    ExpectLoadedMapsConsistent();
    ExpectNoRunTimeError();
    return result;
}

int32_t LoadFromFile(const std::string& path, const kepw::Bytes& bytes) {
    EXPECT_TRUE(kepw::WriteFile(path, bytes)) << path;
    const int32_t result = kepsession::LoadFile(path, 0) ? 1 : 0;
    ExpectLoadedMapsConsistent();
    ExpectNoRunTimeError();
    return result;
}

void ExpectNoRunTimeError() {
    for (const simhost::RunTimeError& error : simhost::RunTimeErrors())
        ADD_FAILURE() << "the host raised a run-time error: " << error.Text();
    simhost::ClearRunTimeErrors();
}

void WriteImageFile(const std::string& path, uint32_t colour) {
    ASSERT_TRUE(simhost::WriteTestImageFile(path, 2, 2, std::vector<uint32_t>(4, colour))) << path;
}

bool NoLeaksSoFar() {
#ifdef KEP_TEST_HAS_LSAN
    return __lsan_do_recoverable_leak_check() == 0;
#else
    return true;
#endif
}
