// The host's normal smoothing, as the host itself does it: every vertex of a
// mesh is compared with every other. Quadratic, and kept so: it is the
// reference that the plug-in's own smoothing must match bit for bit.
#include <cmath>
#include <cstdint>

#include "simhost/scene.h"

namespace simhost {

void SmoothMeshNormals(std::vector<MeshVertex>& vertices, float limit) {
    constexpr std::size_t kMostShared = 32;
    struct Normal {
        float x, y, z;
    };
    const std::size_t count = vertices.size();
    // First, for every vertex, the normals of the first 32 other vertices at
    // its position (as floats compare: -0 is +0, NaN is nothing).
    std::vector<uint8_t> shared(count, 0);
    std::vector<Normal> sharedNormals(count * kMostShared);
    for (std::size_t v = 0; v < count; ++v) {
        const float* at = vertices[v].position;
        for (std::size_t s = 0; s < count; ++s) {
            const float* other = vertices[s].position;
            if (v == s || !(at[0] == other[0] && at[1] == other[1] && at[2] == other[2])) continue;
            if (shared[v] < kMostShared) {
                const float* n = vertices[s].normal;
                sharedNormals[v * kMostShared + shared[v]] = {n[0], n[1], n[2]};
                ++shared[v];
            }
        }
    }
    // Then each vertex with any takes the average of its own normal and those
    // within the limit: the sum times the inverse of the count.
    for (std::size_t v = 0; v < count; ++v) {
        if (shared[v] == 0) continue;
        float* n = vertices[v].normal;
        const Normal own = {n[0], n[1], n[2]};
        Normal average = own;
        uint32_t averaged = 1;
        for (std::size_t k = 0; k < shared[v]; ++k) {
            const Normal& other = sharedNormals[v * kMostShared + k];
            const float dx = std::fabs(own.x - other.x);
            const float dy = std::fabs(own.y - other.y);
            const float dz = std::fabs(own.z - other.z);
            if ((dx + dy + dz) / 3.0f <= limit) {
                average.x += other.x;
                average.y += other.y;
                average.z += other.z;
                ++averaged;
            }
        }
        const float inverse = 1.0f / static_cast<float>(averaged);
        n[0] = average.x * inverse;
        n[1] = average.y * inverse;
        n[2] = average.z * inverse;
    }
}

} // namespace simhost
