#include "core/memory.h"

#include <cstdlib>

void* KepAllocate(std::size_t size, const char* /*unit*/, int /*line*/) {
    return std::malloc(size);
}

void* KepReallocate(void* block, std::size_t size, const char* /*unit*/, int /*line*/) {
    return std::realloc(block, size);
}

void KepRelease(void* block) {
    std::free(block);
}
