// Plays a host without a core module: loads the plug-in by path and calls one command,
// which must tell the user and end the process with exit code 0 before it returns.
#include <dlfcn.h>

#include <cstdio>

int main(int argc, char** argv) {
    void* plugin = argc == 2 ? dlopen(argv[1], RTLD_NOW | RTLD_LOCAL) : nullptr;
    void* version = plugin ? dlsym(plugin, "KEP_Version") : nullptr;
    if (!version) {
        std::fprintf(stderr, "usage: %s path/to/KEPImport.so\n", argv[0]);
        return 2;
    }
    reinterpret_cast<char* (*)(char*)>(version)(nullptr);
    return 3; // the plug-in should have ended the process
}
