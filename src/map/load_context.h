// What one load works on, handed to every section reader and scene builder:
// the byte reader, the map being filled, the settings and the builder's state.
// Nothing in this layer reaches process-wide state; the loading commands
// (commands/load_commands.cpp) put the context together.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// Where the free-number searches of a load stopped (map/host_numbers.cpp):
// the search's first number and the number it returned (0: nothing known).
struct KEP_NumberSearchMemory {
    int32_t start = 0;
    int32_t resume = 0;
};
// Host numbers the builders borrow for a moment and give back at once: the
// memblock lightmap pixels pass through on their way into or out of an image,
// the memblock a surface is written into, and the mesh made from it. Each is
// chosen on its first use in a load (map/scratch_numbers.cpp); 0 until then.
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

// Scene-builder state that outlives a map: the next limb number, the position
// of the last pivot entity met (see map/build_groups.cpp), the running host's
// mesh-record layout, decided once per process, and the free-number searches.
struct KEP_BuildState {
    int32_t limbCounter = 1;
    float buildOrigin[3] = {0.0f, 0.0f, 0.0f};
    HostRecordLayoutChoice recordLayout;
    KEP_NumberSearches numbers;
    // For tests only: loads keep vertices, triangles and lines, so that tests
    // can look at what was read; every record pass writes every host mesh.
    bool keepGeometry = false;
    bool recordEveryMesh = false;
};

// Oddities a load reads past without failing, each one line with its place,
// e.g. "mesh 3, surface 2, triangle 7: corner 2 names vertex 40 of 12". Only
// the plug-in's own tools collect them; scripts never see them.
using KEP_Oddities = std::vector<std::string>;

struct KEP_LoadContext {
    CFile& reader;
    KEP_Map& map;
    KEP_LoadSettings& settings;
    KEP_BuildState& build;
    // Where reading is: the readers keep it up to date, and a failure takes
    // it along (KEP_ReadSections).
    CErrorPlace place = {};
    // Where oddities go; null when nobody asks, and then the readers only
    // test this pointer, once per record or surface.
    KEP_Oddities* oddities = nullptr;
};

// Appends "<place>[, <within>]: <text>" to the load's oddities (the place is
// the readers' current one). Call only when load.oddities is set.
void KEP_NoteOddity(const KEP_LoadContext& load, const std::string& within,
                    const std::string& text);

// The property parser's line callback for the tools: notes each line of a
// record's property text that has something but no "=" (it becomes a key
// with an empty value). Does nothing without a sink.
struct KEP_BarePropertyLines {
    const KEP_LoadContext& load;
    int32_t line = 0;
    void operator()(const std::string& key, const std::string& value, bool hasEquals);
};
