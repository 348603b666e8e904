#include "host/platform.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <kepimport/host_module.h>
#endif

namespace platform {

#if defined(_WIN32)

void* LoadLibraryA(const char* fileName) {
    return reinterpret_cast<void*>(::LoadLibraryA(fileName));
}

void* GetProcAddress(void* module, const char* lookupName) {
    if (!module || !lookupName) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), lookupName));
}

void FreeLibrary(void* module) {
    if (module) ::FreeLibrary(static_cast<HMODULE>(module));
}

void ExitProcess(unsigned code) {
    ::ExitProcess(code);
}

void MessageBoxA(const char* text, const char* caption, unsigned type) {
    ::MessageBoxA(nullptr, text, caption, type);
}

bool IsWritableMemory(const void* address, std::size_t bytes) {
    const DWORD writable =
        PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    uintptr_t at = reinterpret_cast<uintptr_t>(address);
    const uintptr_t end = at + bytes;
    if (!address || end < at) return false;
    while (at < end) {
        MEMORY_BASIC_INFORMATION info;
        if (::VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) == 0)
            return false;
        if (info.State != MEM_COMMIT || !(info.Protect & writable) ||
            (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)))
            return false;
        const uintptr_t regionEnd = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
        if (regionEnd <= at) return false;
        at = regionEnd;
    }
    return true;
}

bool IsExecutableMemory(const void* address) {
    const DWORD executable =
        PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    MEMORY_BASIC_INFORMATION info;
    if (!address || ::VirtualQuery(address, &info, sizeof info) == 0) return false;
    return info.State == MEM_COMMIT && (info.Protect & executable) &&
           !(info.Protect & (PAGE_GUARD | PAGE_NOACCESS));
}

void BreakIfDebuggerAttached() {
    if (::IsDebuggerPresent()) ::DebugBreak();
}

#else

namespace {

// Which dlopen handle each HostModule pointer came from, so FreeLibrary can
// close exactly what LoadLibraryA opened (one entry per successful load).
std::vector<std::pair<void*, void*>>& OpenModules() {
    static std::vector<std::pair<void*, void*>> modules;
    return modules;
}

} // namespace

void* LoadLibraryA(const char* fileName) {
    if (!fileName) return nullptr;
    void* library = dlopen(fileName, RTLD_NOW);
    if (!library) return nullptr;
    void* module = dlsym(library, "host_module");
    if (!module) {
        dlclose(library);
        return nullptr;
    }
    OpenModules().emplace_back(module, library);
    return module;
}

void* GetProcAddress(void* module, const char* lookupName) {
    if (!module || !lookupName) return nullptr;
    HostModule* host = static_cast<HostModule*>(module);
    return host->resolve ? host->resolve(lookupName) : nullptr;
}

void FreeLibrary(void* module) {
    auto& modules = OpenModules();
    for (auto it = modules.begin(); it != modules.end(); ++it) {
        if (it->first == module) {
            void* library = it->second;
            modules.erase(it);
            dlclose(library);
            return;
        }
    }
}

void ExitProcess(unsigned code) {
    std::exit(static_cast<int>(code));
}

void MessageBoxA(const char* text, const char* caption, unsigned /*type*/) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
}

bool IsWritableMemory(const void* address, std::size_t bytes) {
    // The kernel's list of mappings, in ascending order: the range must be
    // covered by consecutive readable and writable ones.
    uintptr_t at = reinterpret_cast<uintptr_t>(address);
    const uintptr_t end = at + bytes;
    if (!address || end < at) return false;
    std::FILE* maps = std::fopen("/proc/self/maps", "r");
    if (!maps) return false;
    char line[512];
    while (at < end && std::fgets(line, sizeof line, maps)) {
        unsigned long low = 0, high = 0;
        char perms[5] = {};
        if (std::sscanf(line, "%lx-%lx %4s", &low, &high, perms) != 3) continue;
        if (high <= at) continue;
        if (low > at || perms[0] != 'r' || perms[1] != 'w') break; // a gap or no access
        at = high;
    }
    std::fclose(maps);
    return at >= end;
}

bool IsExecutableMemory(const void* address) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(address);
    if (!address) return false;
    std::FILE* maps = std::fopen("/proc/self/maps", "r");
    if (!maps) return false;
    char line[512];
    bool executable = false;
    while (std::fgets(line, sizeof line, maps)) {
        unsigned long low = 0, high = 0;
        char perms[5] = {};
        if (std::sscanf(line, "%lx-%lx %4s", &low, &high, perms) != 3) continue;
        if (low <= at && at < high) {
            executable = perms[2] == 'x';
            break;
        }
    }
    std::fclose(maps);
    return executable;
}

void BreakIfDebuggerAttached() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return;
    char line[256];
    long tracer = 0;
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, "TracerPid:", 10) == 0) tracer = std::strtol(line + 10, nullptr, 10);
    std::fclose(status);
    if (tracer != 0) raise(SIGTRAP);
}

#endif

} // namespace platform
