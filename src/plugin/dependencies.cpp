// The host modules this plug-in calls into. The host's compiler links only the
// runtime modules a script's own commands need; without this list a script
// that uses only KEP commands would lack the memblock, image and 3D-object
// modules, and every load would fail. Not script commands: the compiler asks.
#include "plugin/exports.h"

namespace {
const char* const kDependencies[] = {
    "DBProMemblocksDebug.dll",
    "DBProImageDebug.dll",
    "DBProBasic3DDebug.dll",
};
const int kDependencyCount = sizeof kDependencies / sizeof kDependencies[0];
} // namespace

KEP_EXPORT int KEP_CDECL GetNumDependencies() {
    return kDependencyCount;
}

KEP_EXPORT const char* KEP_CDECL GetDependencyID(int n) {
    return n >= 0 && n < kDependencyCount ? kDependencies[n] : "";
}
