// The 3D-object module: the host functions the plug-in looks up on word 25,
// each logged (when a test turned the call log on) and applied to the model.
// Each makes the real host's checks first, in its order: a number outside the
// host's range, or an object, limb or mesh missing where one must exist (or
// present where none may), raises the host's run-time error and the call does
// nothing more.
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

bool IsObjectNumber(int object) {
    return object >= 1 && object <= kLastObjectNumber;
}

// The checks of every function on an existing object, limb or mesh.
template <typename... Values> bool RefuseObject(const char* name, int object, Values... args) {
    return RefuseCall(!IsObjectNumber(object), kObjectNumberIllegal, name, args...) ||
           RefuseCall(!scene::FindObject(object), kObjectNotExist, name, args...);
}

template <typename... Values>
bool RefuseLimb(const char* name, int object, int limb, Values... args) {
    return RefuseObject(name, object, args...) ||
           RefuseCall(limb < 0 || limb > kLastLimbNumber, kLimbNumberIllegal, name, args...) ||
           RefuseCall(!scene::FindLimb(object, limb), kLimbNotExist, name, args...);
}

template <typename... Values> bool RefuseMesh(const char* name, int mesh, Values... args) {
    return RefuseCall(mesh < 1 || mesh > kLastMeshNumber, kMeshNumberIllegal, name, args...) ||
           RefuseCall(!FindMeshVertices(mesh), kMeshNotExist, name, args...);
}

// Object and mesh management.

void HOST_CDECL MakeObject(int object, int mesh, int image) {
    LogCallOf("MakeObject", object, mesh, image);
    const char* name = "MakeObject";
    if (RefuseMesh(name, mesh, object, mesh, image) ||
        RefuseCall(!IsObjectNumber(object), kObjectNumberIllegal, name, object, mesh, image) ||
        RefuseCall(scene::FindObject(object) != nullptr, kObjectAlreadyExists, name, object, mesh,
                   image))
        return;
    scene::MakeObject(object, mesh, image);
}

// Passes over a number with no object silently, as the host does.
void HOST_CDECL DeleteEx(int object) {
    LogCallOf("DeleteEx", object);
    scene::DeleteObject(object);
}

int HOST_CDECL GetExist(int object) {
    LogCallOf("GetExist", object);
    if (RefuseCall(!IsObjectNumber(object), kObjectNumberIllegal, "GetExist", object)) return 0;
    return scene::FindObject(object) ? 1 : 0;
}

void HOST_CDECL DeleteMesh(int mesh) {
    LogCallOf("DeleteMesh", mesh);
    if (RefuseMesh("DeleteMesh", mesh, mesh)) return;
    DeleteMeshNumber(mesh);
}

// The host reads its mesh list at any index below its length, a negative one
// included: the stand-in takes a number below 1 for a fault of the caller.
int HOST_CDECL GetMeshExist(int mesh) {
    LogCallOf("GetMeshExist", mesh);
    if (RefuseCall(mesh < 1, kMeshNumberIllegal, "GetMeshExist", mesh)) return 0;
    return FindMeshVertices(mesh) ? 1 : 0;
}

int HOST_CDECL GetLimbExist(int object, int limb) {
    LogCallOf("GetLimbExist", object, limb);
    const char* name = "GetLimbExist";
    if (RefuseObject(name, object, object, limb) ||
        RefuseCall(limb < 0 || limb > kLastLimbNumber, kLimbNumberIllegal, name, object, limb))
        return 0;
    return scene::FindLimb(object, limb) ? 1 : 0;
}

// Silent, as the host's: null for a number with no object.
sObject* HOST_CDECL GetObjectA(int object) {
    LogCallOf("GetObjectA", object);
    SceneObject* found = scene::FindObject(object);
    return found ? static_cast<sObject*>(found->Record()) : nullptr;
}

void HOST_CDECL SetSmoothing(int object, float angle) {
    LogCallOf("SetSmoothing", object, angle);
    if (RefuseObject("SetSmoothing", object, object, angle)) return;
    SceneObject* found = scene::FindObject(object);
    if (angle < 0.0f) angle = 0.0f;
    if (angle > 100.0f) angle = 100.0f;
    for (const auto& entry : found->Limbs())
        SmoothMeshNormals(found->FindLimb(entry.first)->vertices, angle / 100.0f);
}

