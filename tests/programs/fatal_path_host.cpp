// Plays a host that has no core module: it loads the plug-in by path, with no
// "DBProCore.dll" anywhere the plug-in could find it, and calls one command.
// The plug-in must tell the user and end the process with exit code 0 before
// the command returns.
#include <dlfcn.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s path/to/KEPImport.so\n", argv[0]);
        return 2;
    }
    void* plugin = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!plugin) {
        std::fprintf(stderr, "cannot load the plug-in: %s\n", dlerror());
        return 3;
    }
    using VersionFn = char* (*)(char*);
    auto version = reinterpret_cast<VersionFn>(dlsym(plugin, "KEP_Version"));
    if (!version) {
        std::fprintf(stderr, "the plug-in has no KEP_Version\n");
        return 4;
    }
    version(nullptr);
    std::printf("KEP_Version returned\n");
    return 5;
}
