// Writes the benchmark's map shapes at their smallest size, with the textures
// they name, for the export tests to run through outside glTF readers (all but
// the long property texts, which no export carries).
//
//   make_export_maps <output folder>
#include <cstdio>
#include <string>

#include <vector>

#include "bench/bench_maps.h"

#include "stb_image_write_here.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    bool written = true;
    const std::vector<uint8_t> rgb(4 * 4 * 3, 160);
    for (const char* texture : kepbench::kTextureNames)
        written &= stbi_write_bmp((folder + texture).c_str(), 4, 4, 3, rgb.data()) != 0;
    for (int i : {0, 1, 3})
        written &= kepw::WriteFile(folder + "shape" + std::to_string(i) + ".kep",
                                   kepw::Write(kepbench::kShapes[i].make(1)));
    if (!written) std::fprintf(stderr, "cannot write the maps into %s\n", argv[1]);
    return written ? 0 : 1;
}
