#include "host_mesh_record.h"

#include <cstring>

namespace simhost {
namespace {

static_assert(sizeof(void*) == 4, "host records hold 32-bit pointers");

constexpr std::size_t kStageWords = HostMeshRecord::kStageSize / 4;
// Word positions of the stage fields the plug-in writes.
constexpr std::size_t kStageNumber = 268 / 4;
constexpr std::size_t kColourOp = 272 / 4;
constexpr std::size_t kArg1 = 276 / 4;
constexpr std::size_t kArg2 = 280 / 4;
constexpr std::size_t kWord304 = 304 / 4;
// Fresh values that none of the plug-in's writes produce, so tests see them.
constexpr uint32_t kUnwritten = 0xFFFFFFFFu;
constexpr std::size_t kByte1037 = 1037;
constexpr std::size_t kByte1040 = 1040;
constexpr std::size_t kByte1041 = 1041;

void InitStage(uint32_t* stage) {
    for (std::size_t i : {kStageNumber, kColourOp, kArg1, kArg2, kWord304})
        stage[i] = kUnwritten;
}

} // namespace

uint32_t PointerWord(const void* pointer) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

HostMeshRecord::HostMeshRecord() : words_(new uint32_t[(kSize + 3) / 4]()) {
    Bytes()[kByte1037] = 1;
    Bytes()[kByte1040] = 1;
    Bytes()[kByte1041] = 0;
    EnsureStages(1);
}

void HostMeshRecord::EnsureStages(uint32_t count) {
    if (count > kMaxStages) count = kMaxStages;
    if (count <= stageCount_) return;
    std::unique_ptr<uint32_t[]> grown(new uint32_t[count * kStageWords]());
    if (stages_) std::memcpy(grown.get(), stages_.get(), stageCount_ * kStageSize);
    for (uint32_t s = stageCount_; s < count; ++s)
        InitStage(grown.get() + s * kStageWords);
    stages_ = std::move(grown);
    stageCount_ = count;
    const uint32_t pointer = PointerWord(stages_.get());
    std::memcpy(Bytes() + kStageCountAt, &stageCount_, 4);
    std::memcpy(Bytes() + kStagesAt, &pointer, 4);
}

HostMeshRecordState HostMeshRecord::State() const {
    HostMeshRecordState state;
    state.byte1037 = Bytes()[kByte1037];
    state.byte1040 = Bytes()[kByte1040];
    state.byte1041 = Bytes()[kByte1041];
    std::memcpy(&state.stageCount, Bytes() + kStageCountAt, 4);
    for (uint32_t s = 0; s < stageCount_; ++s) {
        const uint32_t* stage = stages_.get() + s * kStageWords;
        state.stages.push_back(
            {stage[kStageNumber], stage[kColourOp], stage[kArg1], stage[kArg2], stage[kWord304]});
    }
    return state;
}

} // namespace simhost
