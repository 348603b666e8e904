#include "build/host_records.h"

#include <cstring>
#include <functional>
#include <new>
#include <unordered_map>

#include "build/kep_build.h"
#include "core/memory.h"
#include "host/host_functions.h"
#include "host/platform.h"

const HostMeshLayout kOlderHostMeshLayout = {"older", 892, 904, 328, 1037, 1040, 1041};
// Two words joined the stage record, which pushed everything after it along;
// byte 904 there is a colour value, never a pointer.
const HostMeshLayout kCurrentHostMeshLayout = {"current", 896, 908, 336, 1041, 1044, 1045};

namespace {

// The host's object record on i386.
const int kObjectMeshCount = 0; // word 0: number of host meshes
const int kObjectMeshArray = 8; // word 2: array of host mesh pointers
// Stage record fields, the same in every known release.
const int kStageImage = 256;
const int kStageNumber = 268;
const int kStageColourOp = 272;
const int kStageColourArg1 = 276;
const int kStageColourArg2 = 280;
const int kStageTexCoordMode = 304;
const uint32_t kMostStages = 8;

uint32_t ReadWord(const uint8_t* record, int offset) {
    uint32_t value;
    std::memcpy(&value, record + offset, 4);
    return value;
}

uint8_t* ReadPointer(const uint8_t* record, int offset) {
    return reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(ReadWord(record, offset)));
}

void WriteWord(uint8_t* record, int offset, uint32_t value) {
    std::memcpy(record + offset, &value, 4);
}

void WriteStage(uint8_t* stage, uint32_t number, uint32_t op, uint32_t arg1, uint32_t arg2) {
    WriteWord(stage, kStageNumber, number);
    WriteWord(stage, kStageColourOp, op);
    WriteWord(stage, kStageColourArg1, arg1);
    WriteWord(stage, kStageColourArg2, arg2);
    WriteWord(stage, kStageTexCoordMode, 0);
}

// Reads only what the checks before it have shown to be there.
bool Fits(const HostMeshLayout& layout, const uint8_t* mesh, int32_t image) {
    if (!platform::IsWritableMemory(mesh, static_cast<std::size_t>(layout.transparency) + 1))
        return false;
    const uint32_t stages = ReadWord(mesh, layout.stageCount);
    if (stages < 1 || stages > kMostStages) return false;
    const uint8_t* stageArray = ReadPointer(mesh, layout.stageArray);
    if (!stageArray || !platform::IsWritableMemory(
                           stageArray, stages * static_cast<std::size_t>(layout.stageSize)))
        return false;
    return ReadWord(stageArray, kStageImage) == static_cast<uint32_t>(image);
}

void Decide(HostRecordLayoutChoice& choice, const uint8_t* firstMesh) {
    const bool older = Fits(kOlderHostMeshLayout, firstMesh, choice.probeImage);
    const bool current = Fits(kCurrentHostMeshLayout, firstMesh, choice.probeImage);
    // Both fitting would leave the meaning of the fields open: touch nothing.
    if (older != current) choice.layout = older ? &kOlderHostMeshLayout : &kCurrentHostMeshLayout;
    choice.decided = true;
}

void WriteMesh(const HostMeshLayout& layout, uint8_t* mesh, int32_t lightmapFlag,
               bool lightmapStageSet) {
    mesh[layout.ambient] = 0;
    mesh[layout.light] = 0;
    const uint32_t stages = ReadWord(mesh, layout.stageCount);
    uint8_t* stageArray = ReadPointer(mesh, layout.stageArray);
    const bool hasStages = stages > 0 && stageArray;
    if (hasStages) WriteStage(stageArray, 0, 2, 2, 0); // select the texture
    if (KEP_UsesLightmaps(lightmapFlag) && lightmapStageSet && hasStages && stages > 1)
        WriteStage(stageArray + layout.stageSize, 1, 5, 2, 1); // texture x lightmap x 2
    else
        mesh[layout.transparency] = 1;
}

} // namespace

void KEP_NoteObjectImage(HostRecordLayoutChoice& choice, int32_t object, int32_t image) {
    if (!choice.decided && choice.probeObject == 0 && image > 0) {
        choice.probeObject = object;
        choice.probeImage = image;
    }
}

KEP_HostRecordMemory::KEP_HostRecordMemory()
    : m_written(ByObject::allocator_type(KEP_UNIT_MAP, __LINE__)) {}

KEP_HostRecordMemory::Written* KEP_HostRecordMemory::Entry(int32_t object) {
    try {
        return &m_written[object];
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void KEP_WriteHostRecords(HostRecordLayoutChoice& choice, KEP_HostRecordMemory* memory,
                          int32_t object, int32_t lightmapFlag, bool lightmapStageSet) {
    const uint8_t* record = reinterpret_cast<const uint8_t*>(host::object::GetObjectA(object));
    if (!record) return;
    const int32_t meshCount = static_cast<int32_t>(ReadWord(record, kObjectMeshCount));
    const uint8_t* meshArray = ReadPointer(record, kObjectMeshArray);
    if (!meshArray) return;
    if (!choice.decided) {
        if (object != choice.probeObject) return;
        const uint8_t* first = meshCount > 0 ? ReadPointer(meshArray, 0) : nullptr;
        if (!first) {
            choice.probeObject = 0; // try again with the next object made
            return;
        }
        Decide(choice, first);
    }
    if (!choice.layout || meshCount <= 0) return;
    const uint32_t count = static_cast<uint32_t>(meshCount);
    KEP_HostRecordMemory::Written* written = memory ? memory->Entry(object) : nullptr;
    const int kind = lightmapStageSet ? 1 : 0;
    uint32_t from = written ? written->upTo[kind] : 0;
    if (from > count || (from > 0 && ReadWord(meshArray, 4 * static_cast<int>(from - 1)) !=
                                         written->lastMesh[kind])) {
        // The array is not as the last pass left it: start again.
        *written = KEP_HostRecordMemory::Written();
        from = 0;
    }
    for (uint32_t i = from; i < count; ++i)
        if (uint8_t* mesh = ReadPointer(meshArray, 4 * static_cast<int>(i)))
            WriteMesh(*choice.layout, mesh, lightmapFlag, lightmapStageSet);
    if (written) {
        written->upTo[kind] = count;
        written->lastMesh[kind] = ReadWord(meshArray, 4 * static_cast<int>(count - 1));
    }
}
