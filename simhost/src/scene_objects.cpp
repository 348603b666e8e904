#include "scene_objects.h"

#include "mesh_store.h"

namespace simhost {
namespace {

constexpr std::size_t kObjectRecordWords = 16;
constexpr std::size_t kMeshCountWord = 0;
constexpr std::size_t kMeshArrayWord = 2;

std::map<int, std::unique_ptr<SceneObject>> g_objects;
std::vector<int> g_deleted;

} // namespace

SceneObject::SceneObject(int objectNumber)
    : number(objectNumber), record_(new uint32_t[kObjectRecordWords]()) {}

Limb* SceneObject::FindLimb(int limb) {
    const auto found = limbs_.find(limb);
    return found == limbs_.end() ? nullptr : &found->second;
}

Limb& SceneObject::PutLimb(int limb, int parent, const std::vector<MeshVertex>* mesh) {
    // Builds append limbs in rising order: only then can the mesh array grow
    // in place; anything else rebuilds it once.
    const bool appends = limbs_.empty() || limb > limbs_.rbegin()->first;
    Limb& made = limbs_[limb];
    made = Limb();
    made.number = limb;
    made.parent = parent;
    if (mesh) {
        made.vertices = *mesh;
        made.record.reset(new HostMeshRecord());
    }
    if (appends) {
        if (made.record) meshPointers_.push_back(PointerWord(made.record->Address()));
        PublishMeshArray();
    } else {
        RebuildMeshArray();
    }
    return made;
}

void SceneObject::BindStage(Limb& limb, int stage, int image) {
    if (stage < 0 || stage >= static_cast<int>(HostMeshRecord::kMaxStages)) return;
    limb.stageImages[stage] = image;
    if (!limb.record) return;
    if (image != 0) limb.record->EnsureStages(static_cast<uint32_t>(stage) + 1);
    limb.record->SetStageImage(static_cast<uint32_t>(stage), image);
}

bool SceneObject::IsWithin(int limb, int ancestor) const {
    // Parent chains end at limb 0 and never loop (LinkLimb refuses loops).
    for (int at = limb; at >= 0;) {
        if (at == ancestor) return true;
        const auto found = limbs_.find(at);
        if (found == limbs_.end()) return false;
        at = found->second.parent;
    }
    return false;
}

void SceneObject::RebuildMeshArray() {
    meshPointers_.clear();
    for (const auto& entry : limbs_)
        if (entry.second.record)
            meshPointers_.push_back(PointerWord(entry.second.record->Address()));
    PublishMeshArray();
}

void SceneObject::PublishMeshArray() {
    record_[kMeshCountWord] = static_cast<uint32_t>(meshPointers_.size());
    record_[kMeshArrayWord] = PointerWord(meshPointers_.data());
}

namespace scene {

SceneObject* FindObject(int object) {
    const auto found = g_objects.find(object);
    return found == g_objects.end() ? nullptr : found->second.get();
}

Limb* FindLimb(int object, int limb) {
    SceneObject* found = FindObject(object);
    return found ? found->FindLimb(limb) : nullptr;
}

void MakeObject(int object, int mesh, int image) {
    if (object < 1) return;
    std::unique_ptr<SceneObject> made(new SceneObject(object));
    Limb& root = made->PutLimb(0, -1, FindMeshVertices(mesh));
    SceneObject::BindStage(root, 0, image);
    g_objects[object] = std::move(made);
}

void AddLimb(int object, int limb, int mesh) {
    SceneObject* found = FindObject(object);
    // Limb 0 comes with the object and is never replaced by AddLimb.
    if (!found || limb < 1) return;
    found->PutLimb(limb, 0, FindMeshVertices(mesh));
}

void LinkLimb(int object, int parentLimb, int childLimb) {
    SceneObject* found = FindObject(object);
    if (!found || childLimb == 0) return;
    Limb* child = found->FindLimb(childLimb);
    if (!child || !found->FindLimb(parentLimb)) return;
    // Linking a limb under itself or its own descendant would make a loop.
    if (found->IsWithin(parentLimb, childLimb)) return;
    child->parent = parentLimb;
}

void DeleteObject(int object) {
    if (g_objects.erase(object)) g_deleted.push_back(object);
}

const std::map<int, std::unique_ptr<SceneObject>>& Objects() {
    return g_objects;
}

void ResetObjectsAndMeshes() {
    g_objects.clear();
    g_deleted.clear();
    ResetMeshes();
}

} // namespace scene

const std::vector<int>& DeletedObjects() {
    return g_deleted;
}

} // namespace simhost
