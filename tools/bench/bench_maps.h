// The benchmark's maps: four shapes, each written at a scale factor, so that
// the load time of a shape can be compared across sizes.
#pragma once

#include <string>

#include "kep_writer.h"

namespace kepbench {

struct Shape {
    const char* name;
    const char* description;
    kepw::Map (*make)(int scale);
};

// Wide hierarchy, one huge surface, long property text, 1 M triangles (at 16x).
extern const Shape kShapes[4];

// A closed strip of `vertices` vertices and as many triangles, round a
// cylinder of `radius`.
kepw::Surface Strip(int vertices, const char* texture, int lightmap, float radius);

// The texture file names the shapes use; the benchmark writes them beside the map.
extern const char* const kTextureNames[3];

} // namespace kepbench
