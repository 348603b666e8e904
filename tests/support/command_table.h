// The command table as the source tree states it, read at test time so that
// the built libraries can be checked against the text they were made from.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct CommandRow {
    int32_t id = 0;
    std::string text;       // the resource string, byte for byte
    std::string exportName; // its third %-separated field
};

struct CommandTable {
    std::vector<CommandRow> rows;
    std::vector<std::string> extraExports;

    // Every name the libraries must export: each row's function and the extras.
    std::set<std::string> ExportNames() const;
};

// Reads src/plugin/command_table.inc; throws std::runtime_error naming the line
// that it cannot read.
CommandTable ReadCommandTable(const std::string& path);

// The command table of this source tree (KEP_SOURCE_DIR of the test program).
std::string CommandTablePath(const std::string& sourceDir);
