// The scratch numbers of a load. A script keeps its own memblocks and meshes
// under numbers of its choosing, low ones above all; the host refuses to make a
// memblock whose number is taken, and a mesh made under a taken number replaces
// the script's. So each scratch number is the first free one at or above its
// usual number, asked of the host once per load: within a load only the
// plug-in changes the host, and it gives every scratch number back right after
// each use. KEP_NumberSearchScope forgets them with the rest of the searches.
#include <cstdint>

#include "build/kep_build.h"
#include "core/CError.h"
#include "host/host_functions.h"
#include "host/host_ranges.h"

namespace {

int32_t FirstFreeMemblock(int32_t from) {
    for (int32_t n = from; n <= host::kLastMemblock; ++n)
        if (!host::memblock::MemblockExist(n)) return n;
    return 0;
}

int32_t FirstFreeMesh(int32_t from) {
    for (int32_t n = from; n <= host::kLastMesh; ++n)
        if (!host::object::GetMeshExist(n)) return n;
    return 0;
}

[[noreturn]] void NoneFree(const char* what) {
    KEP_FAIL(HostLimit, NoFreeScratchNumber, "KEP_ChooseScratch", KEP_UNIT_MAP, what);
}

} // namespace

void KEP_ChooseLightmapScratch(KEP_NumberSearches& searches) {
    KEP_ScratchNumbers& scratch = searches.scratch;
    if (scratch.imageMemblock != 0) return;
    scratch.imageMemblock = FirstFreeMemblock(KEP_kImageMemblock);
    if (scratch.imageMemblock == 0) NoneFree("memblock");
}

void KEP_ChooseSurfaceScratch(KEP_NumberSearches& searches) {
    KEP_ScratchNumbers& scratch = searches.scratch;
    if (scratch.meshMemblock != 0 && scratch.mesh != 0) return;
    scratch.meshMemblock = FirstFreeMemblock(KEP_kMeshMemblock);
    if (scratch.meshMemblock == 0) NoneFree("memblock");
    scratch.mesh = FirstFreeMesh(KEP_kScratchMesh);
    if (scratch.mesh == 0) NoneFree("mesh");
}
