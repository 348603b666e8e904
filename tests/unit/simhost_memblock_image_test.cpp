// The stand-in host's memblock and image modules, reached the way the plug-in
// reaches them: module handles from the global structure, functions by lookup
// name, called with the C calling convention.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <kepimport/host_module.h>

#include "simhost/memblocks_images.h"
#include "simhost/scene.h"
#include "simhost/simhost.h"

namespace {

constexpr int kImageWord = 16;
constexpr int kMemblockWord = 21;

using IntFn = int(__attribute__((cdecl)) *)(int);
using DWordFn = uint32_t(__attribute__((cdecl)) *)(int);
using VoidIntFn = void(__attribute__((cdecl)) *)(int);
using VoidIntIntFn = void(__attribute__((cdecl)) *)(int, int);
using WriteDWordFn = void(__attribute__((cdecl)) *)(int, int, uint32_t);
using WriteFloatFn = void(__attribute__((cdecl)) *)(int, int, float);
using LoadFn = void(__attribute__((cdecl)) *)(char*, int);

void* Lookup(int word, const char* name) {
    const uint32_t handle = simhost::GlobalStructure()[word];
    auto* module = reinterpret_cast<HostModule*>(static_cast<uintptr_t>(handle));
    return module->resolve(name);
}

template <typename Fn> Fn Resolve(int word, const char* name) {
    void* address = Lookup(word, name);
    EXPECT_NE(address, nullptr) << name;
    return reinterpret_cast<Fn>(address);
}

uint32_t WordAt(const std::vector<uint8_t>& bytes, std::size_t at) {
    return uint32_t{bytes.at(at)} | (uint32_t{bytes.at(at + 1)} << 8) |
           (uint32_t{bytes.at(at + 2)} << 16) | (uint32_t{bytes.at(at + 3)} << 24);
}

class HostModulesTest : public ::testing::Test {
  protected:
    void SetUp() override { simhost::Reset(); }
    void TearDown() override { simhost::Reset(); }

    // Memblock module.
    VoidIntIntFn make = Resolve<VoidIntIntFn>(kMemblockWord, "?MakeMemblock@@YAXHH@Z");
    VoidIntFn remove = Resolve<VoidIntFn>(kMemblockWord, "?DeleteMemblock@@YAXH@Z");
    IntFn exists = Resolve<IntFn>(kMemblockWord, "?MemblockExist@@YAHH@Z");
    IntFn size = Resolve<IntFn>(kMemblockWord, "?GetMemblockSize@@YAHH@Z");
    DWordFn pointer = Resolve<DWordFn>(kMemblockWord, "?GetMemblockPtr@@YAKH@Z");
    WriteDWordFn writeDWord = Resolve<WriteDWordFn>(kMemblockWord, "?WriteMemblockDWord@@YAXHHK@Z");
    WriteFloatFn writeFloat = Resolve<WriteFloatFn>(kMemblockWord, "?WriteMemblockFloat@@YAXHHM@Z");
    VoidIntIntFn imageFromMemblock =
        Resolve<VoidIntIntFn>(kMemblockWord, "?CreateImageFromMemblock@@YAXHH@Z");
    VoidIntIntFn memblockFromImage =
        Resolve<VoidIntIntFn>(kMemblockWord, "?CreateMemblockFromImage@@YAXHH@Z");
    // Image module.
    IntFn imageExists = Resolve<IntFn>(kImageWord, "?GetExistEx@@YAHH@Z");
    VoidIntFn deleteImage = Resolve<VoidIntFn>(kImageWord, "?DeleteEx@@YAXH@Z");
    LoadFn loadImage = Resolve<LoadFn>(kImageWord, "?LoadEx@@YAXPADH@Z");

    std::vector<uint8_t> Bytes(int number) {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(simhost::ReadMemblock(number, &bytes)) << "memblock " << number;
        return bytes;
    }

