#include "fuzz_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "kep_session.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "simhost/memblocks_images.h"
#include "simhost/scene.h"
#include "simhost/simhost.h"

extern "C" int LLVMFuzzerRunDriver(int* argc, char*** argv,
                                   int (*one)(const uint8_t* data, std::size_t size));

namespace fuzz {

int Main(int argc, char** argv, int (*one)(const uint8_t* data, std::size_t size)) {
    static int s_argc = argc;
    static char** s_argv = argv;
    static int (*s_one)(const uint8_t*, std::size_t) = one;
    struct Run : testing::Test {
        void TestBody() override { LLVMFuzzerRunDriver(&s_argc, &s_argv, s_one); }
    };
    GTEST_FLAG_SET(break_on_failure, true); // a failed check crashes the input
    testing::RegisterTest("Fuzz", "Run", nullptr, nullptr, __FILE__, __LINE__,
                          []() -> testing::Test* { return new Run; });
    return RUN_ALL_TESTS();
}

const TempDir& Scratch() {
    static const TempDir dir;
    static const bool copied = [] { // with small textures, which load faster
        std::filesystem::copy(KEP_SAMPLE_DIR "/sample.kep", dir.Path());
        for (const char* texture : {"floor.bmp", "wall.bmp", "crate.bmp"})
            WriteImageFile(dir.Place(texture));
        return true;
    }();
    (void)copied;
    return dir;
}

void StartInput() {
    Scratch();
    kepsession::Restart();
}

const kepw::Bytes& SampleMap() {
    static const kepw::Bytes bytes = [] {
        std::ifstream in(Scratch().Path() + "/sample.kep", std::ios::binary);
        return kepw::Bytes(std::istreambuf_iterator<char>(in), {});
    }();
    return bytes;
}

void ClearEveryMap() {
    for (int32_t guard = g_plugin.maps.Count(); g_plugin.maps.Count() > 0; --guard) {
        ASSERT_GE(guard, 0) << "KEP CLEAR does not clear";
        KEP_Clear();
    }
    ExpectNoRunTimeError();
    for (int number : simhost::MemblockNumbers())
        EXPECT_EQ(number, kMapMemblock) << "a memblock left";
    EXPECT_TRUE(simhost::MeshNumbers().empty()) << "a mesh left";
    EXPECT_TRUE(simhost::ObjectNumbers().empty()) << "an object left";
    EXPECT_TRUE(simhost::ImageNumbers().empty()) << "an image left";
}

} // namespace fuzz
