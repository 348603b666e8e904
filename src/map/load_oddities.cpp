// Oddities for the plug-in's own tools: what a load reads past, with its place.
#include "map/load_context.h"

void KEP_NoteOddity(const KEP_LoadContext& load, const std::string& within,
                    const std::string& text) {
    std::string line = KepDescribePlace(load.place);
    if (!within.empty()) line += ", " + within;
    load.oddities->push_back(line + ": " + text);
}

void KEP_NoteBarePropertyLines(const KEP_LoadContext& load, const Cstring& text) {
    if (!load.oddities) return;
    // Split as the property parser does: a line feed ends a line, carriage
    // returns and double quotes are not part of it.
    std::string line;
    bool hasEquals = false;
    int32_t number = 1;
    auto endLine = [&] {
        if (!line.empty() && !hasEquals)
            KEP_NoteOddity(load, "",
                           "property line " + std::to_string(number) + " \"" + line +
                               "\" has no \"=\"");
        line.clear();
        hasEquals = false;
        ++number;
    };
    const char* p = text.CStr();
    for (int32_t i = 0; i < text.Length(); ++i) {
        const char c = p[i];
        if (c == '\n') {
            endLine();
        } else if (c == '=') {
            hasEquals = true;
        } else if (c != '\r' && c != '"') {
            line += c;
        }
    }
    endLine();
}
