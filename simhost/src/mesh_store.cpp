// Host meshes made from mesh memblocks: a 12-byte header (format flags, vertex
// size, vertex count) followed by a plain triangle list of vertices.
#include "mesh_store.h"

#include <cstring>
#include <map>

#include "simhost_internal.h"

namespace simhost {
namespace {

// Vertex format bits that this host can lay out.
constexpr uint32_t kPosition = 0x002;
constexpr uint32_t kNormal = 0x010;
constexpr uint32_t kDiffuse = 0x040;
constexpr uint32_t kTexCountMask = 0xF00;
constexpr uint32_t kTexCountShift = 8;
constexpr uint32_t kMaxTexPairs = 8;
constexpr uint32_t kHeaderSize = 12;

struct StoredMesh {
    uint32_t formatFlags = 0;
    std::vector<MeshVertex> vertices;
};

std::map<int, StoredMesh> g_meshes;

uint32_t ReadWord(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

float ReadFloat(const uint8_t* at) {
    const uint32_t bits = ReadWord(at);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Where each field sits inside one vertex; -1 when the format lacks it.
struct VertexLayout {
    int normal = -1;
    int diffuse = -1;
    int uv = -1;
    int uv2 = -1;
    uint32_t size = 0; // bytes the format needs
};

bool LayoutFor(uint32_t flags, VertexLayout* layout) {
    // A vertex needs a position, and bits we cannot size would shift every
    // later field: refuse rather than read garbage.
    if (!(flags & kPosition)) return false;
    if (flags & ~(kPosition | kNormal | kDiffuse | kTexCountMask)) return false;
    const uint32_t pairs = (flags & kTexCountMask) >> kTexCountShift;
    if (pairs > kMaxTexPairs) return false;
    uint32_t at = 12;
    if (flags & kNormal) {
        layout->normal = static_cast<int>(at);
        at += 12;
    }
    if (flags & kDiffuse) {
        layout->diffuse = static_cast<int>(at);
        at += 4;
    }
    if (pairs >= 1) layout->uv = static_cast<int>(at);
    if (pairs >= 2) layout->uv2 = static_cast<int>(at + 8);
    layout->size = at + pairs * 8;
    return true;
}

MeshVertex DecodeVertex(const uint8_t* at, const VertexLayout& layout) {
    MeshVertex v;
    for (int i = 0; i < 3; ++i)
        v.position[i] = ReadFloat(at + 4 * i);
    if (layout.normal >= 0)
        for (int i = 0; i < 3; ++i)
            v.normal[i] = ReadFloat(at + layout.normal + 4 * i);
    if (layout.diffuse >= 0) v.diffuse = ReadWord(at + layout.diffuse);
    if (layout.uv >= 0)
        for (int i = 0; i < 2; ++i)
            v.uv[i] = ReadFloat(at + layout.uv + 4 * i);
    if (layout.uv2 >= 0)
        for (int i = 0; i < 2; ++i)
            v.uv2[i] = ReadFloat(at + layout.uv2 + 4 * i);
    return v;
}

bool DecodeMesh(const uint8_t* bytes, uint32_t size, StoredMesh* mesh) {
    if (!bytes || size < kHeaderSize) return false;
    const uint32_t flags = ReadWord(bytes);
    const uint32_t stride = ReadWord(bytes + 4);
    const uint32_t count = ReadWord(bytes + 8);
    VertexLayout layout;
    if (!LayoutFor(flags, &layout) || stride < layout.size) return false;
    // The count comes from the bytes themselves: check it against the size
    // in 64 bits before reading a single vertex.
    const uint64_t needed = kHeaderSize + static_cast<uint64_t>(count) * stride;
    if (needed > size) return false;
    mesh->formatFlags = flags;
    mesh->vertices.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        mesh->vertices.push_back(DecodeVertex(bytes + kHeaderSize + i * stride, layout));
    return true;
}

} // namespace

bool PutMeshFromMemblock(int number, const uint8_t* bytes, uint32_t size) {
    // A refused mesh leaves no mesh of that number, so a stale one is never
    // taken for the geometry that failed to arrive.
    g_meshes.erase(number);
    if (number < 1) return false;
    StoredMesh mesh;
    if (!DecodeMesh(bytes, size, &mesh)) return false;
    g_meshes[number] = std::move(mesh);
    return true;
}

bool MakeMeshFromBytes(int number, const std::vector<uint8_t>& bytes) {
    if (bytes.size() != static_cast<uint32_t>(bytes.size())) return false;
    return PutMeshFromMemblock(number, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

const std::vector<MeshVertex>* FindMeshVertices(int number) {
    const auto found = g_meshes.find(number);
    return found == g_meshes.end() ? nullptr : &found->second.vertices;
}

void DeleteMeshNumber(int number) {
    g_meshes.erase(number);
}

void ResetMeshes() {
    g_meshes.clear();
}

std::vector<int> MeshNumbers() {
    std::vector<int> numbers;
    for (const auto& entry : g_meshes)
        numbers.push_back(entry.first);
    return numbers;
}

bool FindMesh(int number, MeshInfo* out) {
    const auto found = g_meshes.find(number);
    if (found == g_meshes.end()) return false;
    if (out) {
        out->number = number;
        out->formatFlags = found->second.formatFlags;
        out->vertices = found->second.vertices;
    }
    return true;
}

} // namespace simhost
