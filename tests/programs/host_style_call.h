// Calling the plug-in's commands and the host's functions as the host does.
// Every argument and result of them is one 32-bit word (integers, floats,
// pointers; these are 32-bit programs), passed and returned by the C calling
// convention. Like the host, the caller makes each function's pointer type
// itself, so the sanitizer's check of function types is off here.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "outside_host.h"

#define HOST_CDECL __attribute__((cdecl))

#if defined(__clang__)
#define KEP_HOST_STYLE_CALL __attribute__((no_sanitize("function")))
#else
#define KEP_HOST_STYLE_CALL
#endif

using Words = std::vector<uint32_t>;

KEP_HOST_STYLE_CALL inline uint32_t CallWords(void* function, const Words& a) {
    using W = uint32_t;
    switch (a.size()) {
    case 0:
        return reinterpret_cast<W(HOST_CDECL*)()>(function)();
    case 1:
        return reinterpret_cast<W(HOST_CDECL*)(W)>(function)(a[0]);
    case 2:
        return reinterpret_cast<W(HOST_CDECL*)(W, W)>(function)(a[0], a[1]);
    case 3:
        return reinterpret_cast<W(HOST_CDECL*)(W, W, W)>(function)(a[0], a[1], a[2]);
    case 4:
        return reinterpret_cast<W(HOST_CDECL*)(W, W, W, W)>(function)(a[0], a[1], a[2], a[3]);
    default:
        return reinterpret_cast<W(HOST_CDECL*)(W, W, W, W, W)>(function)(a[0], a[1], a[2], a[3],
                                                                         a[4]);
    }
}

// The host's core module and the plug-in beside it, started as the host starts
// them: the global structure fetched, Constructor called, and the core pointer
// handed to a plug-in that asks for it.
class HostProcess {
  public:
    HostProcess(const std::string& plugin, const std::string& hostDirectory) {
        void* core = outside::LoadHostCore(hostDirectory);
        if (void* getGlobPtr = outside::HostFunction(core, "?GetGlobPtr@@YAKXZ"))
            global = reinterpret_cast<uint32_t*>(static_cast<uintptr_t>(CallWords(getGlobPtr, {})));
        if (!global) throw std::runtime_error("no host core module in " + hostDirectory);
        m_plugin = outside::LoadPlugin(plugin);
        if (!m_plugin) throw std::runtime_error("cannot load the plug-in " + plugin);
        Plugin("Constructor");
        if (void* receive = outside::PluginExport(m_plugin, "ReceiveCoreDataPtr"))
            CallWords(receive, {uint32_t(reinterpret_cast<uintptr_t>(global))});
    }
    uint32_t Plugin(const std::string& name, const Words& args = {}) const {
        void* function = outside::PluginExport(m_plugin, name.c_str());
        if (!function) throw std::runtime_error("the plug-in has no " + name);
        return CallWords(function, args);
    }
    // A function of the module in word 16 (images), 21 (memblocks) or 25 (objects).
    uint32_t Host(int word, const char* lookupName, const Words& args) const {
        void* module = reinterpret_cast<void*>(static_cast<uintptr_t>(global[word]));
        void* function = outside::HostFunction(module, lookupName);
        if (!function) throw std::runtime_error(std::string("the host has no ") + lookupName);
        return CallWords(function, args);
    }
    // A string result, copied, then freed through the host's allocator (word 0).
    std::string Take(uint32_t text) const {
        const char* chars = reinterpret_cast<const char*>(static_cast<uintptr_t>(text));
        const std::string copy = chars ? chars : "";
        using Allocator = void(HOST_CDECL*)(uint32_t*, uint32_t);
        if (text) reinterpret_cast<Allocator>(static_cast<uintptr_t>(global[0]))(&text, 0);
        return copy;
    }

    uint32_t* global = nullptr;

  private:
    void* m_plugin = nullptr;
};