    // Writes an image memblock header; the pixels are left to the caller.
    void MakeImageMemblock(int number, int byteSize, uint32_t width, uint32_t height,
                           uint32_t depth = 32) {
        make(number, byteSize);
        writeDWord(number, 0, width);
        writeDWord(number, 4, height);
        writeDWord(number, 8, depth);
    }
};

TEST_F(HostModulesTest, MemblocksAreMadeReplacedAndDeleted) {
    make(30, 120);
    EXPECT_EQ(exists(30), 1);
    EXPECT_EQ(size(30), 120);
    EXPECT_EQ(Bytes(30), std::vector<uint8_t>(120, 0));
    EXPECT_EQ(simhost::CallsNamed("MakeMemblock"),
              std::vector<std::string>{"MakeMemblock(30,120)"});

    // Making it again replaces it with fresh zeroed bytes of the new size.
    writeDWord(30, 0, 0xFFFFFFFFu);
    make(30, 16);
    EXPECT_EQ(size(30), 16);
    EXPECT_EQ(Bytes(30), std::vector<uint8_t>(16, 0));

    // Sizes a host cannot give make nothing and leave what exists alone.
    make(31, 0);
    make(32, -8);
    make(33, static_cast<int>(simhost::kMaxMemblockSize + 1));
    make(30, 0);
    EXPECT_EQ(simhost::MemblockNumbers(), std::vector<int>{30});
    EXPECT_EQ(size(30), 16);

    remove(30);
    EXPECT_EQ(exists(30), 0);
    EXPECT_EQ(size(30), 0);
    EXPECT_EQ(pointer(30), 0u);
    remove(30); // deleting a missing memblock is harmless
    EXPECT_TRUE(simhost::MemblockNumbers().empty());
}

TEST_F(HostModulesTest, WritesAreLittleEndianAndVisibleThroughThePointer) {
    make(30, 16);
    writeDWord(30, 0, 0x04030201u);
    writeFloat(30, 4, 1.5f);
    writeDWord(30, 12, 0xAABBCCDDu); // the last four bytes
    const std::vector<uint8_t> bytes = Bytes(30);
    EXPECT_EQ((std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4)),
              (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(WordAt(bytes, 4), 0x3FC00000u); // the bits of 1.5f
    EXPECT_EQ(WordAt(bytes, 12), 0xAABBCCDDu);
    EXPECT_EQ(simhost::CallsNamed("WriteMemblockFloat"),
              std::vector<std::string>{"WriteMemblockFloat(30,4,1.5)"});

    // The plug-in changes pixels in place through this address.
    auto* raw = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(pointer(30)));
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw[0], 1);
    raw[8] = 0x7F;
    EXPECT_EQ(Bytes(30)[8], 0x7F);
    EXPECT_TRUE(simhost::RefusedWrites().empty());
}

TEST_F(HostModulesTest, WritesOutsideAMemblockAreRefusedAndListed) {
    make(30, 16);
    writeDWord(30, 0, 0x11111111u);
    const std::vector<uint8_t> before = Bytes(30);

    writeDWord(30, -1, 0xFFFFFFFFu);
    writeDWord(30, 13, 0xFFFFFFFFu); // would run one byte past the end
    writeFloat(30, 16, 2.0f);
    writeDWord(30, 0x7FFFFFFF, 0xFFFFFFFFu); // position + 4 must not wrap round
    writeFloat(44, 0, 2.0f);                 // no such memblock

    EXPECT_EQ(Bytes(30), before);
    std::vector<uint8_t> none;
    EXPECT_FALSE(simhost::ReadMemblock(44, &none));
    const auto& refused = simhost::RefusedWrites();
    ASSERT_EQ(refused.size(), 5u);
    EXPECT_EQ(refused[0].function, "WriteMemblockDWord");
    EXPECT_EQ(refused[0].position, -1);
    EXPECT_EQ(refused[1].position, 13);
    EXPECT_EQ(refused[2].function, "WriteMemblockFloat");
    EXPECT_EQ(refused[2].position, 16);
    EXPECT_EQ(refused[4].memblock, 44);
    // Refused calls are still calls the plug-in made.
    EXPECT_EQ(simhost::CallsNamed("WriteMemblockDWord").size(), 4u);
}

TEST_F(HostModulesTest, ImagesRoundTripThroughMemblocks) {
    const std::vector<uint32_t> pixels = {0xFF000001u, 0x00000002u, 0x80ABCDEFu,
                                          0x12345678u, 0xFFFFFFFFu, 0x00000000u};
    simhost::MakeTestImage(5, 2, 3, pixels);

    memblockFromImage(31, 5);
    const std::vector<uint8_t> bytes = Bytes(31);
    ASSERT_EQ(bytes.size(), 12u + 6 * 4);
    EXPECT_EQ(WordAt(bytes, 0), 2u);
    EXPECT_EQ(WordAt(bytes, 4), 3u);
    EXPECT_EQ(WordAt(bytes, 8), 32u);
    EXPECT_EQ(WordAt(bytes, 20), 0x80ABCDEFu); // pixel (x 0, y 1)

    deleteImage(5);
    EXPECT_EQ(imageExists(5), 0);
    imageFromMemblock(6, 31);
    EXPECT_EQ(imageExists(6), 1);
    simhost::ImageContent image;
    ASSERT_TRUE(simhost::ReadImage(6, &image));
    EXPECT_EQ(image.width, 2u);
    EXPECT_EQ(image.height, 3u);
    EXPECT_EQ(image.pixels, pixels);

    // A memblock with spare bytes after the pixels still makes the image, and
    // making it again replaces the image of that number.
    MakeImageMemblock(30, 1 * 1 * 4 + 16, 1, 1);
    writeDWord(30, 12, 0x00C0FFEEu);
    imageFromMemblock(6, 30);
    ASSERT_TRUE(simhost::ReadImage(6, &image));
    EXPECT_EQ(image.pixels, std::vector<uint32_t>{0x00C0FFEEu});

    // No image, no memblock: an existing memblock of that number stays.
    memblockFromImage(31, 99);
    EXPECT_EQ(Bytes(31), bytes);
}

