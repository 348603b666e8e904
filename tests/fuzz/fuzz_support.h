// What both fuzz targets share: a working directory holding the textures the
// seed maps name, a fresh plug-in and stand-in host for every input, and a few
// cheap checks on what the host holds. Each input does one cheap thing and
// leaves finding faults to the sanitizers; a failed check prints what differed
// and aborts, which the fuzzer reports as a crash with the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fuzz {

// The memblock the targets put maps in, and an image of their own.
constexpr int kMapMemblock = 7;
constexpr int kHarnessImage = 5;

// Once per process a scratch directory with the seed maps' textures; each
// input runs in it (a memblock map finds its textures there) with a fresh
// plug-in and host. The fuzzer's own paths may be relative, so the previous
// working directory comes back when the input is done.
class ScratchInput {
  public:
    ScratchInput();
    ~ScratchInput();
    ScratchInput(const ScratchInput&) = delete;
    ScratchInput& operator=(const ScratchInput&) = delete;

  private:
    int m_previousDir;
};

[[noreturn]] void Fail(const std::string& what);

// Small valid maps written by the map writer (both versions, every section).
const std::vector<std::vector<uint8_t>>& SmallMaps();

// Runs a load; when it fails, the maps loaded before must answer as before.
int32_t CheckedLoad(const std::function<int32_t()>& load);

// "LOAD KEP" of the bytes written to a file in the scratch directory, or
// "MAKE KEP FROM MEMBLOCK" of them in kMapMemblock (no bytes: no memblock).
int32_t LoadBytes(const uint8_t* data, std::size_t size, bool fromFile, int32_t lightmapFlag);

// The host refused no write and holds no scratch memblock or mesh.
void CheckHostOperations(const char* after);

// Clears every map; the host must then hold nothing the plug-in made.
void ClearEveryMapAndCheckHost();

} // namespace fuzz
