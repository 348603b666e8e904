#include "core/memory.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

struct Tag {
    const char* unit;
    int line;
};

// Test state: both stay off in normal use, costing one test per call.
int64_t g_failAt = 0;
int64_t g_counted = 0;
bool g_tracking = false;

std::map<uintptr_t, Tag>& Blocks() {
    static std::map<uintptr_t, Tag> blocks;
    return blocks;
}

bool FailThisOne() {
    ++g_counted;
    return g_failAt != 0 && g_counted == g_failAt;
}

void Forget(uintptr_t block) {
    if (g_tracking && block) Blocks().erase(block);
}

void Remember(void* block, const char* unit, int line) {
    if (g_tracking && block) Blocks()[reinterpret_cast<uintptr_t>(block)] = {unit, line};
}

} // namespace

void* KepAllocate(std::size_t size, const char* unit, int line) {
    if (FailThisOne()) return nullptr;
    void* block = std::malloc(size);
    Remember(block, unit, line);
    return block;
}

void* KepReallocate(void* block, std::size_t size, const char* unit, int line) {
    if (FailThisOne()) return nullptr;
    const auto old = reinterpret_cast<uintptr_t>(block);
    void* moved = std::realloc(block, size);
    if (moved) {
        Forget(old);
        Remember(moved, unit, line);
    }
    return moved;
}

void KepRelease(void* block) {
    Forget(reinterpret_cast<uintptr_t>(block));
    std::free(block);
}

namespace kep_memory_test {

void FailNthAllocation(int64_t n) {
    g_failAt = n;
    g_counted = 0;
}

int64_t AllocationsSince() {
    return g_counted;
}

void TrackBlocks(bool on) {
    g_tracking = on;
    if (!on) Blocks().clear();
}

std::vector<std::string> LiveBlocks() {
    std::vector<std::string> list;
    for (const auto& [block, tag] : Blocks())
        list.push_back(std::string(tag.unit) + ":" + std::to_string(tag.line));
    std::sort(list.begin(), list.end());
    return list;
}

} // namespace kep_memory_test
