// Pieces shared by the stand-in host's modules.
#pragma once

#include <cstdint>

#include <kepimport/host_module.h>

namespace simhost {

// The three modules whose handles stand in words 16, 21 and 25.
HostModule& ImageModule();
HostModule& MemblockModule();
HostModule& ObjectModule();

void ResetMemblocks();
void ResetImages();
void ResetObjects();

// Memblock store (memblock module): the bytes of memblock `number`, or null.
uint8_t* MemblockData(int number, uint32_t* size);
// Makes (or replaces) memblock `number` holding `size` bytes copied from `bytes`.
bool PutMemblock(int number, const uint8_t* bytes, uint32_t size);

// Image store (image module): 32-bit pixel words, row after row.
struct ImagePixels {
    uint32_t width = 0;
    uint32_t height = 0;
    const uint32_t* pixels = nullptr;
};
bool FindImage(int number, ImagePixels* out);
// Makes (or replaces) image `number` from pixel words.
void PutImage(int number, uint32_t width, uint32_t height, const uint32_t* pixels);

// Mesh store (object module): decodes a mesh memblock's bytes into host mesh
// `number` (replacing one of that number); refuses bytes it cannot hold.
bool PutMeshFromMemblock(int number, const uint8_t* bytes, uint32_t size);

} // namespace simhost
