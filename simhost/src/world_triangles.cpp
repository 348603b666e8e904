// World-space triangles of the visible scene (the transform convention is
// described in scene.h).
#include <cmath>
#include <map>

#include "scene_objects.h"

namespace simhost {
namespace {

constexpr double kPi = 3.14159265358979323846;

// An affine frame: world = rotation * local + origin.
struct Frame {
    double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    double t[3] = {0, 0, 0};

    WorldPoint Apply(const float p[3]) const {
        double out[3];
        for (int r = 0; r < 3; ++r)
            out[r] = m[r][0] * p[0] + m[r][1] * p[1] + m[r][2] * p[2] + t[r];
        return {out[0], out[1], out[2]};
    }
};

Frame Multiply(const Frame& a, const Frame& b) {
    Frame out;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            out.m[r][c] = a.m[r][0] * b.m[0][c] + a.m[r][1] * b.m[1][c] + a.m[r][2] * b.m[2][c];
        out.t[r] = a.m[r][0] * b.t[0] + a.m[r][1] * b.t[1] + a.m[r][2] * b.t[2] + a.t[r];
    }
    return out;
}

Frame AxisRotation(int axis, double degrees) {
    const double radians = degrees * (kPi / 180.0);
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    const int a = (axis + 1) % 3; // the two axes that turn, in right-handed order
    const int b = (axis + 2) % 3;
    Frame out;
    out.m[a][a] = c;
    out.m[a][b] = -s;
    out.m[b][a] = s;
    out.m[b][b] = c;
    return out;
}

// translate(position) * Rz * Ry * Rx: X is applied to a point first.
Frame Placement(const Float3& position, const Float3& angles) {
    Frame rotation = Multiply(AxisRotation(2, angles.z),
                              Multiply(AxisRotation(1, angles.y), AxisRotation(0, angles.x)));
    rotation.t[0] = position.x;
    rotation.t[1] = position.y;
    rotation.t[2] = position.z;
    return rotation;
}

struct LimbPlacement {
    Frame frame;
    bool visible = true;
};

// Frames and visibility of every limb, each computed once; parents are
// resolved without recursion so deep limb chains cannot exhaust the stack.
std::map<int, LimbPlacement> PlaceLimbs(const SceneObject& object) {
    std::map<int, LimbPlacement> placed;
    const Frame objectFrame = Placement(object.position, object.angles);
    const auto& limbs = object.Limbs();
    for (const auto& entry : limbs) {
        std::vector<const Limb*> chain;
        for (const Limb* at = &entry.second; at && !placed.count(at->number);) {
            chain.push_back(at);
            const auto parent = limbs.find(at->parent);
            at = parent == limbs.end() ? nullptr : &parent->second;
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const Limb& limb = **it;
            const auto parent = placed.find(limb.parent);
            LimbPlacement base;
            base.frame = objectFrame;
            if (parent != placed.end()) base = parent->second;
            LimbPlacement& mine = placed[limb.number];
            mine.frame = Multiply(base.frame, Placement(limb.offset, limb.angles));
            mine.visible = base.visible && limb.visible;
        }
    }
    return placed;
}

void AddTriangles(const SceneObject& object, const Limb& limb, const Frame& frame,
                  std::vector<WorldTriangle>* out) {
    const std::size_t triangles = limb.vertices.size() / 3;
    for (std::size_t t = 0; t < triangles; ++t) {
        WorldTriangle triangle;
        triangle.object = object.number;
        triangle.limb = limb.number;
        triangle.stage0Image = limb.stageImages[0];
        triangle.stage1Image = limb.stageImages[1];
        for (int corner = 0; corner < 3; ++corner) {
            const MeshVertex& v = limb.vertices[t * 3 + corner];
            triangle.position[corner] = frame.Apply(v.position);
            for (int i = 0; i < 2; ++i) {
                triangle.uv[corner][i] = v.uv[i];
                triangle.uv2[corner][i] = v.uv2[i];
            }
        }
        out->push_back(triangle);
    }
}

} // namespace

std::vector<WorldTriangle> VisibleWorldTriangles() {
    std::vector<WorldTriangle> out;
    for (const auto& entry : scene::Objects()) {
        const SceneObject& object = *entry.second;
        if (!object.visible) continue;
        const std::map<int, LimbPlacement> placed = PlaceLimbs(object);
        for (const auto& limbEntry : object.Limbs()) {
            const LimbPlacement& placement = placed.at(limbEntry.first);
            if (placement.visible) AddTriangles(object, limbEntry.second, placement.frame, &out);
        }
    }
    return out;
}

} // namespace simhost
