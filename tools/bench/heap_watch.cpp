#include "heap_watch.h"

#include <link.h>
#include <malloc.h>

#include <cstring>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void __libc_free(void* block);
}

namespace {

uintptr_t g_low = 0;
uintptr_t g_high = 0;
int64_t g_now = 0;
int64_t g_peak = 0;

bool FromPlugin(const void* caller) {
    const auto at = reinterpret_cast<uintptr_t>(caller);
    return at >= g_low && at < g_high;
}

void Took(void* block) {
    if (!block) return;
    g_now += static_cast<int64_t>(malloc_usable_size(block));
    if (g_now > g_peak) g_peak = g_now;
}

void Gave(void* block) {
    if (block) g_now -= static_cast<int64_t>(malloc_usable_size(block));
}

struct Search {
    const char* suffix;
    bool found;
};

int FindObject(dl_phdr_info* info, std::size_t, void* data) {
    auto* search = static_cast<Search*>(data);
    const std::size_t nameLength = std::strlen(info->dlpi_name);
    const std::size_t suffixLength = std::strlen(search->suffix);
    if (nameLength < suffixLength ||
        std::strcmp(info->dlpi_name + nameLength - suffixLength, search->suffix) != 0)
        return 0;
    uintptr_t low = UINTPTR_MAX, high = 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD) continue;
        const uintptr_t start = info->dlpi_addr + segment.p_vaddr;
        if (start < low) low = start;
        if (start + segment.p_memsz > high) high = start + segment.p_memsz;
    }
    g_low = low;
    g_high = high;
    search->found = high > low;
    return 1;
}

} // namespace

extern "C" {

void* malloc(std::size_t size) {
    void* block = __libc_malloc(size);
    if (FromPlugin(__builtin_return_address(0))) Took(block);
    return block;
}

void* calloc(std::size_t count, std::size_t size) {
    void* block = __libc_calloc(count, size);
    if (FromPlugin(__builtin_return_address(0))) Took(block);
    return block;
}

void* realloc(void* block, std::size_t size) {
    const bool plugin = FromPlugin(__builtin_return_address(0));
    const int64_t before = block ? static_cast<int64_t>(malloc_usable_size(block)) : 0;
    void* moved = __libc_realloc(block, size);
    if (plugin && (moved || size == 0)) {
        g_now -= before;
        Took(moved);
    }
    return moved;
}

void free(void* block) {
    if (FromPlugin(__builtin_return_address(0))) Gave(block);
    __libc_free(block);
}

} // extern "C"

namespace kepbench {

bool WatchHeapOf(const char* suffix) {
    Search search{suffix, false};
    dl_iterate_phdr(&FindObject, &search);
    g_now = g_peak = 0;
    return search.found;
}

int64_t PluginHeapNow() {
    return g_now;
}
int64_t PluginHeapPeak() {
    return g_peak;
}
void ResetPluginHeapPeak() {
    g_peak = g_now;
}

} // namespace kepbench
