// Placeholder modules: resolve nothing until the real modules arrive.
#include "simhost/simhost.h"
#include "simhost_internal.h"

namespace simhost {
namespace {
void* ResolveNothing(const char* name) {
    ResolveAllowed(name);
    return nullptr;
}
HostModule g_image = {&ResolveNothing};
HostModule g_memblock = {&ResolveNothing};
HostModule g_object = {&ResolveNothing};
} // namespace
HostModule& ImageModule() { return g_image; }
HostModule& MemblockModule() { return g_memblock; }
HostModule& ObjectModule() { return g_object; }
void ResetMemblocks() {}
void ResetImages() {}
void ResetObjects() {}
} // namespace simhost
