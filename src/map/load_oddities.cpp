// Oddities for the plug-in's own tools: what a load reads past, with its place.
#include "map/load_context.h"

void KEP_NoteOddity(const KEP_LoadContext& load, const std::string& within,
                    const std::string& text) {
    std::string line = KepDescribePlace(load.place);
    if (!within.empty()) line += ", " + within;
    load.oddities->push_back(line + ": " + text);
}

void KEP_BarePropertyLines::operator()(const std::string& key, const std::string&, bool hasEquals) {
    ++line;
    // Without an "=" the whole line is the key.
    if (load.oddities && !hasEquals && !key.empty())
        KEP_NoteOddity(load, "",
                       "property line " + std::to_string(line) + " \"" + key + "\" has no \"=\"");
}
