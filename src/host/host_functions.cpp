#include "host/host_functions.h"

#include <cstring>

#include "core/bits_and_case.h"
#include "core/calling.h"
#include "host/CLibrary.h"
#include "host/platform.h"

namespace {

// One cached function pointer and once-flag per host function.
struct HostSlot {
    void* function;
    uint32_t guard;

    void* Resolve(int word, const char* lookupName) {
        if (!(guard & 1u)) {
            // Without the host's global structure there is nothing to look in
            // yet: the slot stays open so that a later call can still bind.
            uint32_t* core = GetCorePointer();
            if (!core) return nullptr;
            guard |= 1u; // set first: a failed look-up is never repeated
            void* module = reinterpret_cast<void*>(static_cast<uintptr_t>(core[word]));
            function = platform::GetProcAddress(module, lookupName);
        }
        return function;
    }
};

} // namespace

namespace host {

#define HOST_CALL_VOID(fn, args)                                                                   \
    if (fn) fn args
#define HOST_CALL_INT(fn, args) return fn ? fn args : 0
#define HOST_CALL_DWORD(fn, args) return fn ? fn args : 0u
#define HOST_CALL_FLOATBITS(fn, args) return fn ? KepFloatFromBits(fn args) : 0.0f
#define HOST_CALL_PTR(fn, args) return fn ? fn args : nullptr
#define HOST_RAW_VOID void
#define HOST_RAW_INT int
#define HOST_RAW_DWORD uint32_t
#define HOST_RAW_FLOATBITS uint32_t
#define HOST_RAW_PTR sObject*
#define HOST_FUNCTION(ns, word, kind, name, params, args, lookup)                                  \
    namespace ns {                                                                                 \
    HOST_RESULT_##kind name params {                                                               \
        using Fn = HOST_RAW_##kind(KEP_CDECL*) params;                                             \
        static HostSlot slot;                                                                      \
        Fn fn = reinterpret_cast<Fn>(slot.Resolve(word, lookup));                                  \
        HOST_CALL_##kind(fn, args);                                                                \
    }                                                                                              \
    }
// The wrapper and Has<name>() share one slot: asking costs the look-up once.
#define HOST_OPTIONAL_FUNCTION(ns, word, kind, name, params, args, lookup)                         \
    namespace ns {                                                                                 \
    namespace {                                                                                    \
    HostSlot name##Slot;                                                                           \
    }                                                                                              \
    bool Has##name() {                                                                             \
        return name##Slot.Resolve(word, lookup) != nullptr;                                        \
    }                                                                                              \
    HOST_RESULT_##kind name params {                                                               \
        using Fn = HOST_RAW_##kind(KEP_CDECL*) params;                                             \
        Fn fn = reinterpret_cast<Fn>(name##Slot.Resolve(word, lookup));                            \
        HOST_CALL_##kind(fn, args);                                                                \
    }                                                                                              \
    }
#define HOST_CORE_FUNCTION(name, lookup)
#include "host/host_functions.def"
#undef HOST_CORE_FUNCTION
#undef HOST_OPTIONAL_FUNCTION
#undef HOST_FUNCTION

bool ModulesStillLoaded() {
    uint32_t* core = GetCorePointer();
    // The host's global structure itself may be gone by then.
    if (!core || !platform::IsWritableMemory(core, (kObjectModuleWord + 1) * sizeof *core))
        return false;
    // A module the host has unloaded no longer hands out its functions, or
    // hands out addresses where no code is left.
    const struct {
        int word;
        const char* lookup;
    } probes[] = {{kObjectModuleWord, "?GetExist@@YAHH@Z"},
                  {kImageModuleWord, "?GetExistEx@@YAHH@Z"}};
    for (const auto& probe : probes) {
        void* module = reinterpret_cast<void*>(static_cast<uintptr_t>(core[probe.word]));
        void* function = platform::GetProcAddress(module, probe.lookup);
        if (!function || !platform::IsExecutableMemory(function)) return false;
    }
    return true;
}

namespace core {

namespace {
using CoreFn = uint32_t(KEP_CDECL*)();
}

void CloseDisplay() {
    static HostSlot slot;
    if (!(slot.guard & 1u)) {
        slot.guard |= 1u;
        slot.function = CoreModuleHolder().GetFunction(kCloseDisplayLookup);
    }
    if (slot.function) reinterpret_cast<CoreFn>(slot.function)();
}

void Quit() {
    static HostSlot slot;
    if (!(slot.guard & 1u)) {
        slot.guard |= 1u;
        CLibrary& holder = CoreModuleHolder();
        if (!holder.Handle()) holder.Load();
        slot.function = platform::GetProcAddress(holder.Handle(), kQuitLookup);
    }
    if (slot.function) reinterpret_cast<CoreFn>(slot.function)();
}

} // namespace core

namespace {
using StringAllocator = void(KEP_CDECL*)(uint32_t* word, uint32_t size);

StringAllocator HostStringAllocator() {
    uint32_t* core = GetCorePointer();
    if (!core) return nullptr;
    return reinterpret_cast<StringAllocator>(static_cast<uintptr_t>(core[kStringAllocatorWord]));
}
} // namespace

char* CreateHostString(uint32_t size) {
    StringAllocator allocate = HostStringAllocator();
    if (!allocate) return nullptr;
    uint32_t word = 0;
    allocate(&word, size);
    return reinterpret_cast<char*>(static_cast<uintptr_t>(word));
}

void DeleteHostString(char* text) {
    if (!text) return;
    StringAllocator allocate = HostStringAllocator();
    if (!allocate) return;
    uint32_t word = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(text));
    allocate(&word, 0);
}

} // namespace host
