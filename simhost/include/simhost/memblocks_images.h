// Test access to the stand-in host's memblock and image stores: set images up
// directly, look at what the plug-in left in memblocks and images, and write
// small image files for the image module's loader to read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace simhost {

// Memblocks larger than this are refused, as a host refuses absurd requests.
constexpr uint32_t kMaxMemblockSize = 256u * 1024u * 1024u;

// An image as the host holds it: pixel words 0xAARRGGBB, row after row.
struct ImageContent {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;
};

// Makes (or replaces) image `number`; `pixels` must hold width * height words.
void MakeTestImage(int number, uint32_t width, uint32_t height,
                   const std::vector<uint32_t>& pixels);
// Copies image `number` into `out`; false if there is no such image.
bool ReadImage(int number, ImageContent* out);
// The numbers of all existing images, ascending.
std::vector<int> ImageNumbers();

// Copies memblock `number`'s bytes into `out`; false if there is no such memblock.
bool ReadMemblock(int number, std::vector<uint8_t>* out);
// The numbers of all existing memblocks, ascending.
std::vector<int> MemblockNumbers();

// Test knobs. GetMemblockPtr answers 0 for memblock `number` (-1: none), as a
// host that hands out no address for it would. The bytes of every memblock
// made into a mesh are kept, in call order, while KeepMeshMemblocks is on.
void RefuseMemblockAddress(int number);
void KeepMeshMemblocks(bool keep);
const std::vector<std::vector<uint8_t>>& MeshMemblocks();

// Writes pixel words (0xAARRGGBB) as an image file whose kind follows the
// extension: ".png", ".bmp", ".tga" or ".jpg". False if it cannot be written.
bool WriteTestImageFile(const std::string& path, uint32_t width, uint32_t height,
                        const std::vector<uint32_t>& pixels);

} // namespace simhost
