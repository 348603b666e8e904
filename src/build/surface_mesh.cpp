// One surface as the scratch mesh (usually 1), through the scratch memblock
// (usually 30) in the host's mesh memblock layout: a plain triangle list,
// corners in reverse order.
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "build/kep_build.h"
#include "build/normal_smoothing.h"
#include "core/CError.h"
#include "core/bits_and_case.h"
#include "host/host_functions.h"

namespace {

const uint32_t kPlainFormat = 0x152;       // position, normal, diffuse, one UV pair
const uint32_t kLightmappedFormat = 0x252; // the same with two UV pairs
const int kDiffuseWord = 6;                // the one word of a corner that is not a float
const int kMostCornerWords = 11;
const int kPlainCornerWords = 9;
const int32_t kHeaderBytes = 12;

// The triangle's three vertices; false when a corner names no vertex.
bool Corners(const KEP_Geometry& geometry, const KEP_Triangle& triangle,
             const KEP_Vertex* corners[3]) {
    for (int c = 0; c < 3; ++c)
        if (!(corners[c] = geometry.VertexAt(triangle.corners[c]))) return false;
    return true;
}

// Each sum is formed in double precision and rounded to float once.
float Place(float value, double subtract, float offset) {
    return static_cast<float>(static_cast<double>(value) - subtract + static_cast<double>(offset));
}

// One corner's words as the memblock holds them: 9, or 11 with lightmap UVs.
void EncodeCorner(const KEP_Vertex& v, const double base[3], const float* offset, bool lightmapped,
                  uint32_t* words) {
    for (int axis = 0; axis < 3; ++axis)
        words[axis] = KepFloatBits(Place(v.position[axis], base[axis], offset[axis]));
    for (int axis = 0; axis < 3; ++axis)
        words[3 + axis] = KepFloatBits(v.normal[axis]);
    words[kDiffuseWord] = (static_cast<uint32_t>(v.colour[0]) & 0xFFu) << 16 |
                          (static_cast<uint32_t>(v.colour[1]) & 0xFFu) << 8 |
                          (static_cast<uint32_t>(v.colour[2]) & 0xFFu);
    words[7] = KepFloatBits(v.texture[0]);
    words[8] = KepFloatBits(v.texture[1]);
    if (lightmapped) {
        words[9] = KepFloatBits(v.lightmap[0]);
        words[10] = KepFloatBits(v.lightmap[1]);
    }
}

// Where the memblock's words go: straight into its bytes when the host gave
// their address and they are all there, else into a copy here that Send
// hands over with one host write call per word (which leaves the same bytes,
// or none where the host has no memblock). Either way the bytes stay
// readable, so the normals can be smoothed in them before the host has them.
class MemblockWords {
  public:
    MemblockWords(int32_t memblock, int64_t size)
        : m_memblock(memblock), m_size(size),
          m_bytes(host::memblock::WritableBytes(memblock, size)),
          m_copy(Bytes::allocator_type(KEP_UNIT_MAP, __LINE__)) {}
    // Takes the copy when the host's bytes cannot be written directly.
    // Throws std::bad_alloc.
    void TakeCopyIfNeeded() {
        if (m_bytes) return;
        m_copy.resize(static_cast<std::size_t>(m_size));
        m_bytes = m_copy.data();
    }
    uint8_t* Vertices() { return m_bytes + kHeaderBytes; }
    void Put(int32_t at, const uint32_t* words, int count) {
        // Copies of a size known here compile to plain moves; a copy of a
        // size known only at run time costs more to start than the few
        // words of a corner take to move.
        if (count == kMostCornerWords)
            std::memcpy(m_bytes + at, words, kMostCornerWords * 4);
        else if (count == kPlainCornerWords)
            std::memcpy(m_bytes + at, words, kPlainCornerWords * 4);
        else
            std::memcpy(m_bytes + at, words, static_cast<std::size_t>(count) * 4);
    }
    // Writes the copy, if there is one, word by word in memblock order: the
    // header and each corner's diffuse colour as integers, the rest as floats.
    void Send(int32_t stride) {
        const int32_t cornerWords = stride / 4;
        for (std::size_t at = 0; at + 4 <= m_copy.size(); at += 4) {
            uint32_t word;
            std::memcpy(&word, m_copy.data() + at, 4);
            const int32_t position = static_cast<int32_t>(at);
            const bool isFloat = position >= kHeaderBytes &&
                                 (position - kHeaderBytes) / 4 % cornerWords != kDiffuseWord;
            if (isFloat)
                host::memblock::WriteMemblockFloat(m_memblock, position, KepFloatFromBits(word));
            else
                host::memblock::WriteMemblockDWord(m_memblock, position, word);
        }
    }

