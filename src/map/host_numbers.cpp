// Free host numbers: the first number at or above the setting (and at or above
// 1) for which the host has nothing.
//
// A load takes numbers one after another, and asking the host about every
// number from the setting upwards each time costs a number of calls that grows
// with the square of the objects made. Within one load nothing but the plug-in
// changes the host, and the plug-in only adds images and objects, except where
// it deletes one through the helpers below. So every number below the one the
// last search returned still exists, and the next search can go on from there:
// it returns exactly what a search from the setting would. Deleting forgets
// that, and so do the start and the end of every load.
#include <cstdint>

#include "host/host_functions.h"
#include "map/kep_import.h"

namespace {

struct SearchMemory {
    int32_t start = 0;  // the search's first number when `resume` was found
    int32_t resume = 0; // the number the last search returned; 0: nothing known
};

bool g_remembering = false;
SearchMemory g_images;
SearchMemory g_objects;

template <class Exists> int32_t FirstFree(int32_t start, Exists exists) {
    for (int32_t number = start;; ++number) {
        if (!exists(number)) return number;
        if (number == INT32_MAX) return 0;
    }
}

template <class Exists> int32_t Search(SearchMemory& memory, int32_t setting, Exists exists) {
    // Number 0 and negative numbers are never handed out.
    const int32_t start = setting > 1 ? setting : 1;
    const bool known = g_remembering && memory.resume != 0 && memory.start == start;
    const int32_t found = FirstFree(known ? memory.resume : start, exists);
    if (g_remembering) memory = {start, found};
    return found;
}

} // namespace

KEP_NumberSearchScope::KEP_NumberSearchScope() {
    g_remembering = true;
    g_images = {};
    g_objects = {};
}

KEP_NumberSearchScope::~KEP_NumberSearchScope() {
    g_remembering = false;
    g_images = {};
    g_objects = {};
}

int32_t KEP_FreeImageNumber(int32_t initialImage) {
    return Search(g_images, initialImage,
                  [](int32_t n) { return host::image::GetExistEx(n) != 0; });
}

int32_t KEP_FreeObjectNumber(int32_t initialObject) {
    return Search(g_objects, initialObject,
                  [](int32_t n) { return host::object::GetExist(n) != 0; });
}

void KEP_DeleteHostImage(int32_t image) {
    g_images = {};
    host::image::DeleteEx(image);
}

void KEP_DeleteHostObject(int32_t object) {
    g_objects = {};
    host::object::DeleteEx(object);
}
