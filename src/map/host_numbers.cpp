// Free host numbers: the first number at or above the setting for which the
// host has nothing. Searched afresh for every new image or object.
#include <cstdint>

#include "host/host_functions.h"
#include "map/kep_import.h"
#include "plugin/plugin_state.h"

namespace {
template <class Exists> int32_t FirstFree(int32_t start, Exists exists) {
    // Number 0 and negative numbers are never handed out.
    for (int32_t number = start > 1 ? start : 1;; ++number) {
        if (!exists(number)) return number;
        if (number == INT32_MAX) return 0;
    }
}
} // namespace

int32_t KEP_FreeImageNumber() {
    return FirstFree(g_plugin.initialImage,
                     [](int32_t n) { return host::image::GetExistEx(n) != 0; });
}

int32_t KEP_FreeObjectNumber() {
    return FirstFree(g_plugin.initialObject,
                     [](int32_t n) { return host::object::GetExist(n) != 0; });
}
