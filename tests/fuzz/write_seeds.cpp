// Writes the fuzz targets' seed corpus with the map writer: every seed map of
// both versions for the map-bytes target, and for the command target byte
// strings that the interpreter reads as mixed command sequences.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "kep_writer.h"
#include "seed_maps.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s map-seed-dir command-seed-dir\n", argv[0]);
        return 2;
    }
    const std::string maps = argv[1], commands = argv[2];
    bool ok = true;
    for (const auto& [name, map] : fuzz::SeedMaps())
        ok = kepw::WriteFile(maps + "/" + name + ".kep", kepw::Write(map)) && ok;
    // Command sequences: the interpreter takes choices from the end and map
    // bytes from the front, so seeds of varied length and content reach
    // different mixes; a fixed generator keeps them the same on every build.
    uint32_t state = 12345u;
    for (int seed = 0; seed < 16; ++seed) {
        kepw::Bytes bytes(static_cast<std::size_t>(32 << (seed % 5)));
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
        ok = kepw::WriteFile(commands + "/sequence" + std::to_string(seed), bytes) && ok;
    }
    if (!ok) std::fprintf(stderr, "%s: cannot write the seeds\n", argv[0]);
    return ok ? 0 : 1;
}
