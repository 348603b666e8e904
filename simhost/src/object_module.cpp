// The 3D-object module: the host functions the plug-in looks up on word 25,
// each logged (when a test turned the call log on) and applied to the model.
#include <cstring>
#include <string>

#include "mesh_store.h"
#include "scene_objects.h"
#include "simhost/simhost.h"
#include "simhost_internal.h"

#define HOST_CDECL __attribute__((cdecl))

// The host's object record type; the plug-in calls GetObjectA with this
// exact function type, so the stand-in declares it the same way.
struct sObject;

namespace simhost {
namespace {

uint32_t FloatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The float result of a getter on a missing object or limb.
constexpr uint32_t kZeroBits = 0;

// Object and mesh management.

void HOST_CDECL MakeObject(int object, int mesh, int image) {
    LogCallOf("MakeObject", object, mesh, image);
    scene::MakeObject(object, mesh, image);
}

void HOST_CDECL DeleteEx(int object) {
    LogCallOf("DeleteEx", object);
    scene::DeleteObject(object);
}

int HOST_CDECL GetExist(int object) {
    LogCallOf("GetExist", object);
    return scene::FindObject(object) ? 1 : 0;
}

void HOST_CDECL DeleteMesh(int mesh) {
    LogCallOf("DeleteMesh", mesh);
    DeleteMeshNumber(mesh);
}

sObject* HOST_CDECL GetObjectA(int object) {
    LogCallOf("GetObjectA", object);
    SceneObject* found = scene::FindObject(object);
    return found ? static_cast<sObject*>(found->Record()) : nullptr;
}

void HOST_CDECL SetSmoothing(int object, float angle) {
    LogCallOf("SetSmoothing", object, angle);
    SceneObject* found = scene::FindObject(object);
    if (!found) return;
    if (angle < 0.0f) angle = 0.0f;
    if (angle > 100.0f) angle = 100.0f;
    for (const auto& entry : found->Limbs())
        SmoothMeshNormals(found->FindLimb(entry.first)->vertices, angle / 100.0f);
}

// Whole-object placement and visibility.

void HOST_CDECL Position(int object, float x, float y, float z) {
    LogCallOf("Position", object, x, y, z);
    if (SceneObject* found = scene::FindObject(object)) found->position = {x, y, z};
}

void HOST_CDECL Rotate(int object, float x, float y, float z) {
    LogCallOf("Rotate", object, x, y, z);
    if (SceneObject* found = scene::FindObject(object)) found->angles = {x, y, z};
}

void HOST_CDECL Show(int object) {
    LogCallOf("Show", object);
    if (SceneObject* found = scene::FindObject(object)) found->visible = true;
}

void HOST_CDECL Hide(int object) {
    LogCallOf("Hide", object);
    if (SceneObject* found = scene::FindObject(object)) found->visible = false;
}

uint32_t ObjectField(int object, float Float3::*axis, Float3 SceneObject::*field) {
    const SceneObject* found = scene::FindObject(object);
    return found ? FloatBits((found->*field).*axis) : kZeroBits;
}

uint32_t HOST_CDECL GetXPositionEx(int object) {
    LogCallOf("GetXPositionEx", object);
    return ObjectField(object, &Float3::x, &SceneObject::position);
}
uint32_t HOST_CDECL GetYPositionEx(int object) {
    LogCallOf("GetYPositionEx", object);
    return ObjectField(object, &Float3::y, &SceneObject::position);
}
uint32_t HOST_CDECL GetZPositionEx(int object) {
    LogCallOf("GetZPositionEx", object);
    return ObjectField(object, &Float3::z, &SceneObject::position);
}
uint32_t HOST_CDECL GetXRotationEx(int object) {
    LogCallOf("GetXRotationEx", object);
    return ObjectField(object, &Float3::x, &SceneObject::angles);
}
uint32_t HOST_CDECL GetYRotationEx(int object) {
    LogCallOf("GetYRotationEx", object);
    return ObjectField(object, &Float3::y, &SceneObject::angles);
}
uint32_t HOST_CDECL GetZRotationEx(int object) {
    LogCallOf("GetZRotationEx", object);
    return ObjectField(object, &Float3::z, &SceneObject::angles);
}

// Limbs.

void HOST_CDECL AddLimb(int object, int limb, int mesh) {
    LogCallOf("AddLimb", object, limb, mesh);
    scene::AddLimb(object, limb, mesh);
}

void HOST_CDECL LinkLimb(int object, int parentLimb, int childLimb) {
    LogCallOf("LinkLimb", object, parentLimb, childLimb);
    scene::LinkLimb(object, parentLimb, childLimb);
}

void HOST_CDECL OffsetLimb(int object, int limb, float x, float y, float z) {
    LogCallOf("OffsetLimb", object, limb, x, y, z);
    if (Limb* found = scene::FindLimb(object, limb)) found->offset = {x, y, z};
}

void HOST_CDECL RotateLimb(int object, int limb, float x, float y, float z) {
    LogCallOf("RotateLimb", object, limb, x, y, z);
    if (Limb* found = scene::FindLimb(object, limb)) found->angles = {x, y, z};
}

void HOST_CDECL ShowLimb(int object, int limb) {
    LogCallOf("ShowLimb", object, limb);
    if (Limb* found = scene::FindLimb(object, limb)) found->visible = true;
}

void HOST_CDECL HideLimb(int object, int limb) {
    LogCallOf("HideLimb", object, limb);
    if (Limb* found = scene::FindLimb(object, limb)) found->visible = false;
}

uint32_t LimbField(int object, int limb, float Float3::*axis, Float3 Limb::*field) {
    const Limb* found = scene::FindLimb(object, limb);
    return found ? FloatBits((found->*field).*axis) : kZeroBits;
}

uint32_t HOST_CDECL GetLimbXPosition(int object, int limb) {
    LogCallOf("GetLimbXPosition", object, limb);
    return LimbField(object, limb, &Float3::x, &Limb::offset);
}
uint32_t HOST_CDECL GetLimbYPosition(int object, int limb) {
    LogCallOf("GetLimbYPosition", object, limb);
    return LimbField(object, limb, &Float3::y, &Limb::offset);
}
uint32_t HOST_CDECL GetLimbZPosition(int object, int limb) {
    LogCallOf("GetLimbZPosition", object, limb);
    return LimbField(object, limb, &Float3::z, &Limb::offset);
}
uint32_t HOST_CDECL GetLimbAngleX(int object, int limb) {
    LogCallOf("GetLimbAngleX", object, limb);
    return LimbField(object, limb, &Float3::x, &Limb::angles);
}
uint32_t HOST_CDECL GetLimbAngleY(int object, int limb) {
    LogCallOf("GetLimbAngleY", object, limb);
    return LimbField(object, limb, &Float3::y, &Limb::angles);
}
uint32_t HOST_CDECL GetLimbAngleZ(int object, int limb) {
    LogCallOf("GetLimbAngleZ", object, limb);
    return LimbField(object, limb, &Float3::z, &Limb::angles);
}

// Texture stages.

void HOST_CDECL TextureLimb(int object, int limb, int image) {
    LogCallOf("TextureLimb", object, limb, image);
    if (Limb* found = scene::FindLimb(object, limb)) SceneObject::BindStage(*found, 0, image);
}

void HOST_CDECL TextureLimbStage(int object, int limb, int stage, int image) {
    LogCallOf("TextureLimbStage", object, limb, stage, image);
    if (Limb* found = scene::FindLimb(object, limb)) SceneObject::BindStage(*found, stage, image);
}

void BindOnEveryLimb(int object, int stage, int image) {
    SceneObject* found = scene::FindObject(object);
    if (!found) return;
    for (const auto& entry : found->Limbs())
        SceneObject::BindStage(*found->FindLimb(entry.first), stage, image);
}

void HOST_CDECL SetTexture(int object, int image) {
    LogCallOf("SetTexture", object, image);
    BindOnEveryLimb(object, 0, image);
}

void HOST_CDECL SetTextureStage(int object, int stage, int image) {
    LogCallOf("SetTextureStage", object, stage, image);
    BindOnEveryLimb(object, stage, image);
}

struct Export {
    const char* lookupName;
    void* function;
};

template <typename F> void* Address(F* function) {
    return reinterpret_cast<void*>(function);
}

const Export kExports[] = {
    {"?AddLimb@@YAXHHH@Z", Address(&AddLimb)},
    {"?DeleteMesh@@YAXH@Z", Address(&DeleteMesh)},
    {"?DeleteEx@@YAXH@Z", Address(&DeleteEx)},
    {"?HideLimb@@YAXHH@Z", Address(&HideLimb)},
    {"?Hide@@YAXH@Z", Address(&Hide)},
    {"?GetLimbAngleX@@YAKHH@Z", Address(&GetLimbAngleX)},
    {"?GetLimbAngleY@@YAKHH@Z", Address(&GetLimbAngleY)},
    {"?GetLimbAngleZ@@YAKHH@Z", Address(&GetLimbAngleZ)},
    {"?GetLimbXPosition@@YAKHH@Z", Address(&GetLimbXPosition)},
    {"?GetLimbYPosition@@YAKHH@Z", Address(&GetLimbYPosition)},
    {"?GetLimbZPosition@@YAKHH@Z", Address(&GetLimbZPosition)},
    {"?LinkLimb@@YAXHHH@Z", Address(&LinkLimb)},
    {"?MakeObject@@YAXHHH@Z", Address(&MakeObject)},
    {"?GetXRotationEx@@YAKH@Z", Address(&GetXRotationEx)},
    {"?GetYRotationEx@@YAKH@Z", Address(&GetYRotationEx)},
    {"?GetZRotationEx@@YAKH@Z", Address(&GetZRotationEx)},
    {"?GetExist@@YAHH@Z", Address(&GetExist)},
    {"?GetXPositionEx@@YAKH@Z", Address(&GetXPositionEx)},
    {"?GetYPositionEx@@YAKH@Z", Address(&GetYPositionEx)},
    {"?GetZPositionEx@@YAKH@Z", Address(&GetZPositionEx)},
    {"?OffsetLimb@@YAXHHMMM@Z", Address(&OffsetLimb)},
    {"?Position@@YAXHMMM@Z", Address(&Position)},
    {"?RotateLimb@@YAXHHMMM@Z", Address(&RotateLimb)},
    {"?Rotate@@YAXHMMM@Z", Address(&Rotate)},
    {"?SetSmoothing@@YAXHM@Z", Address(&SetSmoothing)},
    {"?ShowLimb@@YAXHH@Z", Address(&ShowLimb)},
    {"?Show@@YAXH@Z", Address(&Show)},
    {"?TextureLimb@@YAXHHH@Z", Address(&TextureLimb)},
    {"?TextureLimbStage@@YAXHHHH@Z", Address(&TextureLimbStage)},
    {"?SetTexture@@YAXHH@Z", Address(&SetTexture)},
    {"?SetTextureStage@@YAXHHH@Z", Address(&SetTextureStage)},
    {"?GetObjectA@@YAPAUsObject@@H@Z", Address(&GetObjectA)},
};

void* ResolveObjectFunction(const char* name) {
    if (!ResolveAllowed(name)) return nullptr;
    for (const Export& entry : kExports)
        if (std::strcmp(entry.lookupName, name) == 0) return entry.function;
    return nullptr;
}

HostModule g_objectModule = {&ResolveObjectFunction};

} // namespace

HostModule& ObjectModule() {
    return g_objectModule;
}

void ResetObjects() {
    scene::ResetObjectsAndMeshes();
}

} // namespace simhost
