// Free host numbers: the first number at or above the setting (and at or above
// 1) for which the host has nothing, up to the host's last number; the host
// ends the script when asked about a number past it.
//
// A load takes numbers one after another, and asking the host about every
// number from the setting upwards each time costs a number of calls that grows
// with the square of the objects made. Within one load nothing but the plug-in
// changes the host, and the plug-in only adds images and objects, except where
// it deletes one through the helpers below. So every number below the one the
// last search returned still exists, and the next search can go on from there:
// it returns exactly what a search from the setting would. Deleting forgets
// that, and so do the start and the end of every load. What the searches
// know lives in the builder's state (KEP_BuildState::numbers).
#include <cstdint>

#include "build/kep_build.h"
#include "host/host_functions.h"
#include "host/host_ranges.h"

namespace {

template <class Exists> int32_t FirstFree(int32_t start, int32_t last, Exists exists) {
    for (int32_t number = start; number <= last; ++number)
        if (!exists(number)) return number;
    return 0;
}

template <class Exists>
int32_t Search(const KEP_NumberSearches& searches, KEP_NumberSearchMemory& memory, int32_t setting,
               int32_t last, Exists exists) {
    // Number 0 and negative numbers are never handed out.
    const int32_t start = setting > 1 ? setting : 1;
    const bool known = searches.remembering && memory.resume != 0 && memory.start == start;
    const int32_t found = FirstFree(known ? memory.resume : start, last, exists);
    if (searches.remembering) memory = {start, found};
    return found;
}

} // namespace

KEP_NumberSearchScope::KEP_NumberSearchScope(KEP_NumberSearches& searches) : m_searches(searches) {
    m_searches = KEP_NumberSearches();
    m_searches.remembering = true;
}

KEP_NumberSearchScope::~KEP_NumberSearchScope() {
    m_searches = KEP_NumberSearches();
}

int32_t KEP_FreeImageNumber(KEP_NumberSearches& searches, int32_t initialImage) {
    return Search(searches, searches.images, initialImage, host::kLastImage,
                  [](int32_t n) { return host::image::GetExistEx(n) != 0; });
}

int32_t KEP_FreeObjectNumber(KEP_NumberSearches& searches, int32_t initialObject) {
    return Search(searches, searches.objects, initialObject, host::kLastObject,
                  [](int32_t n) { return host::object::GetExist(n) != 0; });
}

void KEP_DeleteHostImage(KEP_NumberSearches& searches, int32_t image) {
    searches.images = {};
    host::image::DeleteEx(image);
}

void KEP_DeleteHostObject(KEP_NumberSearches& searches, int32_t object) {
    searches.objects = {};
    host::object::DeleteEx(object);
}
