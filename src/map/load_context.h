// What one load works on, handed to every section reader and scene builder:
// the byte reader, the map being filled, the settings and the builder's state.
// Nothing in this layer reaches process-wide state; the loading commands
// (commands/load_commands.cpp) put the context together.
#pragma once

#include <cstdint>

#include "core/CError.h"
#include "core/CFile.h"
#include "map/host_records.h"
#include "map/kep_model.h"

// The plug-in's settings that loading reads; the entity section may set the
// ambient colour, which then holds for later loads too.
struct KEP_LoadSettings {
    int32_t initialObject = 1000;
    int32_t initialImage = 1000;
    float mapOffset[3] = {0.0f, 0.0f, 0.0f};
    int32_t mediaIncluded = 0;
    uint32_t ambientColour = 0;
};

// Scene-builder state that outlives a map: the next limb number, the position
// of the last pivot entity met (see map/build_groups.cpp) and the running
// host's mesh-record layout, decided once per process.
struct KEP_BuildState {
    int32_t limbCounter = 1;
    float buildOrigin[3] = {0.0f, 0.0f, 0.0f};
    HostRecordLayoutChoice recordLayout;
};

struct KEP_LoadContext {
    CFile& reader;
    KEP_Map& map;
    KEP_LoadSettings& settings;
    KEP_BuildState& build;
    // Where reading is: the readers keep it up to date, and a failure takes
    // it along (KEP_ReadSections).
    CErrorPlace place = {};
};
