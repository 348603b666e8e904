// The host mesh record that GetObjectA exposes for one limb: a block of bytes
// the plug-in reads and writes at fixed offsets, with its texture-stage
// records. Its address stays fixed for its whole life; the stage array moves
// only when a higher stage is bound. Host releases place the stage fields and
// the render switches differently; each record keeps the layout it was made in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "simhost/scene.h"
#include "simhost/simhost.h"

namespace simhost {

// Byte offsets of one host release's mesh record.
struct MeshRecordOffsets {
    std::size_t stageCount;
    std::size_t stageArray;
    std::size_t stageSize;
    std::size_t light;
    std::size_t ambient;
    std::size_t transparency;
    std::size_t colourValue; // a non-pointer word next to the stage array, or 0
};

const MeshRecordOffsets& OffsetsOf(MeshRecordLayout layout);

class HostMeshRecord {
  public:
    static constexpr std::size_t kSize = 1100;
    static constexpr uint32_t kMaxStages = 8;

    HostMeshRecord();
    HostMeshRecord(const HostMeshRecord&) = delete;
    HostMeshRecord& operator=(const HostMeshRecord&) = delete;

    void* Address() { return words_.get(); }
    uint32_t StageCount() const { return stageCount_; }
    // Grows the stage records to at least `count` (up to kMaxStages), keeping
    // what was written into the existing ones.
    void EnsureStages(uint32_t count);
    // Records the bound image in the stage record, as the host does.
    void SetStageImage(uint32_t stage, int image);
    HostMeshRecordState State() const;

  private:
    uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(words_.get()); }
    const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(words_.get()); }
    uint32_t* Stage(uint32_t stage) { return stages_.get() + stage * offsets_.stageSize / 4; }

    const MeshRecordOffsets& offsets_;
    std::unique_ptr<uint32_t[]> words_;
    std::unique_ptr<uint32_t[]> stages_;
    uint32_t stageCount_ = 0;
};

// A pointer as the 32-bit word the plug-in reads from a host record.
uint32_t PointerWord(const void* pointer);

} // namespace simhost
