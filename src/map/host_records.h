// Writes the texture-stage state straight into the host's object record.
#pragma once

#include <cstdint>

// Record pass over every host mesh of `object`: stage 0 passes the texture's
// colour on; with lightmaps (flag 2 and a stage-1 image bound in this pass)
// stage 1 multiplies by the lightmap, otherwise the mesh is marked unlit.
void KEP_WriteHostRecords(int32_t object, int32_t lightmapFlag, bool lightmapStageSet);
