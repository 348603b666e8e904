// The memblock module: numbered blocks of bytes that the plug-in fills through
// write calls or a raw address, and turns into images and meshes. Each function
// makes the real host's checks in the real host's order; a failed check raises
// its run-time error and the call does nothing more.
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include <kepimport/host_module.h>

#include "simhost/memblocks_images.h"
#include "simhost/simhost.h"
#include "simhost_internal.h"

namespace simhost {
namespace {

constexpr uint32_t kImageHeaderSize = 12;
constexpr uint32_t kImageDepth = 32;

// A block's bytes never move while it exists, so an address handed out by
// GetMemblockPtr stays valid until that block is deleted or replaced.
std::map<int, std::vector<uint8_t>> g_memblocks;
int g_addressRefusedFor = -1;
bool g_keepMeshMemblocks = false;
std::vector<std::vector<uint8_t>> g_meshMemblocks;

std::vector<uint8_t>* Find(int number) {
    auto it = g_memblocks.find(number);
    return it == g_memblocks.end() ? nullptr : &it->second;
}

// Makes (or replaces) a memblock, zero-filled or copied from `source`; refuses
// sizes a host would not give. The copy is taken before the old block goes, so
// `source` may point into the block being replaced.
std::vector<uint8_t>* Make(int number, uint64_t size, const uint8_t* source = nullptr) {
    if (size == 0 || size > kMaxMemblockSize) return nullptr;
    try {
        std::vector<uint8_t> bytes =
            source ? std::vector<uint8_t>(source, source + size) : std::vector<uint8_t>(size, 0);
        std::vector<uint8_t>& slot = g_memblocks[number];
        slot.swap(bytes);
        return &slot;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

uint32_t ReadWord(const uint8_t* at) {
    return uint32_t{at[0]} | (uint32_t{at[1]} << 8) | (uint32_t{at[2]} << 16) |
           (uint32_t{at[3]} << 24);
}

void WriteWord(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value >> 16);
    at[3] = static_cast<uint8_t>(value >> 24);
}

bool IsMemblockNumber(int number) {
    return number >= 1 && number <= kLastMemblockNumber;
}

bool IsImageNumber(int number) {
    return number >= 1 && number <= kLastImageNumber;
}

// The checks of every function that works on an existing memblock.
template <typename... Values> bool RefuseMissing(const char* name, int number, Values... args) {
    return RefuseCall(!IsMemblockNumber(number), kMemblockRangeIllegal, name, args...) ||
           RefuseCall(!Find(number), kMemblockNotExist, name, args...);
}

// Writes four bytes; the host takes a position from 0 to four bytes short of
// the memblock's end.
void WriteChecked(const char* name, int number, int position, uint32_t value, double shown) {
    if (RefuseMissing(name, number, number, position, shown)) return;
    std::vector<uint8_t>* block = Find(number);
    if (RefuseCall(position < 0 || static_cast<uint64_t>(position) + 4 > block->size(),
                   kMemblockOutsideRange, name, number, position, shown))
        return;
    WriteWord(block->data() + position, value);
}

void __attribute__((cdecl)) MakeMemblock(int number, int size) {
    LogCallOf("MakeMemblock", number, size);
    const char* name = "MakeMemblock";
    if (RefuseCall(!IsMemblockNumber(number), kMemblockRangeIllegal, name, number, size) ||
        RefuseCall(Find(number) != nullptr, kMemblockAlreadyExists, name, number, size) ||
        RefuseCall(size < 1, kMemblockSizeInvalid, name, number, size))
        return;
    RefuseCall(!Make(number, static_cast<uint64_t>(size)), kMemblockCreationFailed, name, number,
               size);
}

void __attribute__((cdecl)) DeleteMemblock(int number) {
    LogCallOf("DeleteMemblock", number);
    if (RefuseMissing("DeleteMemblock", number, number)) return;
    g_memblocks.erase(number);
}

int __attribute__((cdecl)) MemblockExist(int number) {
    LogCallOf("MemblockExist", number);
    if (RefuseCall(!IsMemblockNumber(number), kMemblockRangeIllegal, "MemblockExist", number))
        return 0;
    return Find(number) ? 1 : 0;
}

int __attribute__((cdecl)) GetMemblockSize(int number) {
    LogCallOf("GetMemblockSize", number);
    if (RefuseMissing("GetMemblockSize", number, number)) return 0;
    return static_cast<int>(Find(number)->size());
}

uint32_t __attribute__((cdecl)) GetMemblockPtr(int number) {
    LogCallOf("GetMemblockPtr", number);
    if (RefuseMissing("GetMemblockPtr", number, number)) return 0;
    std::vector<uint8_t>* block = number == g_addressRefusedFor ? nullptr : Find(number);
    return block ? static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block->data())) : 0;
}

void __attribute__((cdecl)) WriteMemblockDWord(int number, int position, uint32_t value) {
    LogCallOf("WriteMemblockDWord", number, position, value);
    WriteChecked("WriteMemblockDWord", number, position, value, value);
}

void __attribute__((cdecl)) WriteMemblockFloat(int number, int position, float value) {
    LogCallOf("WriteMemblockFloat", number, position, value);
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    WriteChecked("WriteMemblockFloat", number, position, bits, value);
}

// Reads an image memblock: header width, height and depth, then the pixels.
// The header is not trusted: the pixels it announces must all be present.
void __attribute__((cdecl)) CreateImageFromMemblock(int image, int number) {
    LogCallOf("CreateImageFromMemblock", image, number);
    const char* name = "CreateImageFromMemblock";
    if (RefuseCall(!IsImageNumber(image), kImageNumberIllegal, name, image, number) ||
        RefuseMissing(name, number, image, number))
        return;
    const std::vector<uint8_t>* block = Find(number);
    if (block->size() < kImageHeaderSize) return;
    const uint8_t* bytes = block->data();
    const uint32_t width = ReadWord(bytes);
    const uint32_t height = ReadWord(bytes + 4);
    if (width == 0 || height == 0 || ReadWord(bytes + 8) != kImageDepth) return;
    const uint64_t pixelCount = uint64_t{width} * height;
    if (pixelCount > (block->size() - kImageHeaderSize) / 4) return;
    try {
        std::vector<uint32_t> pixels(static_cast<std::size_t>(pixelCount));
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = ReadWord(bytes + kImageHeaderSize + 4 * i);
        PutImage(image, width, height, pixels.data());
    } catch (const std::bad_alloc&) {
        // No image, as for any other image the host cannot make.
    }
}

// Replaces any memblock of that number, as the host does.
void __attribute__((cdecl)) CreateMemblockFromImage(int number, int image) {
    LogCallOf("CreateMemblockFromImage", number, image);
    const char* name = "CreateMemblockFromImage";
    ImagePixels found;
    if (RefuseCall(!IsMemblockNumber(number), kMemblockRangeIllegal, name, number, image) ||
        RefuseCall(!IsImageNumber(image), kImageNumberIllegal, name, number, image) ||
        RefuseCall(!FindImage(image, &found), kImageNotExist, name, number, image))
        return;
    const uint64_t pixelCount = uint64_t{found.width} * found.height;
    std::vector<uint8_t>* block = Make(number, kImageHeaderSize + pixelCount * 4);
    if (!block) return;
    uint8_t* bytes = block->data();
    WriteWord(bytes, found.width);
    WriteWord(bytes + 4, found.height);
    WriteWord(bytes + 8, kImageDepth);
    for (uint64_t i = 0; i < pixelCount; ++i)
        WriteWord(bytes + kImageHeaderSize + 4 * i, found.pixels[i]);
}

// Replaces any mesh of that number, as the host does; a mesh made from a
// memblock must lie below the host's last mesh number.
void __attribute__((cdecl)) CreateMeshFromMemblock(int mesh, int number) {
    LogCallOf("CreateMeshFromMemblock", mesh, number);
    const char* name = "CreateMeshFromMemblock";
    if (RefuseCall(mesh < 1 || mesh >= kLastMeshNumber, kMeshNumberIllegal, name, mesh, number) ||
        RefuseMissing(name, number, mesh, number))
        return;
    const std::vector<uint8_t>* block = Find(number);
    if (g_keepMeshMemblocks) g_meshMemblocks.push_back(*block);
    PutMeshFromMemblock(mesh, block->data(), static_cast<uint32_t>(block->size()));
}

template <typename F> void* Address(F* function) {
    return reinterpret_cast<void*>(function);
}

void* ResolveMemblock(const char* name) {
    if (!ResolveAllowed(name)) return nullptr;
    const std::string n(name);
    if (n == "?DeleteMemblock@@YAXH@Z") return Address(&DeleteMemblock);
    if (n == "?GetMemblockPtr@@YAKH@Z") return Address(&GetMemblockPtr);
    if (n == "?GetMemblockSize@@YAHH@Z") return Address(&GetMemblockSize);
    if (n == "?CreateImageFromMemblock@@YAXHH@Z") return Address(&CreateImageFromMemblock);
    if (n == "?CreateMemblockFromImage@@YAXHH@Z") return Address(&CreateMemblockFromImage);
    if (n == "?MakeMemblock@@YAXHH@Z") return Address(&MakeMemblock);
    if (n == "?CreateMeshFromMemblock@@YAXHH@Z") return Address(&CreateMeshFromMemblock);
    if (n == "?MemblockExist@@YAHH@Z") return Address(&MemblockExist);
    if (n == "?WriteMemblockDWord@@YAXHHK@Z") return Address(&WriteMemblockDWord);
    if (n == "?WriteMemblockFloat@@YAXHHM@Z") return Address(&WriteMemblockFloat);
    return nullptr;
}

HostModule g_module = {&ResolveMemblock};

} // namespace

