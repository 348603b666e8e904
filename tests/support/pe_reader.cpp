#include "pe_reader.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

using Bytes = std::vector<uint8_t>;

template <class T> T Read(const Bytes& bytes, std::size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T))
        throw std::runtime_error("structure runs past the end of the data");
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// A UTF-16 unit as text: the expected texts are plain ASCII, anything else shows up as DEL.
char Ascii(const Bytes& bytes, std::size_t offset) {
    const uint16_t unit = Read<uint16_t>(bytes, offset);
    return unit < 0x80 ? static_cast<char>(unit) : '\x7f';
}

// Bundle n of a string table holds strings (n - 1) * 16 + 0..15, each counted.
void ReadStrings(const Bytes& data, uint32_t bundle, std::map<uint32_t, std::string>& strings) {
    for (uint32_t index = 0, at = 0; index < 16; ++index) {
        std::string text;
        const std::size_t end = at + 2 + 2u * Read<uint16_t>(data, at);
        for (at += 2; at < end; at += 2)
            text += Ascii(data, at);
        if (!text.empty()) strings[(bundle - 1) * 16 + index] = text;
    }
}

struct File {
    Bytes bytes;
    std::vector<uint32_t> sections; // per section: address, raw size, raw offset

    std::size_t Offset(uint32_t rva) const {
        for (std::size_t s = 0; s < sections.size(); s += 3)
            if (rva >= sections[s] && rva - sections[s] < sections[s + 1])
                return sections[s + 2] + (rva - sections[s]);
        throw std::runtime_error("address outside the file's sections");
    }
    std::string Text(uint32_t rva) const {
        std::string text;
        for (std::size_t at = Offset(rva); Read<char>(bytes, at) != 0; ++at)
            text += Read<char>(bytes, at);
        return text;
    }
    // Resource tree levels: type, name, language; the leaves are data entries.
    void Resources(uint32_t base, uint32_t offset, int depth, uint32_t type, uint32_t name,
                   PeImage& image) const {
        const std::size_t dir = Offset(base + offset);
        const int entries = Read<uint16_t>(bytes, dir + 12) + Read<uint16_t>(bytes, dir + 14);
        for (int i = 0; i < entries; ++i) {
            const uint32_t id = Read<uint32_t>(bytes, dir + 16 + 8 * i);
            const uint32_t target = Read<uint32_t>(bytes, dir + 20 + 8 * i);
            if ((target & 0x80000000u) && depth < 2) {
                Resources(base, target & 0x7FFFFFFFu, depth + 1, depth == 0 ? id : type,
                          depth == 1 ? id : name, image);
                continue;
            }
            const std::size_t entry = Offset(base + target);
            const std::size_t from = Offset(Read<uint32_t>(bytes, entry));
            const uint32_t size = Read<uint32_t>(bytes, entry + 4);
            if (depth != 2 || from + size > bytes.size())
                throw std::runtime_error("bad resource entry");
            const Bytes data(bytes.begin() + from, bytes.begin() + from + size);
            image.languages.insert(id);
            if (type == 6) ReadStrings(data, name, image.strings);
        }
    }
};

} // namespace

PeImage::PeImage(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    File file{{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}, {}};
    const Bytes& bytes = file.bytes;
    const uint32_t pe = Read<uint32_t>(bytes, 0x3C), optional = pe + 24;
    if (Read<uint16_t>(bytes, 0) != 0x5A4D || Read<uint32_t>(bytes, pe) != 0x4550 ||
        Read<uint16_t>(bytes, optional) != 0x10B)
        throw std::runtime_error(path + " is not a PE32 image");
    machine = Read<uint16_t>(bytes, pe + 4);
    isDll = Read<uint16_t>(bytes, pe + 22) & 0x2000;
    const std::size_t sectionTable = optional + Read<uint16_t>(bytes, pe + 20);
    for (uint16_t i = 0; i < Read<uint16_t>(bytes, pe + 6); ++i)
        for (std::size_t field : {12, 16, 20}) // address, raw size, raw offset
            file.sections.push_back(Read<uint32_t>(bytes, sectionTable + 40u * i + field));
    const std::size_t directories = optional + 96; // export, import, resource, ...

    if (const uint32_t rva = Read<uint32_t>(bytes, directories)) {
        const std::size_t at = file.Offset(rva);
        const std::size_t names = file.Offset(Read<uint32_t>(bytes, at + 32));
        for (uint32_t i = 0; i < Read<uint32_t>(bytes, at + 24); ++i)
            exports.push_back(file.Text(Read<uint32_t>(bytes, names + 4 * i)));
    }
    if (const uint32_t rva = Read<uint32_t>(bytes, directories + 8))
        for (std::size_t at = file.Offset(rva); Read<uint32_t>(bytes, at + 12) != 0; at += 20)
            imports.push_back(file.Text(Read<uint32_t>(bytes, at + 12)));
    if (const uint32_t rva = Read<uint32_t>(bytes, directories + 16))
        file.Resources(rva, 0, 0, 0, 0, *this);
}
