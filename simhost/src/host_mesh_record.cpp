#include "host_mesh_record.h"

#include <cstring>

namespace simhost {
namespace {

static_assert(sizeof(void*) == 4, "host records hold 32-bit pointers");

// Word positions of the stage fields; the same in every known release.
constexpr std::size_t kStageImage = 256 / 4;
constexpr std::size_t kStageNumber = 268 / 4;
constexpr std::size_t kColourOp = 272 / 4;
constexpr std::size_t kArg1 = 276 / 4;
constexpr std::size_t kArg2 = 280 / 4;
constexpr std::size_t kWord304 = 304 / 4;
// Fresh values that none of the plug-in's writes produce, so tests see them.
constexpr uint32_t kUnwritten = 0xFFFFFFFFu;
// A colour word the current release keeps where the older one kept the stage
// array: anything that took it for a pointer would write into nowhere.
constexpr uint32_t kAlphaOverrideColour = 0x80FF8040u;

// The unrecognised layout keeps its stages where neither known release does,
// so a plug-in that checks finds no plausible stage count at either place.
const MeshRecordOffsets kOffsets[] = {
    {892, 904, 328, 1037, 1040, 1041, 0},
    {896, 908, 336, 1041, 1044, 1045, 904},
    {920, 924, 340, 1050, 1051, 1052, 0},
};

MeshRecordLayout g_layout = MeshRecordLayout::Older;

void InitStage(uint32_t* stage) {
    for (std::size_t i : {kStageNumber, kColourOp, kArg1, kArg2, kWord304})
        stage[i] = kUnwritten;
}

} // namespace

void SetMeshRecordLayout(MeshRecordLayout layout) {
    g_layout = layout;
}

MeshRecordLayout GetMeshRecordLayout() {
    return g_layout;
}

const MeshRecordOffsets& OffsetsOf(MeshRecordLayout layout) {
    return kOffsets[static_cast<int>(layout)];
}

uint32_t PointerWord(const void* pointer) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

HostMeshRecord::HostMeshRecord()
    : offsets_(OffsetsOf(g_layout)), words_(new uint32_t[(kSize + 3) / 4]()) {
    Bytes()[offsets_.light] = 1;
    Bytes()[offsets_.ambient] = 1;
    Bytes()[offsets_.transparency] = 0;
    if (offsets_.colourValue) std::memcpy(Bytes() + offsets_.colourValue, &kAlphaOverrideColour, 4);
    EnsureStages(1);
}

void HostMeshRecord::EnsureStages(uint32_t count) {
    if (count > kMaxStages) count = kMaxStages;
    if (count <= stageCount_) return;
    const std::size_t stageWords = offsets_.stageSize / 4;
    std::unique_ptr<uint32_t[]> grown(new uint32_t[count * stageWords]());
    if (stages_) std::memcpy(grown.get(), stages_.get(), stageCount_ * offsets_.stageSize);
    for (uint32_t s = stageCount_; s < count; ++s)
        InitStage(grown.get() + s * stageWords);
    stages_ = std::move(grown);
    stageCount_ = count;
    const uint32_t pointer = PointerWord(stages_.get());
    std::memcpy(Bytes() + offsets_.stageCount, &stageCount_, 4);
    std::memcpy(Bytes() + offsets_.stageArray, &pointer, 4);
}

void HostMeshRecord::SetStageImage(uint32_t stage, int image) {
    if (stage < stageCount_) Stage(stage)[kStageImage] = static_cast<uint32_t>(image);
}

HostMeshRecordState HostMeshRecord::State() const {
    HostMeshRecordState state;
    state.light = Bytes()[offsets_.light];
    state.ambient = Bytes()[offsets_.ambient];
    state.transparency = Bytes()[offsets_.transparency];
    std::memcpy(&state.stageCount, Bytes() + offsets_.stageCount, 4);
    for (uint32_t s = 0; s < stageCount_; ++s) {
        const uint32_t* stage = stages_.get() + s * offsets_.stageSize / 4;
        state.stages.push_back({stage[kStageImage], stage[kStageNumber], stage[kColourOp],
                                stage[kArg1], stage[kArg2], stage[kWord304]});
    }
    state.bytes.assign(Bytes(), Bytes() + kSize);
    std::memset(state.bytes.data() + offsets_.stageArray, 0, 4);
    const uint8_t* stages = reinterpret_cast<const uint8_t*>(stages_.get());
    state.bytes.insert(state.bytes.end(), stages, stages + stageCount_ * offsets_.stageSize);
    return state;
}

} // namespace simhost
