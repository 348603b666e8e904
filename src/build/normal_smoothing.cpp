// Smoothing in linear time: vertices are grouped by position through one
// hash table, each group chained in vertex order, and every vertex looks only
// at the first 33 vertices of its group (itself and 32 others at most).
#include "build/normal_smoothing.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Candidates a vertex considers: the first this many others of its group.
constexpr uint32_t kMostOthers = 32;
constexpr uint32_t kLooked = kMostOthers + 1; // with the vertex itself

// SetSmoothing(object, 100) takes a candidate when (|dx| + |dy| + |dz|) / 3,
// in floats, is at most 1 (the angle over 100). As float division rounds
// monotonically, that holds exactly when the sum is at most 3: the float
// after 3, divided by 3, rounds above 1. The comparison spares a division.
constexpr float kMostSum = 3.0f;
static_assert(kMostSum / 3.0f <= 1.0f && (kMostSum + 0x1p-22f) / 3.0f > 1.0f,
              "3 is the largest float whose third rounds to at most 1");

// 1 / n for the n normals a sum may hold, each the float the host computes.
struct Inverses {
    float of[kLooked + 1] = {};
    constexpr Inverses() {
        for (uint32_t n = 1; n <= kLooked; ++n)
            of[n] = 1.0f / static_cast<float>(n);
    }
};
constexpr Inverses kInverse;

// Chain words: the next vertex of the group (kEnd after the last, and for a
// vertex in no group), with kFollows set on every vertex but a group's first.
constexpr uint32_t kEnd = 0x7FFFFFFFu;
constexpr uint32_t kFollows = 0x80000000u;

struct Vec {
    float x, y, z;
};

Vec Load(const uint8_t* at) {
    Vec v;
    std::memcpy(&v, at, sizeof v);
    return v;
}

// Component by component: a copy of the whole from a vector just computed
// would wait for its parts to reach memory first.
void Store(uint8_t* at, const Vec& v) {
    std::memcpy(at, &v.x, 4);
    std::memcpy(at + 4, &v.y, 4);
    std::memcpy(at + 8, &v.z, 4);
}

bool SamePlace(const Vec& a, const Vec& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

bool HasNaN(const Vec& v) {
    return v.x != v.x || v.y != v.y || v.z != v.z;
}

// A component's bits with -0 taken as +0: equal floats (NaN aside) hash alike.
uint32_t Bits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return f == 0.0f ? 0u : bits;
}

uint32_t Hash(const Vec& p) {
    uint32_t h = Bits(p.x) * 0x9E3779B1u;
    h = (h ^ (h >> 15) ^ Bits(p.y)) * 0x85EBCA77u;
    h = (h ^ (h >> 13) ^ Bits(p.z)) * 0xC2B2AE3Du;
    return h ^ (h >> 16);
}

// Slots for `count` vertices: a power of two, at most two thirds in use.
uint32_t TableSize(int32_t count) {
    uint32_t size = 16;
    while (size < static_cast<uint32_t>(count) + static_cast<uint32_t>(count) / 2)
        size <<= 1;
    return size;
}

bool SameBits(const Vec& a, const Vec& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// One group, from its first vertex: every member gets its new normal from the
// original normals of the group's first kLooked members, kept here before any
// normal is written, and its own. When those are all the same bits (a flat
// face's corners), every member with that normal too adds up the same
// numbers in the same order: its result is the first member's.
void SmoothGroup(uint8_t* vertices, int32_t stride, const uint32_t* next, uint32_t first) {
    auto normalAt = [&](uint32_t i) {
        return vertices + static_cast<std::size_t>(i) * stride + 12;
    };
    Vec looked[kLooked];
    uint32_t lookedCount = 0;
    bool alike = true;
    for (uint32_t i = first; i != kEnd && lookedCount < kLooked; i = next[i] & kEnd) {
        looked[lookedCount] = Load(normalAt(i));
        alike = alike && SameBits(looked[lookedCount], looked[0]);
        ++lookedCount;
    }

    Vec firstResult = {};
    uint32_t rank = 0;
    for (uint32_t i = first; i != kEnd; i = next[i] & kEnd, ++rank) {
        const Vec own = rank < lookedCount ? looked[rank] : Load(normalAt(i));
        if (alike && rank > 0 && SameBits(own, looked[0])) {
            Store(normalAt(i), firstResult);
            continue;
        }
        Vec sum = own;
        uint32_t added = 0;
        uint32_t others = 0;
        for (uint32_t k = 0; k < lookedCount && others < kMostOthers; ++k) {
            if (k == rank) continue;
            ++others;
            const Vec& other = looked[k];
            if (std::fabs(own.x - other.x) + std::fabs(own.y - other.y) +
                    std::fabs(own.z - other.z) <=
                kMostSum) {
                sum.x += other.x;
                sum.y += other.y;
                sum.z += other.z;
                ++added;
            }
        }
        const float scale = kInverse.of[1 + added];
        const Vec result = {sum.x * scale, sum.y * scale, sum.z * scale};
        Store(normalAt(i), result);
        if (rank == 0) firstResult = result;
    }
}

} // namespace

KEP_NormalSmoothing::KEP_NormalSmoothing()
    : m_slots(Words::allocator_type(KEP_UNIT_MAP, __LINE__)),
      m_next(Words::allocator_type(KEP_UNIT_MAP, __LINE__)) {}

void KEP_NormalSmoothing::Reserve(int32_t count) {
    if (count < 2) return;
    const uint32_t slots = TableSize(count);
    if (m_slots.size() < slots) {
        m_slots.clear();
        m_slots.resize(slots);
    }
    if (m_next.size() < static_cast<uint32_t>(count)) {
        m_next.clear();
        m_next.resize(static_cast<uint32_t>(count));
    }
}

void KEP_NormalSmoothing::Smooth(uint8_t* vertices, int32_t count, int32_t stride) {
    if (count < 2) return;
    Reserve(count);
    const uint32_t mask = TableSize(count) - 1;
    uint32_t* slots = m_slots.data();
    uint32_t* next = m_next.data();
    std::fill_n(slots, mask + 1, 0u);
    auto positionAt = [&](uint32_t i) {
        return Load(vertices + static_cast<std::size_t>(i) * stride);
    };

    // Last vertex first, each put at the head of its position's chain, so
    // that every chain runs in vertex order from the group's first vertex.
    for (uint32_t i = static_cast<uint32_t>(count); i-- > 0;) {
        next[i] = kEnd;
        const Vec position = positionAt(i);
        if (HasNaN(position)) continue; // equal to nothing, not even itself
        for (uint32_t at = Hash(position) & mask;; at = (at + 1) & mask) {
            const uint32_t head = slots[at];
            if (head == 0) {
                slots[at] = i + 1;
                break;
            }
            if (SamePlace(positionAt(head - 1), position)) {
                next[i] = head - 1;
                next[head - 1] |= kFollows;
                slots[at] = i + 1;
                break;
            }
        }
    }
    for (uint32_t i = 0; i < static_cast<uint32_t>(count); ++i)
        if (next[i] != kEnd && !(next[i] & kFollows)) SmoothGroup(vertices, stride, next, i);
}
