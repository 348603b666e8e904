// What one read works on, handed to every section reader: the byte reader,
// the map being filled, the read's options and where reading is. Reading
// never calls the host: it turns bytes into the model, and the builders
// (build/) make the host's images and objects from that model afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/CError.h"
#include "core/CFile.h"
#include "map/kep_model.h"

// Oddities a read passes over without failing, each one line with its place,
// e.g. "mesh 3, surface 2, triangle 7: corner 2 names vertex 40 of 12". Only
// the plug-in's own tools collect them; scripts never see them.
using KEP_Oddities = std::vector<std::string>;

struct KEP_ReadOptions {
    // Added to every entity position as it is read.
    float mapOffset[3] = {0.0f, 0.0f, 0.0f};
    // Textures travel with the map: their files need not be beside it.
    bool mediaIncluded = false;
    // Where oddities go; null when nobody asks, and then the readers only
    // test this pointer, once per record or surface.
    KEP_Oddities* oddities = nullptr;
};

struct KEP_ReadContext {
    CFile& reader;
    KEP_Map& map;
    const KEP_ReadOptions& options;
    // Where reading is: the readers keep it up to date, and a failure takes
    // it along (KEP_ReadSections).
    CErrorPlace place = {};
};

// Appends "<place>[, <within>]: <text>" to the read's oddities (the place is
// the readers' current one). Call only when read.options.oddities is set.
void KEP_NoteOddity(const KEP_ReadContext& read, const std::string& within,
                    const std::string& text);

// The property parser's line callback for the tools: notes each line of a
// record's property text that has something but no "=" (it becomes a key
// with an empty value). Does nothing without a sink.
struct KEP_BarePropertyLines {
    const KEP_ReadContext& read;
    int32_t line = 0;
    void operator()(const std::string& key, const std::string& value, bool hasEquals);
};
