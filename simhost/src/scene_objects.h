// The object model behind the 3D-object module: objects, their limbs, and the
// host records (sObject and host mesh records) kept in step with them.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "host_mesh_record.h"
#include "simhost/scene.h"

namespace simhost {

struct Limb {
    int number = 0;
    int parent = -1; // -1 only for limb 0
    Float3 offset;
    Float3 angles;
    bool visible = true;
    int stageImages[HostMeshRecord::kMaxStages] = {};
    std::vector<MeshVertex> vertices;
    std::unique_ptr<HostMeshRecord> record; // set when the limb was made from a mesh
};

class SceneObject {
  public:
    explicit SceneObject(int number);
    SceneObject(const SceneObject&) = delete;
    SceneObject& operator=(const SceneObject&) = delete;

    int number;
    Float3 position;
    Float3 angles;
    bool visible = true;

    const std::map<int, Limb>& Limbs() const { return limbs_; }
    Limb* FindLimb(int limb);
    // Makes (or replaces) limb `limb` holding a copy of `mesh` (null: no mesh).
    Limb& PutLimb(int limb, int parent, const std::vector<MeshVertex>* mesh);
    // Binds `image` on `stage` of the limb; a bound image adds stage records.
    static void BindStage(Limb& limb, int stage, int image);
    // True when `limb` is `ancestor` or lies below it.
    bool IsWithin(int limb, int ancestor) const;

    // The sObject record: word 0 the host mesh count, word 2 the array of
    // host mesh record pointers in limb order.
    void* Record() { return record_.get(); }

  private:
    void RebuildMeshArray();
    void PublishMeshArray();

    std::map<int, Limb> limbs_;
    std::unique_ptr<uint32_t[]> record_;
    std::vector<uint32_t> meshPointers_;
};

namespace scene {

SceneObject* FindObject(int object);
Limb* FindLimb(int object, int limb);
void MakeObject(int object, int mesh, int image);
void AddLimb(int object, int limb, int mesh);
void LinkLimb(int object, int parentLimb, int childLimb);
void DeleteObject(int object);
const std::map<int, std::unique_ptr<SceneObject>>& Objects();
void ResetObjectsAndMeshes();

} // namespace scene
} // namespace simhost
