// The command table as the source tree states it, so that the built libraries
// can be checked against the text they were made from.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

struct CommandTable {
    std::map<uint32_t, std::string> strings; // resource id -> resource string
    std::set<std::string> exportNames;       // every row's function and the extras
};

// Reads src/plugin/command_table.inc; throws naming a line it cannot read.
CommandTable ReadCommandTable(const std::string& path);
