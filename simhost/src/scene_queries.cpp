// Read-only views of the object model for tests and tools.
#include "scene_objects.h"

namespace simhost {
namespace {

LimbState ViewLimb(const Limb& limb) {
    LimbState state;
    state.number = limb.number;
    state.parent = limb.parent;
    state.offset = limb.offset;
    state.angles = limb.angles;
    state.visible = limb.visible;
    state.stage0Image = limb.stageImages[0];
    state.stage1Image = limb.stageImages[1];
    state.holdsMesh = limb.record != nullptr;
    state.vertexCount = static_cast<uint32_t>(limb.vertices.size());
    if (limb.record) state.hostMesh = limb.record->State();
    return state;
}

} // namespace

std::vector<int> ObjectNumbers() {
    std::vector<int> numbers;
    for (const auto& entry : scene::Objects())
        numbers.push_back(entry.first);
    return numbers;
}

void MakeTestObject(int number) {
    scene::MakeObject(number, 0, 0);
}

bool FindObject(int number, ObjectState* out) {
    const SceneObject* object = scene::FindObject(number);
    if (!object) return false;
    if (!out) return true;
    out->number = object->number;
    out->position = object->position;
    out->angles = object->angles;
    out->visible = object->visible;
    out->limbs.clear();
    for (const auto& entry : object->Limbs())
        out->limbs.push_back(ViewLimb(entry.second));
    return true;
}

bool LimbVertices(int object, int limb, std::vector<MeshVertex>* out) {
    const Limb* found = scene::FindLimb(object, limb);
    if (!found) return false;
    if (out) *out = found->vertices;
    return true;
}

} // namespace simhost
