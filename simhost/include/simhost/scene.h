// The stand-in host's 3D scene: the meshes, objects and limbs that the
// 3D-object module keeps, as tests and the picture tool see them.
//
// Numbers: meshes and objects are numbered from 1, limbs from 0; image 0 on a
// stage means "no image". Limb 0 is made with its object; every other limb
// hangs under limb 0 until it is linked under another limb.
//
// World transform (computed in double precision):
//   object frame = translate(object position) * R(object angles)
//   limb frame   = parent frame * translate(limb offset) * R(limb angles)
// where limb 0's parent frame is the object frame, and R(ax, ay, az) turns a
// point about X by ax first, then about Y by ay, then about Z by az (degrees),
// that is R = Rz * Ry * Rx acting on column vectors, with
//   Rx: y' = y cos - z sin,  z' = y sin + z cos
//   Ry: x' = x cos + z sin,  z' = -x sin + z cos
//   Rz: x' = x cos - y sin,  y' = x sin + y cos
// So turning the point (1, 0, 0) by 90 degrees about Y gives (0, 0, -1), and
// (0, 0, 1) gives (1, 0, 0).
#pragma once

#include <cstdint>
#include <vector>

namespace simhost {

// One vertex of a host mesh, decoded from a mesh memblock. Fields that the
// memblock's format did not carry are 0.
struct MeshVertex {
    float position[3] = {0, 0, 0};
    float normal[3] = {0, 0, 0};
    uint32_t diffuse = 0;
    float uv[2] = {0, 0};
    float uv2[2] = {0, 0};
};

struct MeshInfo {
    int number = 0;
    uint32_t formatFlags = 0;
    std::vector<MeshVertex> vertices; // a triangle list: 3 vertices per triangle
};

// The host's smoothing of one mesh's normals, done the host's own way (every
// vertex against every other): each vertex with other vertices at its exact
// position (floats compared, so -0 is +0 and a NaN matches nothing) takes the
// first 32 of them; those whose normal differs from its own by at most
// `limit` on average, (|dx| + |dy| + |dz|) / 3, are added to its normal in
// vertex order, and the sum is multiplied by 1 / (1 + their number). Normals
// are taken from before the call. SetSmoothing(object, angle) does this to
// every mesh of the object with the angle clamped to 0..100, divided by 100.
void SmoothMeshNormals(std::vector<MeshVertex>& vertices, float limit);

// Mesh numbers that exist, ascending.
std::vector<int> MeshNumbers();
bool FindMesh(int number, MeshInfo* out);
// Makes (or replaces) mesh `number` from mesh-memblock bytes, exactly as the
// memblock module's CreateMeshFromMemblock does. False (and no mesh of that
// number afterwards) when the bytes cannot be decoded.
bool MakeMeshFromBytes(int number, const std::vector<uint8_t>& bytes);

struct Float3 {
    float x = 0;
    float y = 0;
    float z = 0;
};

// One texture-stage record of a host mesh record, as the plug-in left it.
struct StageRecordState {
    uint32_t image = 0;    // byte 256, set by the host when it binds an image
    uint32_t stage = 0;    // byte 268
    uint32_t colourOp = 0; // byte 272
    uint32_t arg1 = 0;     // byte 276
    uint32_t arg2 = 0;     // byte 280
    uint32_t word304 = 0;  // byte 304
};

// A host mesh record (the memory GetObjectA hands out), as the plug-in left it,
// read field by field in the record's own layout. A fresh record has light and
// ambient on, transparency off and stage records whose five written words are
// 0xFFFFFFFF, so every write shows.
struct HostMeshRecordState {
    uint8_t light = 0;
    uint8_t ambient = 0;
    uint8_t transparency = 0;
    uint32_t stageCount = 0;
    std::vector<StageRecordState> stages;
    // Every byte: the record (its stage-array pointer as 0), then the stages.
    std::vector<uint8_t> bytes;
};

struct LimbState {
    int number = 0;
    int parent = -1; // -1 for limb 0, whose parent is the object itself
    Float3 offset;   // relative to the parent limb
    Float3 angles;   // degrees
    bool visible = true;
    int stage0Image = 0;
    int stage1Image = 0;
    bool holdsMesh = false; // only limbs made from an existing mesh have a host mesh record
    uint32_t vertexCount = 0;
    HostMeshRecordState hostMesh; // meaningful when holdsMesh
};

struct ObjectState {
    int number = 0;
    Float3 position;
    Float3 angles; // degrees
    bool visible = true;
    std::vector<LimbState> limbs; // ascending limb numbers, limb 0 first
};

// Object numbers that exist, ascending.
std::vector<int> ObjectNumbers();
// Makes (or replaces) object `number` with an empty limb 0, as a script's own
// object stands in the host; the host's checks are not made.
void MakeTestObject(int number);
bool FindObject(int number, ObjectState* out);
// The vertices of a limb's mesh in the limb's own space (a triangle list);
// false when there is no such limb.
bool LimbVertices(int object, int limb, std::vector<MeshVertex>* out);
// Objects deleted through the 3D-object module's DeleteEx, in call order
// (only numbers that named an existing object).
const std::vector<int>& DeletedObjects();

struct WorldPoint {
    double x = 0;
    double y = 0;
    double z = 0;
};

struct WorldTriangle {
    int object = 0;
    int limb = 0;
    int stage0Image = 0;
    int stage1Image = 0;
    WorldPoint position[3];
    double uv[3][2] = {};
    double uv2[3][2] = {};
};

// Every triangle of every visible limb of every visible object, in world
// space. A limb is visible when it and all its ancestor limbs are shown.
// Objects ascend by number, limbs by number, triangles keep mesh order.
std::vector<WorldTriangle> VisibleWorldTriangles();

} // namespace simhost
