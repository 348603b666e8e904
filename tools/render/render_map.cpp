// Loads a KEP map through the plug-in, beside the stand-in host, and draws
// what the host would show into a PNG picture.
//
//   kep_render_map <plug-in .so> <map.kep> <picture.png> [lightmap flag]
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "scene_render.h"
#include "simhost/scene.h"

namespace {
template <class Fn> Fn Export(void* library, const char* name) {
    return reinterpret_cast<Fn>(dlsym(library, name));
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <KEPImport.so> <map.kep> <picture.png> [flag]\n", argv[0]);
        return 2;
    }
    void* plugin = dlopen(argv[1], RTLD_NOW);
    if (!plugin) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 1;
    }
    auto load = Export<int32_t (*)(const char*, int32_t)>(plugin, "KEP_Load");
    auto errorText = Export<char* (*)(char*)>(plugin, "KEP_GetLastErrorText");
    auto destructor = Export<void (*)()>(plugin, "Destructor");
    if (!load || !errorText || !destructor) {
        std::fprintf(stderr, "%s is not the KEP plug-in\n", argv[1]);
        return 1;
    }
    const int32_t flag = argc > 4 ? std::atoi(argv[4]) : 2;
    if (!load(argv[2], flag)) {
        const char* text = errorText(nullptr);
        std::fprintf(stderr, "LOAD KEP failed: %s\n", text ? text : "");
        return 1;
    }
    const auto triangles = simhost::VisibleWorldTriangles();
    const kepr::Picture picture =
        kepr::Render(triangles, kepr::FrameTriangles(triangles), 640, 480);
    const bool written = kepr::WritePng(argv[3], picture);
    std::printf("%zu triangles drawn into %s\n", triangles.size(), argv[3]);
    destructor();
    return written ? 0 : 1;
}
