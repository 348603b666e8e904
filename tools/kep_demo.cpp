// Plays a host: loads the built plug-in beside the stand-in host, as a game
// would load it beside DarkBASIC Professional, loads a KEP map through it,
// prints what the map holds, turns the crate and opens its lid through their
// pivots, and draws what the host now shows into a picture.
//
//   kep_demo <KEPImport.so> <map.kep> <picture.png>
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "scene_render.h"
#include "simhost/scene.h"
#include "simhost/simhost.h"

namespace {

// The plug-in's exports, looked up by name as a host does.
struct Plugin {
    void* library = nullptr;

    template <class Fn> Fn Get(const char* name) const {
        void* symbol = dlsym(library, name);
        if (!symbol) {
            std::fprintf(stderr, "the plug-in does not export %s\n", name);
            std::exit(1);
        }
        return reinterpret_cast<Fn>(symbol);
    }
    int32_t Int(const char* name, int32_t a) const { return Get<int32_t (*)(int32_t)>(name)(a); }
    int32_t Int(const char* name, int32_t a, int32_t b) const {
        return Get<int32_t (*)(int32_t, int32_t)>(name)(a, b);
    }
    float Float(const char* name, int32_t a) const {
        const uint32_t bits = Get<uint32_t (*)(int32_t)>(name)(a);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // A string command: the previous result goes in first, null here.
    std::string Text(const char* name, int32_t a, int32_t b, const char* key) const {
        char* text = Get<char* (*)(char*, int32_t, int32_t, const char*)>(name)(nullptr, a, b, key);
        std::string result = text ? text : "";
        simhost::ReleaseHostStrings(); // the host frees what a script drops
        return result;
    }
};

enum Component { kGroup, kVisGroup, kEntity, kMesh, kTexture, kLightmap, kPivot, kMap, kObject };

void PrintMap(const Plugin& kep) {
    std::printf("Map %d: %d groups, %d visgroups, %d meshes, %d textures, %d lightmaps,\n"
                "       %d entities of which %d pivots; %d host objects built\n\n",
                kep.Get<int32_t (*)()>("KEP_GetCurrentMap")(), kep.Int("KEP_Count", kGroup),
                kep.Int("KEP_Count", kVisGroup), kep.Int("KEP_Count", kMesh),
                kep.Int("KEP_Count", kTexture), kep.Int("KEP_Count", kLightmap),
                kep.Int("KEP_Count", kEntity), kep.Int("KEP_Count", kPivot),
                kep.Int("KEP_Count", kObject));

    std::printf("Groups (index: name, object, pivot)\n");
    for (int32_t g = -1; g < kep.Int("KEP_Count", kGroup); ++g) {
        const std::string name =
            g < 0 ? "(no group)" : kep.Text("KEP_PropertyByKey", kGroup, g, "name");
        std::printf("  %2d: %-12s object %-5d pivot %d\n", g, name.c_str(),
                    kep.Int("KEP_GroupToObject", g), kep.Int("KEP_GroupToPivot", g));
    }

    std::printf("Meshes (index: group, surfaces, texture of the first)\n");
    for (int32_t m = 0; m < kep.Int("KEP_Count", kMesh); ++m)
        std::printf("  %2d: group %-3d %d surfaces, texture %d\n", m, kep.Int("KEP_MeshToGroup", m),
                    kep.Int("KEP_SurfaceCount", m), kep.Int("KEP_SurfaceTexture", m, 0));

    std::printf("Textures (index: name, host image)\n");
    auto textureName = kep.Get<int32_t (*)(char*, int32_t)>("KEPCPP_TextureName");
    for (int32_t t = 0; t < kep.Int("KEP_Count", kTexture); ++t) {
        char name[512] = "";
        textureName(name, t);
        std::printf("  %2d: %-12s image %d\n", t, name, kep.Int("KEP_TextureID", t));
    }

    std::printf("Entities (index: classname at x, y, z; pivot index)\n");
    for (int32_t e = 0; e < kep.Int("KEP_Count", kEntity); ++e)
        std::printf("  %2d: %-18s at %6.2f %6.2f %6.2f  pivot %d\n", e,
                    kep.Text("KEP_PropertyByKey", kEntity, e, "classname").c_str(),
                    kep.Float("KEP_EntityX", e), kep.Float("KEP_EntityY", e),
                    kep.Float("KEP_EntityZ", e), kep.Int("KEP_PivotID", e));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <KEPImport.so> <map.kep> <picture.png>\n", argv[0]);
        return 2;
    }
    Plugin kep;
    kep.library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!kep.library) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 1;
    }
    kep.Get<void (*)()>("Constructor")();
    char* version = kep.Get<char* (*)(char*)>("KEP_Version")(nullptr);
    std::printf("%s\n\nLOAD KEP %s, lightmaps on\n", version ? version : "", argv[2]);
    simhost::ReleaseHostStrings();

    if (!kep.Get<int32_t (*)(const char*, int32_t)>("KEP_Load")(argv[2], 2)) {
        char* error = kep.Get<char* (*)(char*)>("KEP_GetLastErrorText")(nullptr);
        std::fprintf(stderr, "LOAD KEP failed: %s\n", error ? error : "");
        return 1;
    }
    PrintMap(kep);

    // Pivot 0 turns the crate about its own pivot; pivot 1 is the lid, a limb
    // of the crate's object, which swings open about its hinge.
    auto rotate = kep.Get<void (*)(int32_t, float, float, float)>("KEP_Rotate");
    rotate(0, 0.0f, 25.0f, 0.0f);
    rotate(1, -35.0f, 0.0f, 0.0f);
    std::printf("\nKEP ROTATE 0, 0, 25, 0 (the crate) and KEP ROTATE 1, -35, 0, 0 (its lid)\n");

    const auto triangles = simhost::VisibleWorldTriangles();
    const kepr::Picture picture =
        kepr::Render(triangles, kepr::FrameTriangles(triangles), 800, 600);
    if (!kepr::WritePng(argv[3], picture)) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    std::printf("Drew %zu visible triangles into %s\n", triangles.size(), argv[3]);

    kep.Get<void (*)()>("Destructor")();
    std::printf("KEP CLEAR of every map left %zu host objects behind\n",
                simhost::ObjectNumbers().size());
    return 0;
}
