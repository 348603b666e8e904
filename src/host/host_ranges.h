// The numbers the host's functions accept. A number outside its range, like a
// memblock, image, object, mesh or limb that does not exist where one must,
// makes the host raise a run-time error, and a run-time error ends the script:
// the plug-in checks before it calls (docs/host-calls.md lists every call).
#pragma once

#include <cstdint>

namespace host {

// Memblocks are numbered 1 to 257.
constexpr int32_t kLastMemblock = 257;
// Images and objects 1 to 22,000,000.
constexpr int32_t kLastImage = 22000000;
constexpr int32_t kLastObject = 22000000;
// A mesh made from a memblock must lie below 22,000,000, though the mesh
// functions take that number itself: the lower bound holds for all.
constexpr int32_t kLastMesh = 21999999;

inline bool IsMemblockNumber(int32_t n) {
    return n >= 1 && n <= kLastMemblock;
}
inline bool IsImageNumber(int32_t n) {
    return n >= 1 && n <= kLastImage;
}
inline bool IsObjectNumber(int32_t n) {
    return n >= 1 && n <= kLastObject;
}

} // namespace host
