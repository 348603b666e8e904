// Reads what a dynamic linker sees of an ELF shared object: its class,
// machine and the symbols its dynamic symbol table defines (nm -D --defined-only).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ElfDynamicInfo {
    bool is32Bit = false;
    uint16_t machine = 0;  // 3 for i386
    uint16_t fileType = 0; // 3 for a shared object
    std::vector<std::string> definedSymbols;
};

// Throws std::runtime_error when the file is not a readable little-endian ELF
// file with a dynamic symbol table.
ElfDynamicInfo ReadElfDynamicInfo(const std::string& path);
