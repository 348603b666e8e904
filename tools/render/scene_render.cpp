#include "scene_render.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "simhost/memblocks_images.h"

#include "stb_image_write_here.h"

namespace kepr {
namespace {

Vec3 Sub(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 Normalise(Vec3 v) {
    const double length = std::sqrt(Dot(v, v));
    return length > 0 ? Vec3{v.x / length, v.y / length, v.z / length} : v;
}

// Image pixels by number, fetched from the stand-in once per picture.
class ImageCache {
  public:
    const simhost::ImageContent* Find(int number) {
        if (number <= 0) return nullptr;
        auto it = m_images.find(number);
        if (it == m_images.end()) {
            simhost::ImageContent content;
            const bool found =
                simhost::ReadImage(number, &content) && content.width > 0 && content.height > 0;
            it = m_images.emplace(number, found ? content : simhost::ImageContent{}).first;
        }
        return it->second.width > 0 ? &it->second : nullptr;
    }

  private:
    std::map<int, simhost::ImageContent> m_images;
};

// Nearest texel with wrapping, as 0xRRGGBB channels in [0, 255].
void Sample(const simhost::ImageContent& image, double u, double v, double rgb[3]) {
    u -= std::floor(u);
    v -= std::floor(v);
    const uint32_t x = std::min(image.width - 1, static_cast<uint32_t>(u * image.width));
    const uint32_t y = std::min(image.height - 1, static_cast<uint32_t>(v * image.height));
    const uint32_t pixel = image.pixels[y * image.width + x];
    rgb[0] = (pixel >> 16) & 0xFF;
    rgb[1] = (pixel >> 8) & 0xFF;
    rgb[2] = pixel & 0xFF;
}

// A triangle corner in camera space with what is interpolated across it.
struct CameraCorner {
    double side, height, depth; // along the camera's right, up and forward
    double uv[2], uv2[2];
};

CameraCorner Mix(const CameraCorner& a, const CameraCorner& b, double t) {
    CameraCorner out;
    out.side = a.side + (b.side - a.side) * t;
    out.height = a.height + (b.height - a.height) * t;
    out.depth = a.depth + (b.depth - a.depth) * t;
    for (int i = 0; i < 2; ++i) {
        out.uv[i] = a.uv[i] + (b.uv[i] - a.uv[i]) * t;
        out.uv2[i] = a.uv2[i] + (b.uv2[i] - a.uv2[i]) * t;
    }
    return out;
}

// The part of a polygon in front of the near plane (at most one more corner
// than it had), so that a floor passing under the eye is still drawn.
std::vector<CameraCorner> ClipNear(const std::vector<CameraCorner>& polygon, double nearPlane) {
    std::vector<CameraCorner> out;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const CameraCorner& a = polygon[i];
        const CameraCorner& b = polygon[(i + 1) % polygon.size()];
        const bool aIn = a.depth >= nearPlane, bIn = b.depth >= nearPlane;
        if (aIn) out.push_back(a);
        if (aIn != bIn) out.push_back(Mix(a, b, (nearPlane - a.depth) / (b.depth - a.depth)));
    }
    return out;
}

struct Projected {
    double x, y, depth; // screen position and view depth
};

struct Target {
    Picture& picture;
    std::vector<double>& depthBuffer;
    double focal;
};

void Rasterise(Target& target, const CameraCorner (&camera)[3],
               const simhost::ImageContent* texture, const simhost::ImageContent* lightmap) {
    const int width = target.picture.width, height = target.picture.height;
    Projected corner[3];
    for (int i = 0; i < 3; ++i)
        corner[i] = {width / 2.0 + target.focal * camera[i].side / camera[i].depth,
                     height / 2.0 - target.focal * camera[i].height / camera[i].depth,
                     camera[i].depth};
    const double area = (corner[1].x - corner[0].x) * (corner[2].y - corner[0].y) -
                        (corner[2].x - corner[0].x) * (corner[1].y - corner[0].y);
    if (std::fabs(area) < 1e-9) return;

    const int minX = std::max(
        0, static_cast<int>(std::floor(std::min({corner[0].x, corner[1].x, corner[2].x}))));
    const int maxX = std::min(
        width - 1, static_cast<int>(std::ceil(std::max({corner[0].x, corner[1].x, corner[2].x}))));
    const int minY = std::max(
        0, static_cast<int>(std::floor(std::min({corner[0].y, corner[1].y, corner[2].y}))));
    const int maxY = std::min(
        height - 1, static_cast<int>(std::ceil(std::max({corner[0].y, corner[1].y, corner[2].y}))));
    for (int y = minY; y <= maxY; ++y) {
        for (int x = minX; x <= maxX; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            double w[3];
            for (int i = 0; i < 3; ++i) {
                const Projected& a = corner[(i + 1) % 3];
                const Projected& b = corner[(i + 2) % 3];
                w[i] = ((b.x - a.x) * (py - a.y) - (px - a.x) * (b.y - a.y)) / area;
            }
            if (w[0] < 0 || w[1] < 0 || w[2] < 0) continue;
            // Perspective-correct weights.
            double inverse = 0, pw[3];
            for (int i = 0; i < 3; ++i)
                inverse += pw[i] = w[i] / corner[i].depth;
            for (double& value : pw)
                value /= inverse;
            const double depth = 1.0 / inverse;
            double& stored = target.depthBuffer[static_cast<std::size_t>(y) * width + x];
            if (depth >= stored) continue;
            stored = depth;

            double colour[3] = {200, 200, 200};
            if (texture) {
                const double u =
                    pw[0] * camera[0].uv[0] + pw[1] * camera[1].uv[0] + pw[2] * camera[2].uv[0];
                const double v =
                    pw[0] * camera[0].uv[1] + pw[1] * camera[1].uv[1] + pw[2] * camera[2].uv[1];
                Sample(*texture, u, v, colour);
            }
            if (lightmap) {
                double light[3];
                const double u =
                    pw[0] * camera[0].uv2[0] + pw[1] * camera[1].uv2[0] + pw[2] * camera[2].uv2[0];
                const double v =
                    pw[0] * camera[0].uv2[1] + pw[1] * camera[1].uv2[1] + pw[2] * camera[2].uv2[1];
                Sample(*lightmap, u, v, light);
                for (int c = 0; c < 3; ++c)
                    colour[c] = std::min(255.0, colour[c] * light[c] * 2.0 / 255.0);
            }
            uint8_t* out = &target.picture.rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<uint8_t>(colour[c]);
        }
    }
}

struct Bounds {
    Vec3 centre;
    double radius = 1.0; // half the diagonal, at least 1
    double top = 0;      // highest y
};

Bounds Measure(const std::vector<simhost::WorldTriangle>& triangles) {
    Vec3 low{1e30, 1e30, 1e30}, high{-1e30, -1e30, -1e30};
    for (const auto& triangle : triangles)
        for (const auto& p : triangle.position) {
            low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
            high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
        }
    Bounds bounds;
    if (triangles.empty()) return bounds;
    bounds.centre = {(low.x + high.x) / 2, (low.y + high.y) / 2, (low.z + high.z) / 2};
    const Vec3 size = Sub(high, low);
    bounds.radius = std::max(1.0, std::sqrt(Dot(size, size)) / 2);
    bounds.top = high.y;
    return bounds;
}

} // namespace

Camera FrameTriangles(const std::vector<simhost::WorldTriangle>& triangles) {
    Camera camera;
    if (triangles.empty()) {
        camera.eye = {0, 0, -10};
        return camera;
    }
    const Bounds bounds = Measure(triangles);
    const Vec3 centre = bounds.centre;
    const double radius = bounds.radius;
    camera.target = centre;
    camera.eye = {centre.x + radius * 0.45, centre.y + radius * 1.1, centre.z - radius * 1.35};
    return camera;
}

Camera TopCamera(const std::vector<simhost::WorldTriangle>& triangles) {
    const Bounds bounds = Measure(triangles);
    Camera camera;
    camera.target = bounds.centre;
    // High enough that the whole box fits the 60-degree view.
    camera.eye = {bounds.centre.x, bounds.top + bounds.radius * 1.8, bounds.centre.z};
    return camera;
}

Picture Render(const std::vector<simhost::WorldTriangle>& triangles, const Camera& camera,
               int width, int height, bool useLightmaps,
               const std::function<void(std::size_t)>& onProgress) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.rgb.assign(static_cast<std::size_t>(width) * height * 3, 0);
    for (int y = 0; y < height; ++y) // a quiet sky gradient behind the map
        for (int x = 0; x < width; ++x) {
            uint8_t* out = &picture.rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            out[0] = static_cast<uint8_t>(40 + 30 * y / height);
            out[1] = static_cast<uint8_t>(48 + 30 * y / height);
            out[2] = static_cast<uint8_t>(70 + 40 * y / height);
        }
    std::vector<double> depthBuffer(static_cast<std::size_t>(width) * height,
                                    std::numeric_limits<double>::infinity());

