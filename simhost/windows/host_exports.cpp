// The stand-in host as Windows DLLs. DBProCore.dll exports the core functions
// under their lookup names and one plainly named entry per module function;
// each module DLL forwards its functions' lookup names to those entries (see
// cmake/HostExports.cmake). As on the real host, words 16, 21 and 25 of the
// global structure hold the module DLLs' handles, so the plug-in finds every
// function with GetProcAddress exactly as it does there.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <kepimport/host_module.h>

#include "simhost_internal.h"

struct sObject;

namespace {

// A function the module's resolver does not know is a fault of the stand-in
// itself: the export table and the resolvers come from the same host table.
void* Resolve(HostModule& module, const char* lookupName) {
    void* function = module.resolve ? module.resolve(lookupName) : nullptr;
    if (!function) {
        std::fprintf(stderr, "stand-in host: no function %s\n", lookupName);
        std::abort();
    }
    return function;
}

// The directory this DLL was loaded from, with a trailing separator.
std::string OwnDirectory() {
    HMODULE self = nullptr;
    char path[MAX_PATH] = "";
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&OwnDirectory), &self) ||
        !GetModuleFileNameA(self, path, sizeof path))
        return "";
    std::string directory(path);
    const std::size_t cut = directory.find_last_of("\\/");
    return cut == std::string::npos ? "" : directory.substr(0, cut + 1);
}

uint32_t LoadModule(const char* fileName) {
    const std::string path = OwnDirectory() + fileName;
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) std::fprintf(stderr, "stand-in host: cannot load %s\n", path.c_str());
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(module));
}

// Puts the module DLLs' handles where the plug-in looks for its modules; the
// modules are loaded once, on the first request for the global structure.
uint32_t WithModuleHandles(uint32_t globalStructure) {
    static const uint32_t image = LoadModule("simhost_image.dll");
    static const uint32_t memblock = LoadModule("simhost_memblock.dll");
    static const uint32_t object = LoadModule("simhost_object.dll");
    uint32_t* words = reinterpret_cast<uint32_t*>(static_cast<uintptr_t>(globalStructure));
    if (words) {
        words[16] = image;
        words[21] = memblock;
        words[25] = object;
    }
    return globalStructure;
}

uint32_t AfterCoreCall(const char* name, uint32_t result) {
    return std::strcmp(name, "GetGlobPtr") == 0 ? WithModuleHandles(result) : result;
}

} // namespace

#define SIMHOST_MODULE_object simhost::ObjectModule()
#define SIMHOST_MODULE_image simhost::ImageModule()
#define SIMHOST_MODULE_memblock simhost::MemblockModule()
#define SIMHOST_RESULT_VOID void
#define SIMHOST_RESULT_INT int
#define SIMHOST_RESULT_DWORD uint32_t
#define SIMHOST_RESULT_FLOATBITS uint32_t
#define SIMHOST_RESULT_PTR sObject*

#define HOST_CORE_FUNCTION(name, lookup)                                                           \
    extern "C" uint32_t __cdecl simhost_core_##name() {                                            \
        using Fn = uint32_t(__cdecl*)();                                                           \
        static const Fn function = reinterpret_cast<Fn>(Resolve(host_module, lookup));             \
        return AfterCoreCall(#name, function());                                                   \
    }
#define HOST_FUNCTION(ns, word, kind, name, params, args, lookup)                                  \
    extern "C" SIMHOST_RESULT_##kind __cdecl simhost_##ns##_##name params {                        \
        using Fn = SIMHOST_RESULT_##kind(__cdecl*) params;                                         \
        static const Fn function = reinterpret_cast<Fn>(Resolve(SIMHOST_MODULE_##ns, lookup));     \
        return function args;                                                                      \
    }
#define HOST_OPTIONAL_FUNCTION HOST_FUNCTION
#include "host/host_functions.def"
#undef HOST_OPTIONAL_FUNCTION
#undef HOST_FUNCTION
#undef HOST_CORE_FUNCTION