  private:
    using Bytes = std::vector<uint8_t, KepAllocator<uint8_t>>;
    int32_t m_memblock;
    int64_t m_size;
    uint8_t* m_bytes;
    Bytes m_copy; // empty when the host's bytes are written directly
};

} // namespace

void KEP_BuildSurfaceMesh(KEP_Surface* surface, const KEP_Mesh* mesh, KEP_Group* group,
                          const KEP_BuildState& build, const KEP_BuildOptions& options,
                          KEP_NormalSmoothing* smoothing) {
    const bool lightmapped = KEP_UsesLightmaps(options.lightmapFlag) && surface->lightmapIndex >= 0;
    const int32_t stride = lightmapped ? 44 : 36;

    // A triangle with a corner that names no vertex cannot be drawn: left out.
    const KEP_Geometry& geometry = surface->geometry;
    const KEP_Triangle* fileTriangles = geometry.Triangles();
    const KEP_Vertex* corners[3];
    int64_t triangles = 0;
    for (int32_t i = 0; i < geometry.TriangleCount(); ++i)
        if (Corners(geometry, fileTriangles[i], corners)) ++triangles;
    // A memblock holds at most INT32_MAX bytes; scripts have always been told
    // "Insufficient memory" for a surface past that.
    const int64_t size = 12 + triangles * 3 * stride;
    if (size > INT32_MAX)
        KEP_FAIL(HostLimit, InsufficientMemory, "KEP_BuildSurfaceMesh", KEP_UNIT_MAP);
    const int32_t vertices = static_cast<int32_t>(triangles * 3);
    // The smoothing's memory is taken before the host holds anything of the
    // surface, so that running short of it leaves nothing behind.
    KEP_NormalSmoothing ownSmoothing;
    if (!smoothing) smoothing = &ownSmoothing;
    smoothing->Reserve(vertices);

    const KEP_ScratchNumbers& scratch = build.numbers.scratch;
    host::memblock::MakeMemblock(scratch.meshMemblock, static_cast<int32_t>(size));
    MemblockWords out(scratch.meshMemblock, size);
    try {
        out.TakeCopyIfNeeded();
    } catch (const std::bad_alloc&) {
        host::memblock::DeleteMemblock(scratch.meshMemblock);
        throw;
    }
    const uint32_t header[3] = {lightmapped ? kLightmappedFormat : kPlainFormat,
                                static_cast<uint32_t>(stride), static_cast<uint32_t>(vertices)};
    out.Put(0, header, 3);

    // Vertices are written relative to the build origin. The surface that
    // makes a group's object is placed by the object's position (its mesh's
    // position plus the origin); every later surface becomes a limb whose
    // chain leads back to the origin, so it carries its own mesh's position
    // in its vertices. Either way a vertex lands at its file position plus
    // its mesh's position plus the map offset.
    const bool becomesLimb = group->build.object != 0;
    double base[3];
    for (int axis = 0; axis < 3; ++axis)
        base[axis] = static_cast<double>(build.buildOrigin[axis]) -
                     (becomesLimb ? static_cast<double>(mesh->position[axis]) : 0.0);
    const float* offset = options.mapOffset;
    const int words = stride / 4;
    uint32_t corner[kMostCornerWords];
    int32_t at = kHeaderBytes;
    for (int32_t i = 0; i < geometry.TriangleCount(); ++i) {
        if (!Corners(geometry, fileTriangles[i], corners)) continue;
        for (int c = 2; c >= 0; --c) {
            EncodeCorner(*corners[c], base, offset, lightmapped, corner);
            out.Put(at, corner, words);
            at += stride;
        }
    }
    // The host's smoothing, once for this mesh, over the very floats it gets.
    smoothing->Smooth(out.Vertices(), vertices, stride);
    out.Send(stride);
    host::memblock::CreateMeshFromMemblock(scratch.mesh, scratch.meshMemblock);
}