TEST_F(HostModulesTest, ImageMemblocksThatDoNotHoldTheirPixelsMakeNoImage) {
    simhost::MakeTestImage(7, 1, 1, {0x01020304u});

    MakeImageMemblock(30, 12 + 6 * 4 - 1, 2, 3); // one byte short of its pixels
    imageFromMemblock(7, 30);
    imageFromMemblock(8, 30);

    MakeImageMemblock(31, 64, 2, 2, 24); // only 32-bit pixels are understood
    imageFromMemblock(9, 31);

    // 0x40000000 squared times 4 wraps to 0 in 32 bits and would pass a
    // careless size check.
    MakeImageMemblock(32, 64, 0x40000000u, 0x40000000u);
    imageFromMemblock(10, 32);

    MakeImageMemblock(33, 64, 0, 4);
    imageFromMemblock(11, 33);

    make(34, 8); // shorter than the header
    imageFromMemblock(12, 34);
    imageFromMemblock(13, 99); // no such memblock

    EXPECT_EQ(simhost::ImageNumbers(), std::vector<int>{7});
    simhost::ImageContent image;
    ASSERT_TRUE(simhost::ReadImage(7, &image));
    EXPECT_EQ(image.pixels, std::vector<uint32_t>{0x01020304u});
}

TEST_F(HostModulesTest, MeshMemblocksReachTheMeshStore) {
    auto makeMesh = Resolve<VoidIntIntFn>(kMemblockWord, "?CreateMeshFromMemblock@@YAXHH@Z");
    make(30, 12 + 3 * 36); // one plain triangle
    writeDWord(30, 0, 0x152);
    writeDWord(30, 4, 36);
    writeDWord(30, 8, 3);
    writeFloat(30, 12 + 2 * 36 + 8, -7.25f); // third vertex, z
    makeMesh(1, 30);
    simhost::MeshInfo mesh;
    ASSERT_TRUE(simhost::FindMesh(1, &mesh));
    ASSERT_EQ(mesh.vertices.size(), 3u);
    EXPECT_EQ(mesh.vertices[2].position[2], -7.25f);

    // Making it from a memblock that is not there leaves no stale mesh behind.
    remove(30);
    makeMesh(1, 30);
    EXPECT_TRUE(simhost::MeshNumbers().empty());
    EXPECT_EQ(simhost::CallsNamed("CreateMeshFromMemblock").size(), 2u);
}

class ImageFileTest : public HostModulesTest {
  protected:
    void SetUp() override {
        HostModulesTest::SetUp();
        std::string pattern =
            (std::filesystem::temp_directory_path() / "simhost-images-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::filesystem::remove_all(dir_);
        HostModulesTest::TearDown();
    }

    // The file's path as a script on Windows would write it.
    std::string WindowsPath(const std::string& file) {
        std::string path = (dir_ / file).string();
        for (char& c : path)
            if (c == '/') c = '\\';
        return path;
    }

    void Load(const std::string& path, int number) {
        std::vector<char> text(path.begin(), path.end());
        text.push_back('\0');
        loadImage(text.data(), number);
    }

    std::filesystem::path dir_;
};

TEST_F(ImageFileTest, LoadsLosslessImageFilesPixelForPixel) {
    const std::vector<uint32_t> pixels = {0xFF102030u, 0x80FF0000u, 0xFF00FF00u,
                                          0x400000FFu, 0xFFFFFFFFu, 0x01020304u};
    int number = 1000;
    for (const char* file : {"pic.png", "pic.bmp", "pic.tga"}) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(simhost::WriteTestImageFile((dir_ / file).string(), 3, 2, pixels));
        const std::string path = WindowsPath(file);
        Load(path, number);
        EXPECT_EQ(simhost::CallsNamed("LoadEx").back(),
                  "LoadEx(" + path + "," + std::to_string(number) + ")");
        EXPECT_EQ(imageExists(number), 1);
        simhost::ImageContent image;
        ASSERT_TRUE(simhost::ReadImage(number, &image));
        EXPECT_EQ(image.width, 3u);
        EXPECT_EQ(image.height, 2u);
        EXPECT_EQ(image.pixels, pixels);
        ++number;
    }
}

