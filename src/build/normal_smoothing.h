// The host's normal smoothing, done on a mesh's vertices before the host gets
// them. The host's own SetSmoothing compares every vertex of a mesh with
// every other, which makes a big surface cost time in the square of its
// vertices; this gives the same bits in time linear in them.
//
// The rule, per mesh: a vertex's candidates are the other vertices whose
// position equals its own, compared as floats component by component (-0
// equals +0, and a NaN equals nothing), the first 32 of them in vertex order.
// A candidate whose normal differs from the vertex's by at most 1 on average,
// (|dx| + |dy| + |dz|) / 3 <= 1 in float arithmetic, is added into the
// vertex's normal in vertex order, and the sum is multiplied by 1 / (1 + the
// number added), even when that is 1. A vertex without candidates keeps its
// normal untouched; every new normal comes from the original ones, and none
// is renormalised.
#pragma once

#include <cstdint>
#include <vector>

#include "core/memory.h"

// Working memory for smoothing meshes one after another: one build keeps one
// and reuses it for every surface.
class KEP_NormalSmoothing {
  public:
    KEP_NormalSmoothing();

    // Makes room for a mesh of `count` vertices, so that Smooth of such a mesh
    // takes no memory. Throws std::bad_alloc.
    void Reserve(int32_t count);

    // Smooths the normals of `count` vertices laid out `stride` bytes apart
    // (at least 24), each with its position (x, y, z) at byte 0 and its
    // normal at byte 12, as floats: the mesh memblock's vertex layout.
    // Nothing but normals changes. Throws std::bad_alloc when not reserved.
    void Smooth(uint8_t* vertices, int32_t count, int32_t stride);

  private:
    using Words = std::vector<uint32_t, KepAllocator<uint32_t>>;
    Words m_slots; // positions by hash: the first vertex of each, plus one
    Words m_next;  // per vertex: the next one at its position, and a mark
};
