// Oddities for the plug-in's own tools: what a load reads past, with its place.
#include "map/read_context.h"

void KEP_NoteOddity(const KEP_ReadContext& read, const std::string& within,
                    const std::string& text) {
    std::string line = KepDescribePlace(read.place);
    if (!within.empty()) line += ", " + within;
    read.options.oddities->push_back(line + ": " + text);
}

void KEP_BarePropertyLines::operator()(const std::string& key, const std::string&, bool hasEquals) {
    ++line;
    // Without an "=" the whole line is the key.
    if (read.options.oddities && !hasEquals && !key.empty())
        KEP_NoteOddity(read, "",
                       "property line " + std::to_string(line) + " \"" + key + "\" has no \"=\"");
}