TEST_F(ImageFileTest, LoadsJpegFilesAsOpaqueImages) {
    // JPEG is lossy: a flat colour comes back close to itself, fully opaque.
    const std::vector<uint32_t> pixels(8 * 8, 0xFF3080C0u);
    ASSERT_TRUE(simhost::WriteTestImageFile((dir_ / "flat.jpg").string(), 8, 8, pixels));
    Load(WindowsPath("flat.jpg"), 3);
    simhost::ImageContent image;
    ASSERT_TRUE(simhost::ReadImage(3, &image));
    ASSERT_EQ(image.pixels.size(), 64u);
    for (uint32_t pixel : image.pixels) {
        EXPECT_EQ(pixel >> 24, 0xFFu);
        EXPECT_NEAR(static_cast<int>((pixel >> 16) & 0xFF), 0x30, 4);
        EXPECT_NEAR(static_cast<int>((pixel >> 8) & 0xFF), 0x80, 4);
        EXPECT_NEAR(static_cast<int>(pixel & 0xFF), 0xC0, 4);
    }
}

TEST_F(ImageFileTest, FilesThatAreNotImagesMakeNoImage) {
    std::ofstream(dir_ / "notes.png") << "this is not a picture\n";
    // A PNG cut off after its header must be refused, not read past its end.
    const std::vector<uint32_t> pixels(16 * 16, 0xFF00FF00u);
    ASSERT_TRUE(simhost::WriteTestImageFile((dir_ / "whole.png").string(), 16, 16, pixels));
    std::filesystem::copy_file(dir_ / "whole.png", dir_ / "cut.png");
    std::filesystem::resize_file(dir_ / "cut.png", 40);

    simhost::MakeTestImage(2, 1, 1, {0xFFABCDEFu});
    Load(WindowsPath("notes.png"), 1);
    Load(WindowsPath("notes.png"), 2); // an existing image stays as it was
    Load(WindowsPath("cut.png"), 3);
    Load(WindowsPath("missing.bmp"), 4);
    Load("", 5);
    loadImage(nullptr, 6);

    EXPECT_EQ(simhost::ImageNumbers(), std::vector<int>{2});
    simhost::ImageContent image;
    ASSERT_TRUE(simhost::ReadImage(2, &image));
    EXPECT_EQ(image.pixels, std::vector<uint32_t>{0xFFABCDEFu});
    EXPECT_EQ(simhost::CallsNamed("LoadEx").size(), 6u);
}

TEST(HostModuleLookupTest, ModulesKnowOnlyTheirOwnNamesAndHonourHiddenOnes) {
    simhost::Reset();
    const char* memblockNames[] = {
        "?DeleteMemblock@@YAXH@Z",           "?GetMemblockPtr@@YAKH@Z",
        "?GetMemblockSize@@YAHH@Z",          "?CreateImageFromMemblock@@YAXHH@Z",
        "?CreateMemblockFromImage@@YAXHH@Z", "?MakeMemblock@@YAXHH@Z",
        "?CreateMeshFromMemblock@@YAXHH@Z",  "?MemblockExist@@YAHH@Z",
        "?WriteMemblockDWord@@YAXHHK@Z",     "?WriteMemblockFloat@@YAXHHM@Z"};
    for (const char* name : memblockNames) {
        EXPECT_NE(Lookup(kMemblockWord, name), nullptr) << name;
        EXPECT_EQ(Lookup(kImageWord, name), nullptr) << name;
    }
    EXPECT_NE(Lookup(kImageWord, "?GetExistEx@@YAHH@Z"), nullptr);
    EXPECT_EQ(Lookup(kMemblockWord, "?DeleteEx@@YAXH@Z"), nullptr);
    EXPECT_EQ(Lookup(kImageWord, "?MakeMemblock@@YAXHH"), nullptr); // not the exact name
    EXPECT_EQ(Lookup(kImageWord, nullptr), nullptr);

    simhost::HideFunction("?LoadEx@@YAXPADH@Z");
    simhost::HideFunction("?WriteMemblockFloat@@YAXHHM@Z");
    EXPECT_EQ(Lookup(kImageWord, "?LoadEx@@YAXPADH@Z"), nullptr);
    EXPECT_EQ(Lookup(kMemblockWord, "?WriteMemblockFloat@@YAXHHM@Z"), nullptr);
    EXPECT_EQ(simhost::Lookups().back(), "?WriteMemblockFloat@@YAXHHM@Z");
    simhost::Reset();
}

TEST_F(HostModulesTest, ResetForgetsMemblocksImagesAndRefusedWrites) {
    make(30, 64);
    writeDWord(30, 64, 1);
    simhost::MakeTestImage(1000, 1, 1, {0u});
    simhost::Reset();
    EXPECT_TRUE(simhost::MemblockNumbers().empty());
    EXPECT_TRUE(simhost::ImageNumbers().empty());
    EXPECT_TRUE(simhost::RefusedWrites().empty());
    EXPECT_EQ(exists(30), 0);
    EXPECT_EQ(imageExists(1000), 0);
}

} // namespace
