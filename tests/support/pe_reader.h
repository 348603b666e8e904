// Reads what a host relies on in a 32-bit Windows DLL: its header, export and
// import names, string table and resource languages.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

struct PeImage {
    explicit PeImage(const std::string& path); // throws unless it is a PE32 image
    uint16_t machine = 0;
    bool isDll = false;
    std::vector<std::string> exports, imports;
    std::set<uint32_t> languages;            // of all resources
    std::map<uint32_t, std::string> strings; // string-table entries by id
};