    const Vec3 forward = Normalise(Sub(camera.target, camera.eye));
    Vec3 right = Normalise(Cross(Vec3{0, 1, 0}, forward));
    if (Dot(right, right) == 0) right = {1, 0, 0};
    const Vec3 up = Cross(forward, right);
    const double focal =
        (height / 2.0) / std::tan(camera.fieldOfViewDegrees * 3.14159265358979 / 360.0);
    const double nearPlane = 0.05;

    ImageCache images;
    Target target{picture, depthBuffer, focal};
    std::size_t done = 0;
    for (const auto& triangle : triangles) {
        if (onProgress && ++done % 1024 == 0) onProgress(done);
        std::vector<CameraCorner> polygon(3);
        for (int i = 0; i < 3; ++i) {
            const Vec3 p =
                Sub({triangle.position[i].x, triangle.position[i].y, triangle.position[i].z},
                    camera.eye);
            polygon[i] = {Dot(p, right),
                          Dot(p, up),
                          Dot(p, forward),
                          {triangle.uv[i][0], triangle.uv[i][1]},
                          {triangle.uv2[i][0], triangle.uv2[i][1]}};
        }
        polygon = ClipNear(polygon, nearPlane);
        if (polygon.size() < 3) continue;
        const simhost::ImageContent* texture = images.Find(triangle.stage0Image);
        const simhost::ImageContent* lightmap =
            useLightmaps ? images.Find(triangle.stage1Image) : nullptr;
        for (std::size_t i = 1; i + 1 < polygon.size(); ++i) {
            const CameraCorner fan[3] = {polygon[0], polygon[i], polygon[i + 1]};
            Rasterise(target, fan, texture, lightmap);
        }
    }
    return picture;
}

bool WritePng(const std::string& path, const Picture& picture) {
    return stbi_write_png(path.c_str(), picture.width, picture.height, 3, picture.rgb.data(),
                          picture.width * 3) != 0;
}

} // namespace kepr
