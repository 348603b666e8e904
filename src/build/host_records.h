// Writes the texture-stage state straight into the host's mesh records.
#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>

#include "core/memory.h"

// Where one host release keeps the fields of its mesh record that the record
// pass touches (byte offsets).
struct HostMeshLayout {
    const char* name;
    int stageCount; // DWORD: number of texture stages
    int stageArray; // pointer to the stage records
    int stageSize;  // bytes per stage record
    int light;      // bool switches
    int ambient;
    int transparency;
};

// The layout of the running host, decided once from the host itself: at the
// first record pass over an object the builder made with a texture image, the
// known layouts are tried on that object's first host mesh. A layout fits only
// when its stage count is 1-8, its stage array is non-null and writable, and
// stage 0 holds the image the builder bound. Until a layout fits, and for good
// when none does, the record pass writes nothing.
struct HostRecordLayoutChoice {
    const HostMeshLayout* layout = nullptr; // the accepted layout, if any
    bool decided = false;
    int32_t probeObject = 0; // object made with `probeImage` on stage 0
    int32_t probeImage = 0;
};

// The builder made `object` and bound `image` (> 0) to its stage 0.
void KEP_NoteObjectImage(HostRecordLayoutChoice& choice, int32_t object, int32_t image);

class KEP_HostRecordMemory;

// Record pass over every host mesh of `object`: stage 0 passes the texture's
// colour on; with lightmaps (flag 2 and a stage-1 image bound in this pass)
// stage 1 multiplies by the lightmap, otherwise the mesh is marked transparent
// to lighting (no lightmap stage). Light and ambient are switched off. With
// `memory` (one build's), meshes an earlier pass of the kind wrote are skipped.
void KEP_WriteHostRecords(HostRecordLayoutChoice& choice, KEP_HostRecordMemory* memory,
                          int32_t object, int32_t lightmapFlag, bool lightmapStageSet);

// A build makes one pass after every mesh, over every host mesh of the
// object, so objects of many meshes would cost passes quadratic in their
// meshes. What a pass writes into a record depends only on the record and on
// the pass's kind (with or without a lightmap stage), and writing it again
// changes no byte. So a build keeps one of these, and a pass writes only the
// host meshes that no pass of its kind has written yet. The builder numbers
// each object's limbs upwards and the host keeps an object's meshes in limb
// order, so those are the meshes past the ones the last pass of that kind
// wrote; should the mesh that pass wrote last have moved, the pass writes
// every mesh again.
class KEP_HostRecordMemory {
  public:
    // What the passes wrote into one object's host meshes: for each pass kind
    // (0 without, 1 with a lightmap stage), the meshes [0, upTo) of the
    // array, whose last entry then was `lastMesh`.
    struct Written {
        uint32_t upTo[2] = {0, 0};
        uint32_t lastMesh[2] = {0, 0};
    };

    KEP_HostRecordMemory();
    KEP_HostRecordMemory(const KEP_HostRecordMemory&) = delete;
    KEP_HostRecordMemory& operator=(const KEP_HostRecordMemory&) = delete;

    // The object's entry, or null (without room for it: then
    // every pass writes every mesh, which is always right).
    Written* Entry(int32_t object);

  private:
    using ByObject =
        std::unordered_map<int32_t, Written, std::hash<int32_t>, std::equal_to<int32_t>,
                           KepAllocator<std::pair<const int32_t, Written>>>;
    ByObject m_written;
};

// The known layouts: older host releases, then the current public release.
extern const HostMeshLayout kOlderHostMeshLayout;
extern const HostMeshLayout kCurrentHostMeshLayout;
