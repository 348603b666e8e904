// Host module contract for Linux hosts of the KEPImport plug-in.
//
// A host module is a shared object that exports one data symbol, `host_module`.
// The plug-in resolves the host's functions by their exact lookup names (for
// instance "?GetGlobPtr@@YAKXZ") through `resolve`, because ELF symbol names
// cannot carry those names. `resolve` returns null for a name it does not know.
// Words 16, 21 and 25 of the host's global structure hold `HostModule*` values
// for the image, memblock and 3D-object modules; on i386 they are 32-bit.
// Every function reached this way uses the C calling convention.
#ifndef KEPIMPORT_HOST_MODULE_H
#define KEPIMPORT_HOST_MODULE_H

#ifdef __cplusplus
extern "C" {
#endif

struct HostModule {
    void* (*resolve)(const char* lookupName);
};

#ifdef __cplusplus
extern HostModule host_module;
}
#else
extern struct HostModule host_module;
#endif

#endif
