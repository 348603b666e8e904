// Wrappers of the host's functions. Each resolves its exact lookup name on its
// first call (once, even when the name is missing) and afterwards costs one
// flag test and one indirect call. A wrapper whose function could not be found,
// or that has no core pointer to look through, calls nothing and returns 0.
// An optional function's Has<name>() resolves it the same way and tells
// whether the host has it.
#pragma once

#include <cstdint>

struct sObject; // the host's object record; only its layout is known

namespace host {

#define HOST_RESULT_VOID void
#define HOST_RESULT_INT int
#define HOST_RESULT_DWORD uint32_t
#define HOST_RESULT_FLOATBITS float
#define HOST_RESULT_PTR sObject*
#define HOST_FUNCTION(ns, word, kind, name, params, args, lookup)                                  \
    namespace ns {                                                                                 \
    HOST_RESULT_##kind name params;                                                                \
    }
#define HOST_OPTIONAL_FUNCTION(ns, word, kind, name, params, args, lookup)                         \
    HOST_FUNCTION(ns, word, kind, name, params, args, lookup)                                      \
    namespace ns {                                                                                 \
    bool Has##name();                                                                              \
    }
// The core functions' lookup names: core::kGetGlobPtrLookup and so on.
#define HOST_CORE_FUNCTION(name, lookup)                                                           \
    namespace core {                                                                               \
    inline constexpr char k##name##Lookup[] = lookup;                                              \
    }
#include "host/host_functions.def"
#undef HOST_CORE_FUNCTION
#undef HOST_OPTIONAL_FUNCTION
#undef HOST_FUNCTION

// True while the host's image and 3D-object modules are still loaded. A
// program that ends lets the host unload its modules before it calls the
// plug-in's Destructor; calling into them then would crash the ending program.
bool ModulesStillLoaded();

namespace memblock {
// The memblock's bytes, to be written in place, when the host gives their
// address and holds at least `size` of them; else null, and the memblock is
// written with one host call per word instead.
inline uint8_t* WritableBytes(int32_t memblock, int64_t size) {
    const uint32_t address = GetMemblockPtr(memblock);
    if (address == 0 || GetMemblockSize(memblock) < size) return nullptr;
    return reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(address));
}
} // namespace memblock

namespace core {
// Resolved through the core module holder; used only on the fatal path.
void CloseDisplay();
void Quit();
} // namespace core

// The host's string allocator (word 0 of the global structure).
char* CreateHostString(uint32_t size);
void DeleteHostString(char* text);

} // namespace host
