// Object assembly: each group's surfaces become one host object, or limbs of
// the object its parent (or an earlier surface) made, placed by pivot origins.
#include <cstdint>
#include <vector>

#include "build/host_records.h"
#include "build/kep_build.h"
#include "build/normal_smoothing.h"
#include "core/CError.h"
#include "host/host_functions.h"

namespace {

// What one build works on.
struct Scene {
    KEP_Map& map;
    KEP_BuildState& build;
    const KEP_BuildOptions& options;
    KEP_HostRecordMemory& records;
    KEP_NormalSmoothing& smoothing; // each surface's normals, as the host smooths them
};

// One pass over a list of groups: the map's groups, or a group's children.
struct Pass {
    KEP_Group* parent;
    const CListOf<KEP_Group>* list;
    int32_t next;
    bool lightmapStage;  // set once any surface in this pass got a stage-1 image
    KEP_Group* awaiting; // group whose nested pass is running
};

int32_t TextureImage(const Scene& scene, const KEP_Surface* surface) {
    const KEP_TextureInfo* texture = scene.map.textures.At(surface->textureIndex);
    return texture ? texture->build.image : 0;
}

int32_t LightmapImage(const Scene& scene, const KEP_Surface* surface) {
    if (!KEP_UsesLightmaps(scene.options.lightmapFlag) || surface->lightmapIndex < 0) return 0;
    const KEP_Lightmap* lightmap = scene.map.lightmaps.At(surface->lightmapIndex);
    return lightmap ? lightmap->build.image : 0;
}

float Sum(float a, float b) {
    return static_cast<float>(static_cast<double>(a) + b);
}
float Difference(float a, float b) {
    return static_cast<float>(static_cast<double>(a) - b);
}

void MakeGroupObject(Scene& scene, KEP_Group* group, const KEP_Mesh* mesh, KEP_Surface* surface,
                     Pass& pass) {
    const int32_t object = KEP_FreeObjectNumber(scene.build.numbers, scene.options.initialObject);
    const KEP_ScratchNumbers& scratch = scene.build.numbers.scratch;
    if (object == 0) {
        // Every object number is taken: give the scratch numbers back first.
        // Scripts have always been told "Insufficient memory" for this.
        host::object::DeleteMesh(scratch.mesh);
        host::memblock::DeleteMemblock(scratch.meshMemblock);
        KEP_FAIL(HostLimit, InsufficientMemory, "KEP_BuildGroups", KEP_UNIT_MAP);
    }
    group->build.ownsObject = 1;
    group->build.object = object;
    host::object::MakeObject(object, scratch.mesh, 0);
    if (const int32_t image = TextureImage(scene, surface); image > 0) {
        host::object::SetTextureStage(object, 0, image);
        KEP_NoteObjectImage(scene.build.recordLayout, object, image);
    }
    if (const int32_t lightmap = LightmapImage(scene, surface); lightmap > 0) {
        host::object::SetTextureStage(object, 1, lightmap);
        pass.lightmapStage = true;
    }
    const float* origin = scene.build.buildOrigin;
    host::object::Position(object, Sum(mesh->position[0], origin[0]),
                           Sum(mesh->position[1], origin[1]), Sum(mesh->position[2], origin[2]));
    ++scene.map.build.objectsBuilt;
    scene.build.limbCounter = 1;
    surface->build.object = object;
    surface->build.limb = 0;
}

void AddGroupLimb(Scene& scene, KEP_Group* group, KEP_Surface* surface, Pass& pass) {
    const int32_t object = group->build.object;
    const int32_t limb = scene.build.limbCounter;
    if (group->build.firstLimb == 0) group->build.firstLimb = limb;
    host::object::AddLimb(object, limb, scene.build.numbers.scratch.mesh);
    if (group->build.firstLimb != limb) {
        host::object::LinkLimb(object, group->build.firstLimb, limb);
    } else {
        // The group's root limb sits at the build origin, relative to the object.
        const float z = host::object::GetZPositionEx(object);
        const float y = host::object::GetYPositionEx(object);
        const float x = host::object::GetXPositionEx(object);
        const float* origin = scene.build.buildOrigin;
        host::object::OffsetLimb(object, limb, Difference(origin[0], x), Difference(origin[1], y),
                                 Difference(origin[2], z));
    }
    if (const int32_t image = TextureImage(scene, surface); image > 0)
        host::object::TextureLimb(object, limb, image);
    if (const int32_t lightmap = LightmapImage(scene, surface); lightmap > 0) {
        host::object::TextureLimbStage(object, limb, 1, lightmap);
        pass.lightmapStage = true;
    }
    if (limb < INT32_MAX) scene.build.limbCounter = limb + 1;
    surface->build.object = object;
    surface->build.limb = limb;
}

void BuildGroupGeometry(Scene& scene, KEP_Group* group, Pass& pass) {
    group->build.built = 1;
    if (pass.parent && pass.parent->build.object != 0)
        group->build.object = pass.parent->build.object;
    for (int32_t m = 0; m < group->meshes.Count(); ++m) {
        const KEP_Mesh* mesh = group->meshes.At(m);
        for (int32_t s = 0; s < mesh->surfaces.Count(); ++s) {
            KEP_Surface* surface = mesh->surfaces.At(s);
            KEP_ChooseSurfaceScratch(scene.build.numbers);
            KEP_BuildSurfaceMesh(surface, mesh, group, scene.build, scene.options,
                                 &scene.smoothing);
            if (group->build.object == 0)
                MakeGroupObject(scene, group, mesh, surface, pass);
            else
                AddGroupLimb(scene, group, surface, pass);
            host::object::DeleteMesh(scene.build.numbers.scratch.mesh);
            host::memblock::DeleteMemblock(scene.build.numbers.scratch.meshMemblock);
        }
        // A mesh without surfaces in a group without an object has nothing
        // to show: no record pass and no Show for object 0.
        if (group->build.object == 0) continue;
        KEP_WriteHostRecords(scene.build.recordLayout, &scene.records, group->build.object,
                             scene.options.lightmapFlag, pass.lightmapStage);
        host::object::Show(group->build.object);
    }
    if (pass.parent && group->build.object == 0) group->build.object = pass.parent->build.object;
}

// After a group's own nested pass: a parent without meshes takes over the
// record of the child that built geometry.
void FinishGroup(KEP_Group* group, const Pass& pass) {
    KEP_Group* parent = pass.parent;
    if (parent && parent->meshes.Count() == 0 && group->meshes.Count() != 0) {
        parent->build.object = group->build.object;
        parent->build.firstLimb = group->build.firstLimb;
        parent->build.ownsObject = group->build.ownsObject;
    }
}

} // namespace