// Whole-object placement and visibility.

void HOST_CDECL Position(int object, float x, float y, float z) {
    LogCallOf("Position", object, x, y, z);
    if (RefuseObject("Position", object, object, x, y, z)) return;
    scene::FindObject(object)->position = {x, y, z};
}

void HOST_CDECL Rotate(int object, float x, float y, float z) {
    LogCallOf("Rotate", object, x, y, z);
    if (RefuseObject("Rotate", object, object, x, y, z)) return;
    scene::FindObject(object)->angles = {x, y, z};
}

void HOST_CDECL Show(int object) {
    LogCallOf("Show", object);
    if (RefuseObject("Show", object, object)) return;
    scene::FindObject(object)->visible = true;
}

void HOST_CDECL Hide(int object) {
    LogCallOf("Hide", object);
    if (RefuseObject("Hide", object, object)) return;
    scene::FindObject(object)->visible = false;
}

uint32_t ObjectField(const char* name, int object, float Float3::*axis,
                     Float3 SceneObject::*field) {
    LogCallOf(name, object);
    if (RefuseObject(name, object, object)) return kZeroBits;
    return FloatBits((scene::FindObject(object)->*field).*axis);
}

uint32_t HOST_CDECL GetXPositionEx(int object) {
    return ObjectField("GetXPositionEx", object, &Float3::x, &SceneObject::position);
}
uint32_t HOST_CDECL GetYPositionEx(int object) {
    return ObjectField("GetYPositionEx", object, &Float3::y, &SceneObject::position);
}
uint32_t HOST_CDECL GetZPositionEx(int object) {
    return ObjectField("GetZPositionEx", object, &Float3::z, &SceneObject::position);
}
uint32_t HOST_CDECL GetXRotationEx(int object) {
    return ObjectField("GetXRotationEx", object, &Float3::x, &SceneObject::angles);
}
uint32_t HOST_CDECL GetYRotationEx(int object) {
    return ObjectField("GetYRotationEx", object, &Float3::y, &SceneObject::angles);
}
uint32_t HOST_CDECL GetZRotationEx(int object) {
    return ObjectField("GetZRotationEx", object, &Float3::z, &SceneObject::angles);
}

// Limbs.

// The host numbers limbs in the order they come: the one added must be the
// object's next (limb 0 comes with the object).
void HOST_CDECL AddLimb(int object, int limb, int mesh) {
    LogCallOf("AddLimb", object, limb, mesh);
    const char* name = "AddLimb";
    if (RefuseObject(name, object, object, limb, mesh) ||
        RefuseMesh(name, mesh, object, limb, mesh))
        return;
    const int next = static_cast<int>(scene::FindObject(object)->Limbs().size());
    if (RefuseCall(limb > -1 && limb != next, kLimbOutOfSequence, name, object, limb, mesh)) return;
    scene::AddLimb(object, next, mesh);
}

void HOST_CDECL LinkLimb(int object, int parentLimb, int childLimb) {
    LogCallOf("LinkLimb", object, parentLimb, childLimb);
    const char* name = "LinkLimb";
    const auto refuse = [&](bool refused, int code) {
        return RefuseCall(refused, code, name, object, parentLimb, childLimb);
    };
    if (RefuseLimb(name, object, childLimb, object, parentLimb, childLimb) ||
        RefuseLimb(name, object, parentLimb, object, parentLimb, childLimb) ||
        refuse(childLimb == 0 || childLimb == parentLimb, kLimbNumberIllegal) ||
        // Linking a limb under its own descendant would make a loop.
        refuse(scene::FindObject(object)->IsWithin(parentLimb, childLimb), kLimbNotExist))
        return;
    scene::LinkLimb(object, parentLimb, childLimb);
}

// The limb's record after the host's checks; null (and the error raised) when
// the call names no limb that exists.
template <typename... Values>
Limb* CheckedLimb(const char* name, int object, int limb, Values... args) {
    return RefuseLimb(name, object, limb, args...) ? nullptr : scene::FindLimb(object, limb);
}

