// The outside host on Windows: modules and functions as the real host finds
// them, and the plug-in's message boxes redirected through its import table.
#include <windows.h>

#include <process.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "outside_host.h"

namespace outside {

void* LoadPlugin(const std::string& path) {
    return reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
}

void* PluginExport(void* plugin, const char* name) {
    return plugin ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(plugin), name))
                  : nullptr;
}

// Once loaded, a later LoadLibraryA("DBProCore.dll") by the plug-in gets this
// module back by its name.
void* LoadHostCore(const std::string& directory) {
    return reinterpret_cast<void*>(LoadLibraryA((directory + "/DBProCore.dll").c_str()));
}

void* HostFunction(void* module, const char* lookupName) {
    return PluginExport(module, lookupName);
}

// The copy starts in this program's working directory and searches the
// program's own directory and the system's: none of them holds DBProCore.dll.
int RunWithoutHost(const std::string& self, const std::vector<std::string>& arguments) {
    std::vector<std::string> quoted{"\"" + self + "\""};
    for (const std::string& argument : arguments)
        quoted.push_back("\"" + argument + "\"");
    std::vector<const char*> argv;
    for (const std::string& argument : quoted)
        argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    const intptr_t code = _spawnv(_P_WAIT, self.c_str(), argv.data());
    return code < 0 ? -1 : static_cast<int>(code);
}

namespace {

int WINAPI CapturedMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
    return IDOK;
}

} // namespace

void CaptureMessageBoxes(void* plugin) {
    uint8_t* base = static_cast<uint8_t*>(plugin);
    if (!base) return;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress) return;
    for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         library->Name; ++library) {
        if (_stricmp(reinterpret_cast<const char*>(base + library->Name), "user32.dll") != 0)
            continue;
        auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; name->u1.AddressOfData; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), "MessageBoxA") != 0)
                continue;
            DWORD previous = 0;
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &previous);
            slot->u1.Function =
                static_cast<DWORD>(reinterpret_cast<uintptr_t>(&CapturedMessageBox));
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, previous, &previous);
        }
    }
}

} // namespace outside
