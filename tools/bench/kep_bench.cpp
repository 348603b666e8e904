// Load-time benchmark (not a test): writes maps of four shapes at several
// scales, loads each through the built plug-in and the stand-in host (call log
// off), and prints how the time and the plug-in's heap grow with the map.
//
//   kep_bench <KEPImport.so> [runs [shape]]
//
// `shape` picks the shapes whose name starts with it (for profiling one).
// Per map: its bytes; the best load time of `runs`; the parse-only floor (the
// best time to read the file and touch every value once); load / floor; the
// load time over that of the same shape at 1x; the plug-in's peak heap during
// the load per map byte; and what the plug-in still holds after the load, as a
// share of the map's size.
//
// Each row is measured in a child process of its own, started from the same
// state: what earlier rows left in the C allocator (its heap's layout and the
// thresholds it adapts as large blocks come and go) would otherwise decide
// whether a row's large blocks are new pages or reused ones, which moved a
// row's time by a third between two builds with the same allocations.
#include <dlfcn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_maps.h"
#include "build/kep_build.h"
#include "heap_watch.h"
#include "parse_floor.h"
#include "simhost/memblocks_images.h"
#include "simhost/simhost.h"

namespace {

const int kScales[] = {1, 4, 16};

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

template <class Fn> Fn Export(void* library, const char* name) {
    void* symbol = dlsym(library, name);
    if (!symbol) {
        std::fprintf(stderr, "the plug-in does not export %s\n", name);
        std::exit(1);
    }
    return reinterpret_cast<Fn>(symbol);
}

struct Result {
    uint64_t bytes = 0;
    double load = 0;
    double floor = 0;
    int64_t peak = 0;
    int64_t kept = 0;
    bool written = false; // the map file could be written
    bool loaded = false;  // every load succeeded
};

struct Plugin {
    int32_t (*load)(const char*, int32_t);
    void (*clear)();
    char* (*errorText)(char*);
};

Result MeasureRow(const Plugin& plugin, const kepbench::Shape& shape, int scale, int runs,
                  const std::string& path) {
    Result result;
    {
        const kepw::Bytes bytes = kepw::Write(shape.make(scale));
        result.bytes = bytes.size();
        if (!kepw::WriteFile(path, bytes)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return result;
        }
    }
    result.written = result.loaded = true;
    result.floor = 1e30;
    for (int r = 0; r < runs; ++r) {
        bool ok = false;
        const double start = Now();
        volatile uint64_t sum = kepbench::ParseOnly(path, &ok);
        (void)sum;
        result.floor = std::min(result.floor, Now() - start);
        if (!ok) std::fprintf(stderr, "the floor could not read %s\n", path.c_str());
    }
    result.load = 1e30;
    for (int r = 0; r < runs; ++r) {
        simhost::Reset();
        const int64_t before = kepbench::PluginHeapNow();
        kepbench::ResetPluginHeapPeak();
        const double start = Now();
        const int32_t loaded = plugin.load(path.c_str(), KEP_kLightmapsOn);
        const double took = Now() - start;
        if (!loaded) {
            const char* text = plugin.errorText(nullptr);
            std::fprintf(stderr, "%s %dx: LOAD KEP failed: %s\n", shape.name, scale,
                         text ? text : "");
            result.loaded = false;
        }
        result.load = std::min(result.load, took);
        result.peak = std::max(result.peak, kepbench::PluginHeapPeak() - before);
        result.kept = std::max(result.kept, kepbench::PluginHeapNow() - before);
        plugin.clear();
        simhost::Reset();
    }
    std::remove(path.c_str());
    return result;
}

// MeasureRow in a child process; its result comes back through a pipe.
Result MeasureRowApart(const Plugin& plugin, const kepbench::Shape& shape, int scale, int runs,
                       const std::string& path) {
    std::fflush(nullptr);
    int ends[2];
    if (pipe(ends) != 0) return Result{};
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        const Result result = MeasureRow(plugin, shape, scale, runs, path);
        const bool sent = write(ends[1], &result, sizeof result) == sizeof result;
        std::fflush(nullptr);
        _exit(sent ? 0 : 1);
    }
    close(ends[1]);
    Result result;
    if (child < 0 || read(ends[0], &result, sizeof result) != sizeof result) result = Result{};
    close(ends[0]);
    if (child > 0) waitpid(child, nullptr, 0);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <KEPImport.so> [runs [shape]]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string only = argc > 3 ? argv[3] : "";
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 1;
    }
    if (!kepbench::WatchHeapOf("KEPImport.so")) {
        std::fprintf(stderr, "cannot find the plug-in's image in memory\n");
        return 1;
    }
    const Plugin plugin{Export<int32_t (*)(const char*, int32_t)>(library, "KEP_Load"),
                        Export<void (*)()>(library, "KEP_Clear"),
                        Export<char* (*)(char*)>(library, "KEP_GetLastErrorText")};
    Export<void (*)()>(library, "Constructor")();

    char dirPattern[] = "/tmp/kep_bench_XXXXXX";
    if (!mkdtemp(dirPattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = dirPattern;
    for (const char* texture : kepbench::kTextureNames)
        simhost::WriteTestImageFile(dir + "/" + texture, 4, 4,
                                    std::vector<uint32_t>(16, 0xff808080u));

    std::printf("%-16s %5s %12s %9s %9s %10s %10s %11s %10s\n", "shape", "scale", "map bytes",
                "load s", "floor s", "load/floor", "t/t(1x)", "peak B/B", "kept %");
    bool allLoaded = true;
    for (const kepbench::Shape& shape : kepbench::kShapes) {
        if (std::string(shape.name).compare(0, only.size(), only) != 0) continue;
        double firstLoad = 0;
        for (const int scale : kScales) {
            const Result result = MeasureRowApart(plugin, shape, scale, runs, dir + "/map.kep");
            if (!result.loaded) allLoaded = false;
            if (!result.written) {
                std::fprintf(stderr, "%s %dx: not measured\n", shape.name, scale);
                continue;
            }
            if (scale == 1) firstLoad = result.load;
            std::printf("%-16s %4dx %12llu %9.3f %9.3f %10.1f %10.1f %11.2f %10.2f\n", shape.name,
                        scale, static_cast<unsigned long long>(result.bytes), result.load,
                        result.floor, result.load / result.floor, result.load / firstLoad,
                        static_cast<double>(result.peak) / static_cast<double>(result.bytes),
                        100.0 * static_cast<double>(result.kept) /
                            static_cast<double>(result.bytes));
            std::fflush(stdout);
        }
    }
    for (const char* texture : kepbench::kTextureNames)
        std::remove((dir + "/" + texture).c_str());
    rmdir(dir.c_str());
    return allLoaded ? 0 : 1;
}
