// What both fuzz targets share: a working directory holding the textures the
// seed maps name, a fresh plug-in and stand-in host for every input, the
// answers every query gives about each loaded map, and the checks that a load
// left the host consistent. A failed check prints what differed and aborts,
// which the fuzzer reports as a crash with the input that caused it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fuzz {

// Where the fuzz targets put maps in the host, and the image they own.
constexpr int kMapMemblock = 7;
constexpr int kHarnessImage = 5;

// Once per process: a scratch directory with the seed maps' textures. Each
// input then runs in it (a memblock map finds its textures there) and gets a
// fresh plug-in and host; the fuzzer's own paths may be relative, so the
// previous working directory comes back when the input is done.
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

// "LOAD KEP" of the bytes written to a file in the scratch directory, and
// "MAKE KEP FROM MEMBLOCK" of them in memblock kMapMemblock (the host makes no
// empty memblock: the command then names a memblock that does not exist).
int32_t LoadFromFile(const uint8_t* data, std::size_t size, int32_t lightmapFlag);
int32_t LoadFromMemblock(const uint8_t* data, std::size_t size, int32_t lightmapFlag);

// Every query over edge indices (-1, 0, 1, count - 1, count, count + 1,
// INT_MIN, INT_MAX) of every component, as text, keyed by map number; host
// objects are asked about by the numbers given. The current map stays.
using Answers = std::map<int32_t, std::string>;
Answers AnswersOfEveryMap(const std::vector<int>& objectNumbers);
// Aborts unless every map in `before` is still there and answers the same.
void CheckMapsUnchanged(const Answers& before, const std::vector<int>& objectNumbers,
                        const char* after);

// Host operations stayed in range and the builder's scratch numbers are gone.
void CheckHostOperations(const char* after);

// Pivot moves, turns and visibility over edge indices and odd floats, and
// texture changes, on every map.
void ChangeEveryMap();

// Clears every map, then the host must hold nothing the plug-in made.
void ClearEveryMapAndCheckHost();

} // namespace fuzz
