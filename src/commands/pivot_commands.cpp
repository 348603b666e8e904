// "KEP MOVE", "KEP POSITION", "KEP ANGLE", "KEP ROTATE", "KEP SHOW" and
// "KEP HIDE": the geometry of a pivot's group, as a whole object when the
// group owns it, or as the group's limb within a shared object.
#include "commands/command_support.h"
#include "host/host_functions.h"
#include "map/kep_model.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"

namespace {

struct PivotTarget {
    KEP_Entity* pivot = nullptr;
    int32_t object = 0;
    int32_t limb = 0;
    bool wholeObject = false;
};

// Resets the last error and finds what a pivot moves; false after setting
// the message when there is nothing to act on.
bool FindPivotTarget(int32_t pivotIndex, PivotTarget& target) {
    ResetLastError();
    KEP_Map* map = CurrentMapOrFail();
    if (!map) return false;
    target.pivot = map->pivots.At(pivotIndex);
    if (!target.pivot) {
        SetLastError(KepMessage::InvalidPivotIndex);
        return false;
    }
    const KEP_Group* group = target.pivot->group;
    // A group that was put into no host object has no geometry to act on;
    // object 0 would name nothing of ours in the host.
    if (!group || group->build.object == 0) {
        SetLastError(KepMessage::NoGroupObject);
        return false;
    }
    target.object = group->build.object;
    target.limb = group->build.firstLimb;
    target.wholeObject = group->build.ownsObject != 0;
    // The script may have deleted the object, or made another with fewer
    // limbs under its number: then the group has no geometry left either.
    if (target.wholeObject ? !HostHasObject(target.object)
                           : !HostHasLimb(target.object, target.limb)) {
        SetLastError(KepMessage::NoGroupObject);
        return false;
    }
    return true;
}

struct Vector3 {
    float x, y, z;
};

// Where the target stands (or how it is turned) now, as the host reports it.
Vector3 PresentPosition(const PivotTarget& t) {
    using namespace host::object;
    if (t.wholeObject)
        return {GetXPositionEx(t.object), GetYPositionEx(t.object), GetZPositionEx(t.object)};
    return {GetLimbXPosition(t.object, t.limb), GetLimbYPosition(t.object, t.limb),
            GetLimbZPosition(t.object, t.limb)};
}

Vector3 PresentAngles(const PivotTarget& t) {
    using namespace host::object;
    if (t.wholeObject)
        return {GetXRotationEx(t.object), GetYRotationEx(t.object), GetZRotationEx(t.object)};
    return {GetLimbAngleX(t.object, t.limb), GetLimbAngleY(t.object, t.limb),
            GetLimbAngleZ(t.object, t.limb)};
}

void PlaceTarget(const PivotTarget& t, const Vector3& at) {
    if (t.wholeObject)
        host::object::Position(t.object, at.x, at.y, at.z);
    else
        host::object::OffsetLimb(t.object, t.limb, at.x, at.y, at.z);
}

void TurnTarget(const PivotTarget& t, const Vector3& angles) {
    if (t.wholeObject)
        host::object::Rotate(t.object, angles.x, angles.y, angles.z);
    else
        host::object::RotateLimb(t.object, t.limb, angles.x, angles.y, angles.z);
}

// Each sum is of two floats and kept as a float before it reaches the host.
Vector3 Add(const Vector3& a, float dx, float dy, float dz) {
    const float x = a.x + dx;
    const float y = a.y + dy;
    const float z = a.z + dz;
    return {x, y, z};
}

void SetPivotPosition(KEP_Entity* pivot, const Vector3& at) {
    pivot->position[0] = at.x;
    pivot->position[1] = at.y;
    pivot->position[2] = at.z;
}

} // namespace

KEP_EXPORT void KEP_CDECL KEP_Move(int32_t pivot, float dx, float dy, float dz) {
    PivotTarget target;
    if (!FindPivotTarget(pivot, target)) return;
    PlaceTarget(target, Add(PresentPosition(target), dx, dy, dz));
    // The pivot follows by the same amounts, from its own stored position.
    const float* p = target.pivot->position;
    SetPivotPosition(target.pivot, Add({p[0], p[1], p[2]}, dx, dy, dz));
}

KEP_EXPORT void KEP_CDECL KEP_Position(int32_t pivot, float x, float y, float z) {
    PivotTarget target;
    if (!FindPivotTarget(pivot, target)) return;
    PlaceTarget(target, {x, y, z});
    SetPivotPosition(target.pivot, {x, y, z});
}

KEP_EXPORT void KEP_CDECL KEP_Angle(int32_t pivot, float ax, float ay, float az) {
    PivotTarget target;
    if (!FindPivotTarget(pivot, target)) return;
    TurnTarget(target, {ax, ay, az});
}

KEP_EXPORT void KEP_CDECL KEP_Rotate(int32_t pivot, float dax, float day, float daz) {
    PivotTarget target;
    if (!FindPivotTarget(pivot, target)) return;
    TurnTarget(target, Add(PresentAngles(target), dax, day, daz));
}

KEP_EXPORT void KEP_CDECL KEP_Show(int32_t pivot) {
    PivotTarget target;
    if (!FindPivotTarget(pivot, target)) return;
    if (target.wholeObject)
        host::object::Show(target.object);
    else
        host::object::ShowLimb(target.object, target.limb);
}

KEP_EXPORT void KEP_CDECL KEP_Hide(int32_t pivot) {
    PivotTarget target;
    if (!FindPivotTarget(pivot, target)) return;
    if (target.wholeObject)
        host::object::Hide(target.object);
    else
        host::object::HideLimb(target.object, target.limb);
}
