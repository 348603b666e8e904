// The maps of the real-host load benchmark (not a test), and their load times
// beside the stand-in host for comparison.
//
//   realhost_bench_maps write <folder>                 maps, their textures and maps.txt
//   realhost_bench_maps time <KEPImport.so> <folder>   "file seconds" per map of maps.txt
//
// maps.txt lists one map a line: file, shape, scale, triangles, bytes. The
// shapes are those whose load cost in a host can grow faster than the map:
// one huge surface, ten big surfaces, many small surfaces (limbs of a few
// objects), many objects, many images on many limbs, and each of the last two
// alone.
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_maps.h"
#include "simhost/memblocks_images.h"
#include "simhost/simhost.h"

namespace {

struct Row {
    std::string shape;
    double scale;
    kepw::Map map;
};

int64_t Triangles(const kepw::Map& map) {
    int64_t count = 0;
    for (const kepw::Mesh& mesh : map.meshes)
        for (const kepw::Surface& surface : mesh.surfaces)
            count += static_cast<int64_t>(surface.triangles.size());
    return count;
}

// Ten surfaces of one mesh, each a closed strip of `triangles` triangles.
kepw::Map TenSurfaces(int triangles) {
    kepw::Map map;
    map.lightmaps.push_back(kepw::PatternLightmap(64, 64, 1));
    kepw::Mesh mesh;
    for (int s = 0; s < 10; ++s)
        mesh.surfaces.push_back(
            kepbench::Strip(triangles, kepbench::kTextureNames[s % 3], 1, 10.0f + s));
    map.meshes.push_back(std::move(mesh));
    return map;
}

// `lightmaps` lightmaps of 16 x 16 and `meshes` one-triangle meshes of the
// default group (limbs of one object), mesh n lightmapped with lightmap
// n mod `lightmaps`.
kepw::Map LightmappedTriangles(int lightmaps, int meshes) {
    kepw::Map map;
    for (int l = 0; l < lightmaps; ++l)
        map.lightmaps.push_back(kepw::PatternLightmap(16, 16, static_cast<uint32_t>(l)));
    for (int m = 0; m < meshes; ++m) {
        kepw::Mesh mesh;
        mesh.position = {static_cast<float>(m % 64), 0.0f, static_cast<float>(m / 64)};
        mesh.surfaces.push_back(
            kepw::TriangleSurface(kepbench::kTextureNames[m % 3], m % lightmaps + 1));
        map.meshes.push_back(std::move(mesh));
    }
    return map;
}

std::vector<Row> Rows() {
    std::vector<Row> rows;
    for (int scale : {1, 4, 16})
        rows.push_back({"huge surface", double(scale), kepbench::kShapes[1].make(scale)});
    // 6,250 triangles a surface at 1x: 100,000 in all at 1.6x, 1 M at 16x.
    for (double scale : {1.0, 1.6, 4.0, 16.0})
        rows.push_back({"ten surfaces", scale, TenSurfaces(static_cast<int>(6250 * scale))});
    for (int scale : {1, 4, 16})
        rows.push_back({"many surfaces", double(scale), kepbench::kShapes[3].make(scale)});
    for (int scale : {1, 4, 16})
        rows.push_back({"many objects", double(scale), kepbench::kShapes[0].make(scale)});
    for (int scale : {1, 4, 16})
        rows.push_back(
            {"many images", double(scale), LightmappedTriangles(250 * scale, 250 * scale)});
    for (int scale : {1, 4, 16})
        rows.push_back({"many lightmaps", double(scale), LightmappedTriangles(250 * scale, 1)});
    for (int scale : {1, 4, 16})
        rows.push_back({"many limbs", double(scale), LightmappedTriangles(1, 250 * scale)});
    return rows;
}

int Write(const std::string& folder) {
    std::ofstream list(folder + "/maps.txt");
    for (const char* texture : kepbench::kTextureNames)
        simhost::WriteTestImageFile(folder + "/" + texture, 4, 4,
                                    std::vector<uint32_t>(16, 0xff808080u));
    int n = 0;
    for (const Row& row : Rows()) {
        const std::string file = "map" + std::to_string(++n) + ".kep";
        const kepw::Bytes bytes = kepw::Write(row.map);
        if (!kepw::WriteFile(folder + "/" + file, bytes)) {
            std::fprintf(stderr, "cannot write %s/%s\n", folder.c_str(), file.c_str());
            return 1;
        }
        list << file << '\t' << row.shape << '\t' << row.scale << '\t' << Triangles(row.map) << '\t'
             << bytes.size() << '\n';
        std::fprintf(stderr, "\rwrote %d maps", n);
    }
    std::fprintf(stderr, "\n");
    return list ? 0 : 1;
}

int Time(const std::string& pluginPath, const std::string& folder) {
    void* plugin = dlopen(pluginPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!plugin) {
        std::fprintf(stderr, "cannot load %s: %s\n", pluginPath.c_str(), dlerror());
        return 1;
    }
    auto load = reinterpret_cast<int32_t (*)(const char*, int32_t)>(dlsym(plugin, "KEP_Load"));
    auto clear = reinterpret_cast<void (*)()>(dlsym(plugin, "KEP_Clear"));
    auto constructor = reinterpret_cast<void (*)()>(dlsym(plugin, "Constructor"));
    if (!load || !clear || !constructor) {
        std::fprintf(stderr, "%s lacks the load exports\n", pluginPath.c_str());
        return 1;
    }
    simhost::SetCallLog(simhost::CallLog::kOff);
    constructor();
    std::ifstream list(folder + "/maps.txt");
    for (std::string line; std::getline(list, line);) {
        const std::string file = line.substr(0, line.find('\t'));
        const std::string path = folder + "/" + file;
        simhost::Reset();
        const auto start = std::chrono::steady_clock::now();
        const int32_t loaded = load(path.c_str(), 2);
        const double took =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        clear();
        std::printf("%s %.3f %d\n", file.c_str(), took, loaded);
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "write" && argc == 3) return Write(argv[2]);
    if (mode == "time" && argc == 4) return Time(argv[2], argv[3]);
    std::fprintf(stderr,
                 "usage: %s write <folder>\n"
                 "       %s time <KEPImport.so> <folder>\n",
                 argv[0], argv[0]);
    return 2;
}
