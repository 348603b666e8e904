// Plays a host that itself defines a function named like a plug-in command: the
// plug-in's own calls between its commands must still reach its own code.
// Loads a map, then calls Destructor, which clears it with the plug-in's KEP_Clear.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

extern "C" __attribute__((visibility("default"))) void KEP_Clear() {
    std::fprintf(stderr, "the host's own KEP_Clear was called\n");
    _exit(4); // the plug-in would call it forever: the map never goes
}

int main(int argc, char** argv) {
    void* plugin = argc == 3 ? dlopen(argv[1], RTLD_NOW | RTLD_LOCAL) : nullptr;
    void* constructor = plugin ? dlsym(plugin, "Constructor") : nullptr;
    void* load = plugin ? dlsym(plugin, "KEP_Load") : nullptr;
    void* destructor = plugin ? dlsym(plugin, "Destructor") : nullptr;
    if (!constructor || !load || !destructor) {
        std::fprintf(stderr, "usage: %s path/to/KEPImport.so scratch/map.kep\n", argv[0]);
        return 2;
    }
    // The smallest map: version 4 and four empty sections.
    const uint8_t map[20] = {4};
    std::FILE* file = std::fopen(argv[2], "wb");
    if (!file || std::fwrite(map, 1, sizeof map, file) != sizeof map || std::fclose(file) != 0)
        return 2;
    reinterpret_cast<void (*)()>(constructor)();
    if (reinterpret_cast<int32_t (*)(const char*, int32_t)>(load)(argv[2], 0) != 1) return 3;
    reinterpret_cast<void (*)()>(destructor)();
    return 0;
}
