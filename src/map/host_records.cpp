#include "map/host_records.h"

#include <cstring>

#include "host/host_functions.h"

namespace {

// Layout of the host's records on i386.
const int kObjectMeshCount = 0; // sObject word 0: number of host meshes
const int kObjectMeshArray = 8; // sObject word 2: array of host mesh pointers
const int kMeshByte1037 = 1037;
const int kMeshByte1040 = 1040;
const int kMeshUnlit = 1041; // 1 when the mesh has no lightmap stage
const int kMeshStageCount = 892;
const int kMeshStageArray = 904;
const int kStageRecordSize = 328;
const int kStageNumber = 268;
const int kStageColourOp = 272;
const int kStageColourArg1 = 276;
const int kStageColourArg2 = 280;
const int kStageWord304 = 304;

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
    WriteWord(stage, kStageWord304, 0);
}

} // namespace

void KEP_WriteHostRecords(int32_t object, int32_t lightmapFlag, bool lightmapStageSet) {
    const uint8_t* record = reinterpret_cast<const uint8_t*>(host::object::GetObjectA(object));
    if (!record) return;
    const int32_t meshCount = static_cast<int32_t>(ReadWord(record, kObjectMeshCount));
    const uint8_t* meshArray = ReadPointer(record, kObjectMeshArray);
    if (!meshArray) return;
    for (int32_t i = 0; i < meshCount; ++i) {
        uint8_t* mesh = ReadPointer(meshArray, 4 * i);
        if (!mesh) continue;
        mesh[kMeshByte1040] = 0;
        mesh[kMeshByte1037] = 0;
        const uint32_t stages = ReadWord(mesh, kMeshStageCount);
        uint8_t* stageArray = ReadPointer(mesh, kMeshStageArray);
        const bool hasStages = stages > 0 && stageArray;
        if (hasStages) WriteStage(stageArray, 0, 2, 2, 0); // select the texture
        if (lightmapFlag == 2 && lightmapStageSet && hasStages && stages > 1)
            WriteStage(stageArray + kStageRecordSize, 1, 5, 2, 1); // modulate 2x
        else
            mesh[kMeshUnlit] = 1;
    }
}