void HOST_CDECL OffsetLimb(int object, int limb, float x, float y, float z) {
    LogCallOf("OffsetLimb", object, limb, x, y, z);
    if (Limb* found = CheckedLimb("OffsetLimb", object, limb, object, limb, x, y, z))
        found->offset = {x, y, z};
}

void HOST_CDECL RotateLimb(int object, int limb, float x, float y, float z) {
    LogCallOf("RotateLimb", object, limb, x, y, z);
    if (Limb* found = CheckedLimb("RotateLimb", object, limb, object, limb, x, y, z))
        found->angles = {x, y, z};
}

void HOST_CDECL ShowLimb(int object, int limb) {
    LogCallOf("ShowLimb", object, limb);
    if (Limb* found = CheckedLimb("ShowLimb", object, limb, object, limb)) found->visible = true;
}

void HOST_CDECL HideLimb(int object, int limb) {
    LogCallOf("HideLimb", object, limb);
    if (Limb* found = CheckedLimb("HideLimb", object, limb, object, limb)) found->visible = false;
}

uint32_t LimbField(const char* name, int object, int limb, float Float3::*axis,
                   Float3 Limb::*field) {
    LogCallOf(name, object, limb);
    const Limb* found = CheckedLimb(name, object, limb, object, limb);
    return found ? FloatBits((found->*field).*axis) : kZeroBits;
}

uint32_t HOST_CDECL GetLimbXPosition(int object, int limb) {
    return LimbField("GetLimbXPosition", object, limb, &Float3::x, &Limb::offset);
}
uint32_t HOST_CDECL GetLimbYPosition(int object, int limb) {
    return LimbField("GetLimbYPosition", object, limb, &Float3::y, &Limb::offset);
}
uint32_t HOST_CDECL GetLimbZPosition(int object, int limb) {
    return LimbField("GetLimbZPosition", object, limb, &Float3::z, &Limb::offset);
}
uint32_t HOST_CDECL GetLimbAngleX(int object, int limb) {
    return LimbField("GetLimbAngleX", object, limb, &Float3::x, &Limb::angles);
}
uint32_t HOST_CDECL GetLimbAngleY(int object, int limb) {
    return LimbField("GetLimbAngleY", object, limb, &Float3::y, &Limb::angles);
}
uint32_t HOST_CDECL GetLimbAngleZ(int object, int limb) {
    return LimbField("GetLimbAngleZ", object, limb, &Float3::z, &Limb::angles);
}

// Texture stages. Any image number is taken: one the host lacks leaves the
// stage without a texture.

void HOST_CDECL TextureLimb(int object, int limb, int image) {
    LogCallOf("TextureLimb", object, limb, image);
    if (Limb* found = CheckedLimb("TextureLimb", object, limb, object, limb, image))
        SceneObject::BindStage(*found, 0, image);
}

void HOST_CDECL TextureLimbStage(int object, int limb, int stage, int image) {
    LogCallOf("TextureLimbStage", object, limb, stage, image);
    if (Limb* found = CheckedLimb("TextureLimbStage", object, limb, object, limb, stage, image))
        SceneObject::BindStage(*found, stage, image);
}

void BindOnEveryLimb(int object, int stage, int image) {
    SceneObject* found = scene::FindObject(object);
    for (const auto& entry : found->Limbs())
        SceneObject::BindStage(*found->FindLimb(entry.first), stage, image);
}

void HOST_CDECL SetTexture(int object, int image) {
    LogCallOf("SetTexture", object, image);
    if (RefuseObject("SetTexture", object, object, image)) return;
    BindOnEveryLimb(object, 0, image);
}

void HOST_CDECL SetTextureStage(int object, int stage, int image) {
    LogCallOf("SetTextureStage", object, stage, image);
    if (RefuseObject("SetTextureStage", object, object, stage, image)) return;
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
    {"?GetMeshExist@@YAHH@Z", Address(&GetMeshExist)},
    {"?GetLimbExist@@YAHHH@Z", Address(&GetLimbExist)},
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