void KEP_BuildGroups(KEP_Map& map, KEP_BuildState& build, const KEP_BuildOptions& options) {
    KEP_HostRecordMemory records;
    // Every mesh is smoothed once, as it is made: the host's SetSmoothing over
    // a whole object would cost time in the square of each mesh's vertices,
    // and once per group again over the meshes of an object of many groups.
    KEP_NormalSmoothing smoothing;
    Scene scene{map, build, options, records, smoothing};
    build.limbCounter = 1;

    // Nested passes run on an explicit stack in the order a recursive walk
    // would take: parent chains read from a file may be very deep.
    std::vector<Pass> passes;
    passes.push_back({nullptr, &map.groups.Items(), 0, false, nullptr});
    while (!passes.empty()) {
        Pass& pass = passes.back();
        if (KEP_Group* group = pass.awaiting) {
            pass.awaiting = nullptr;
            FinishGroup(group, pass);
            continue;
        }
        if (pass.next >= pass.list->Count()) {
            passes.pop_back();
            continue;
        }
        KEP_Group* group = pass.list->At(pass.next++);
        // The group's pivot entity is the last pivot of the list naming it.
        if (const KEP_Entity* pivot = group->pivotEntity)
            for (int axis = 0; axis < 3; ++axis)
                build.buildOrigin[axis] = pivot->position[axis];
        if (group->build.built) continue;
        BuildGroupGeometry(scene, group, pass);
        pass.awaiting = group;
        passes.push_back({group, &group->childGroups, 0, false, nullptr}); // `pass` is stale now
    }
}
