// What building works with besides the map: the options of one load and the
// builder's state that outlives maps.
#pragma once

#include <cstdint>

#include "build/host_records.h"

// One load's settings for the builder, taken from the plug-in's settings.
struct KEP_BuildOptions {
    int32_t initialObject = 1000;
    int32_t initialImage = 1000;
    float mapOffset[3] = {0.0f, 0.0f, 0.0f};
    int32_t lightmapFlag = 0;
    // Brighten every lightmap by `ambientColour` once its image is made: a
    // map read whole from a file.
    bool applyAmbient = false;
    uint32_t ambientColour = 0;
};

// Where the free-number searches of a load stopped (build/host_numbers.cpp):
// the search's first number and the number it returned (0: nothing known).
struct KEP_NumberSearchMemory {
    int32_t start = 0;
    int32_t resume = 0;
};
// Host numbers the builders borrow for a moment and give back at once: the
// memblock lightmap pixels pass through on their way into an image, the
// memblock a surface is written into, and the mesh made from it. Each is
// chosen on its first use in a load (build/scratch_numbers.cpp); 0 until then.
struct KEP_ScratchNumbers {
    int32_t imageMemblock = 0;
    int32_t meshMemblock = 0;
    int32_t mesh = 0;
};
struct KEP_NumberSearches {
    bool remembering = false; // only while a load runs
    KEP_NumberSearchMemory images;
    KEP_NumberSearchMemory objects;
    KEP_ScratchNumbers scratch;
};

// Builder state that outlives a map: the next limb number, the position of
// the last pivot entity met (see build/build_groups.cpp), the running host's
// mesh-record layout, decided once per process, and the free-number searches.
struct KEP_BuildState {
    int32_t limbCounter = 1;
    float buildOrigin[3] = {0.0f, 0.0f, 0.0f};
    HostRecordLayoutChoice recordLayout;
    KEP_NumberSearches numbers;
};
