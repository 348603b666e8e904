// Heap blocks of the plug-in's own code. Every call names the source unit and
// line that takes the block: the names are what a test sees when it lists the
// blocks still held (leak listing), and the test-only switch below can make any
// one of these calls fail, so that every out-of-memory path can be walked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

void* KepAllocate(std::size_t size, const char* unit, int line);
void* KepReallocate(void* block, std::size_t size, const char* unit, int line);
void KepRelease(void* block);

// Records live in blocks from KepAllocate too: created zero-initialised, or
// null when memory is short; KepDelete runs the record's own clean-up.
template <class T> T* KepNew(const char* unit, int line) {
    void* block = KepAllocate(sizeof(T), unit, line);
    return block ? new (block) T() : nullptr;
}
template <class T> void KepDelete(T* record) {
    if (!record) return;
    record->~T();
    KepRelease(record);
}
#define KEP_NEW(Type, unit) KepNew<Type>(unit, __LINE__)

// An allocator for standard containers that the plug-in keeps, so that their
// blocks are named and can be failed like any other. Throws std::bad_alloc.
template <class T> struct KepAllocator {
    using value_type = T;
    const char* unit = "container";
    int line = 0;
    KepAllocator() = default;
    KepAllocator(const char* unit_, int line_) : unit(unit_), line(line_) {}
    template <class U>
    KepAllocator(const KepAllocator<U>& other) : unit(other.unit), line(other.line) {}
    T* allocate(std::size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        void* p = KepAllocate(n * sizeof(T), unit, line);
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t) { KepRelease(p); }
    template <class U> bool operator==(const KepAllocator<U>&) const { return true; }
    template <class U> bool operator!=(const KepAllocator<U>&) const { return false; }
};

// Unit names.
#define KEP_UNIT_LIST "CList"
#define KEP_UNIT_STRING "Cstring"
#define KEP_UNIT_FILE "CFile"
#define KEP_UNIT_MAP "kep_import_v4"
inline constexpr char kKepUnitList[] = KEP_UNIT_LIST;
inline constexpr char kKepUnitMap[] = KEP_UNIT_MAP;

// The same for containers that a map holds by the thousand (list nodes,
// property texts): the unit and line are part of the type, which saves the
// eight bytes a KepAllocator keeps in every container.
template <class T, const char* Unit, int Line> struct KepFixedAllocator {
    using value_type = T;
    template <class U> struct rebind { using other = KepFixedAllocator<U, Unit, Line>; };
    KepFixedAllocator() = default;
    template <class U> KepFixedAllocator(const KepFixedAllocator<U, Unit, Line>&) {}
    T* allocate(std::size_t n) { return KepAllocator<T>(Unit, Line).allocate(n); }
    void deallocate(T* p, std::size_t n) { KepAllocator<T>(Unit, Line).deallocate(p, n); }
    template <class U> bool operator==(const KepFixedAllocator<U, Unit, Line>&) const {
        return true;
    }
    template <class U> bool operator!=(const KepFixedAllocator<U, Unit, Line>&) const {
        return false;
    }
};

// Test-only hooks; the plug-in itself never calls them.
namespace kep_memory_test {
// Makes the n-th allocation from now fail (1: the next one); 0 turns it off.
// Only that one call fails: later ones succeed again.
void FailNthAllocation(int64_t n);
// Allocations made since the last FailNthAllocation call.
int64_t AllocationsSince();
// Starts (or stops, and forgets) listing the blocks that are taken.
void TrackBlocks(bool on);
// The tracked blocks still held, one "unit:line" each, sorted.
std::vector<std::string> LiveBlocks();
} // namespace kep_memory_test
