#include <windows.h>

#include "stand_in_host.h"

namespace kepsession {

bool LoadStandInHost(std::string* error) {
    char self[MAX_PATH] = "";
    const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    if (length == 0 || length >= sizeof self) {
        *error = "cannot find where this program is";
        return false;
    }
    std::string path(self);
    path.erase(path.find_last_of("\\/") + 1);
    path += std::string(kHostFolder) + "\\DBProCore.dll";
    // The host's own module DLLs are loaded from its folder by the host itself.
    if (LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) return true;
    *error =
        "cannot load the stand-in host " + path + " (error " + std::to_string(GetLastError()) + ")";
    return false;
}

} // namespace kepsession
