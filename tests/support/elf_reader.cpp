#include "elf_reader.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <class T> T At(const std::vector<uint8_t>& bytes, std::size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T))
        throw std::runtime_error("ELF structure runs past the end of the file");
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

std::string NameAt(const std::vector<uint8_t>& bytes, std::size_t tableOffset,
                   std::size_t tableSize, std::size_t index) {
    if (index >= tableSize || tableOffset + tableSize > bytes.size())
        throw std::runtime_error("symbol name outside its string table");
    const char* start = reinterpret_cast<const char*>(bytes.data() + tableOffset + index);
    const void* end = std::memchr(start, 0, tableSize - index);
    if (!end) throw std::runtime_error("unterminated symbol name");
    return std::string(start, static_cast<const char*>(end));
}

} // namespace

ElfDynamicInfo ReadElfDynamicInfo(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    if (bytes.size() < EI_NIDENT || std::memcmp(bytes.data(), ELFMAG, SELFMAG) != 0)
        throw std::runtime_error(path + " is not an ELF file");
    if (bytes[EI_DATA] != ELFDATA2LSB) throw std::runtime_error(path + " is not little-endian");

    ElfDynamicInfo info;
    info.is32Bit = bytes[EI_CLASS] == ELFCLASS32;
    if (!info.is32Bit) throw std::runtime_error(path + " is not a 32-bit ELF file");

    const auto header = At<Elf32_Ehdr>(bytes, 0);
    info.machine = header.e_machine;
    info.fileType = header.e_type;
    if (header.e_shentsize != sizeof(Elf32_Shdr))
        throw std::runtime_error("unexpected section header size");

    auto section = [&](std::size_t index) {
        return At<Elf32_Shdr>(bytes, header.e_shoff + index * sizeof(Elf32_Shdr));
    };
    bool found = false;
    for (std::size_t i = 0; i < header.e_shnum; ++i) {
        const Elf32_Shdr symbols = section(i);
        if (symbols.sh_type != SHT_DYNSYM) continue;
        found = true;
        const Elf32_Shdr names = section(symbols.sh_link);
        const std::size_t count = symbols.sh_size / sizeof(Elf32_Sym);
        for (std::size_t s = 1; s < count; ++s) { // entry 0 is the null symbol
            const auto symbol = At<Elf32_Sym>(bytes, symbols.sh_offset + s * sizeof(Elf32_Sym));
            if (symbol.st_shndx == SHN_UNDEF) continue;
            if (ELF32_ST_TYPE(symbol.st_info) == STT_SECTION) continue;
            info.definedSymbols.push_back(
                NameAt(bytes, names.sh_offset, names.sh_size, symbol.st_name));
        }
    }
    if (!found) throw std::runtime_error(path + " has no dynamic symbol table");
    return info;
}