HostModule& MemblockModule() {
    return g_module;
}

void ResetMemblocks() {
    // Swap with empties so that the memory itself goes, not just the contents.
    std::map<int, std::vector<uint8_t>>().swap(g_memblocks);
    g_addressRefusedFor = -1;
    g_keepMeshMemblocks = false;
    std::vector<std::vector<uint8_t>>().swap(g_meshMemblocks);
}

void RefuseMemblockAddress(int number) {
    g_addressRefusedFor = number;
}

void KeepMeshMemblocks(bool keep) {
    g_keepMeshMemblocks = keep;
}

const std::vector<std::vector<uint8_t>>& MeshMemblocks() {
    return g_meshMemblocks;
}

uint8_t* MemblockData(int number, uint32_t* size) {
    std::vector<uint8_t>* block = Find(number);
    if (size) *size = block ? static_cast<uint32_t>(block->size()) : 0;
    return block ? block->data() : nullptr;
}

bool PutMemblock(int number, const uint8_t* bytes, uint32_t size) {
    return Make(number, size, bytes) != nullptr;
}

bool ReadMemblock(int number, std::vector<uint8_t>* out) {
    const std::vector<uint8_t>* block = Find(number);
    if (!block) return false;
    *out = *block;
    return true;
}

std::vector<int> MemblockNumbers() {
    std::vector<int> numbers;
    for (const auto& entry : g_memblocks)
        numbers.push_back(entry.first);
    return numbers;
}

} // namespace simhost
