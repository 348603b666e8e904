// Draws what the stand-in host shows: every visible textured, lightmapped
// triangle, seen through a pinhole camera, into an RGB picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "simhost/scene.h"

namespace kepr {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

struct Camera {
    Vec3 eye;
    Vec3 target;
    double fieldOfViewDegrees = 60.0;
};

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb; // width * height * 3
};

// A camera above and in front of the triangles' bounding box, looking at its
// centre, so that a whole map fits the picture.
Camera FrameTriangles(const std::vector<simhost::WorldTriangle>& triangles);

// A camera straight above the triangles' bounding box, looking down, with +Z
// at the top of the picture.
Camera TopCamera(const std::vector<simhost::WorldTriangle>& triangles);

// Stage 0 is the texture image; stage 1, when bound and `useLightmaps` is set,
// the lightmap, which modulates the texture and doubles the result (as the
// plug-in sets the host up). Images come from the stand-in host. Triangles are
// clipped at a near plane just in front of the eye. `onProgress`, when given,
// hears now and then how many triangles are done.
Picture Render(const std::vector<simhost::WorldTriangle>& triangles, const Camera& camera,
               int width, int height, bool useLightmaps = true,
               const std::function<void(std::size_t)>& onProgress = nullptr);

bool WritePng(const std::string& path, const Picture& picture);

} // namespace kepr
