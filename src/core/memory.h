// Tagged heap allocation. Every block the plug-in takes carries the source unit
// and line of the call, so a debugging allocator can be slotted in here.
#pragma once

#include <cstddef>
#include <new>

void* KepAllocate(std::size_t size, const char* unit, int line);
void* KepReallocate(void* block, std::size_t size, const char* unit, int line);
void KepRelease(void* block);

// Records are made with ordinary (non-throwing) creation and handed here.
template <class T> T* KepTrackObject(T* object, const char* /*unit*/, int /*line*/) {
    return object;
}
inline void KepUntrackObject(const void* /*object*/) {}

// Creates a zero-initialised record, or null when memory is short.
#define KEP_NEW(Type, unit) KepTrackObject(new (std::nothrow) Type(), unit, __LINE__)
#define KEP_DELETE(object)                                                                         \
    do {                                                                                           \
        KepUntrackObject(object);                                                                  \
        delete (object);                                                                           \
    } while (0)

// Unit tags.
#define KEP_UNIT_LIST "CList"
#define KEP_UNIT_STRING "Cstring"
#define KEP_UNIT_FILE "CFile"
#define KEP_UNIT_MAP "kep_import_v4"
