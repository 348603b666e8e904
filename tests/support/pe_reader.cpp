#include "pe_reader.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

constexpr uint32_t kResourceTypeString = 6;

template <class T> T Read(const std::vector<uint8_t>& bytes, std::size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T))
        throw std::runtime_error("PE structure runs past the end of the data");
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// UTF-16 code units to UTF-8; surrogates are kept as single units, which is
// enough to make any unexpected character visible in a comparison.
std::string Utf16ToUtf8(const std::vector<uint8_t>& bytes, std::size_t offset, std::size_t units) {
    std::string out;
    for (std::size_t i = 0; i < units; ++i)
        AppendUtf8(out, Read<uint16_t>(bytes, offset + 2 * i));
    return out;
}

std::size_t Align4(std::size_t offset) {
    return (offset + 3) & ~static_cast<std::size_t>(3);
}

// One node of a version resource starting at `offset`; returns its end.
std::size_t ParseVersionNode(const std::vector<uint8_t>& data, std::size_t offset,
                             VersionNode& node) {
    const uint16_t length = Read<uint16_t>(data, offset);
    const uint16_t valueLength = Read<uint16_t>(data, offset + 2);
    const uint16_t type = Read<uint16_t>(data, offset + 4);
    const std::size_t end = offset + length;
    if (length < 6 || end > data.size()) throw std::runtime_error("bad version node length");

    std::size_t at = offset + 6;
    std::size_t keyUnits = 0;
    while (Read<uint16_t>(data, at + 2 * keyUnits) != 0)
        ++keyUnits;
    node.key = Utf16ToUtf8(data, at, keyUnits);
    at = Align4(at + 2 * (keyUnits + 1));

    node.isText = type == 1;
    if (valueLength > 0) {
        if (node.isText) {
            // Counted in UTF-16 units, terminator included.
            std::size_t units = valueLength;
            while (units > 0 && Read<uint16_t>(data, at + 2 * (units - 1)) == 0)
                --units;
            node.text = Utf16ToUtf8(data, at, units);
            at += 2 * valueLength;
        } else {
            if (at + valueLength > end) throw std::runtime_error("version value past its node");
            node.binary.assign(data.begin() + static_cast<std::ptrdiff_t>(at),
                               data.begin() + static_cast<std::ptrdiff_t>(at + valueLength));
            at += valueLength;
        }
    }
    for (at = Align4(at); at < end; at = Align4(at)) {
        VersionNode child;
        at = ParseVersionNode(data, at, child);
        node.children.push_back(std::move(child));
    }
    return end;
}

} // namespace

const VersionNode* VersionNode::Child(const std::string& childKey) const {
    for (const VersionNode& child : children)
        if (child.key == childKey) return &child;
    return nullptr;
}

VersionNode ParseVersionResource(const std::vector<uint8_t>& data) {
    VersionNode root;
    ParseVersionNode(data, 0, root);
    return root;
}

FixedFileInfo ReadFixedFileInfo(const VersionNode& root) {
    if (root.binary.size() != sizeof(FixedFileInfo))
        throw std::runtime_error("version resource has no fixed file information");
    return Read<FixedFileInfo>(root.binary, 0);
}

PeImage::PeImage(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    m_bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());

    if (Read<uint16_t>(m_bytes, 0) != 0x5A4D) throw std::runtime_error("no MZ header");
    const uint32_t pe = Read<uint32_t>(m_bytes, 0x3C);
    if (Read<uint32_t>(m_bytes, pe) != 0x00004550) throw std::runtime_error("no PE signature");
    const std::size_t coff = pe + 4;
    m_machine = Read<uint16_t>(m_bytes, coff);
    const uint16_t sectionCount = Read<uint16_t>(m_bytes, coff + 2);
    const uint16_t optionalSize = Read<uint16_t>(m_bytes, coff + 16);
    m_characteristics = Read<uint16_t>(m_bytes, coff + 18);

    const std::size_t optional = coff + 20;
    m_magic = Read<uint16_t>(m_bytes, optional);
    if (m_magic != 0x10B) throw std::runtime_error("not a PE32 image");
    const uint32_t directoryCount = Read<uint32_t>(m_bytes, optional + 92);
    auto directoryRva = [&](uint32_t index) {
        return index < directoryCount ? Read<uint32_t>(m_bytes, optional + 96 + 8 * index) : 0u;
    };

    const std::size_t sections = optional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        const std::size_t at = sections + 40u * i;
        m_sections.push_back({Read<uint32_t>(m_bytes, at + 12), Read<uint32_t>(m_bytes, at + 8),
                              Read<uint32_t>(m_bytes, at + 20), Read<uint32_t>(m_bytes, at + 16)});
    }

    if (uint32_t rva = directoryRva(0)) ReadExports(rva);
    if (uint32_t rva = directoryRva(1)) ReadImports(rva);
    if (uint32_t rva = directoryRva(2)) ReadResourceDirectory(rva, 0, 0, PeResource{});
}

std::size_t PeImage::OffsetOfRva(uint32_t rva) const {
    for (const Section& s : m_sections) {
        const uint32_t span = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
        if (rva >= s.virtualAddress && rva - s.virtualAddress < span) {
            if (rva - s.virtualAddress >= s.rawSize)
                throw std::runtime_error("address lies in a section's uninitialised part");
            return s.rawOffset + (rva - s.virtualAddress);
        }
    }
    throw std::runtime_error("address outside every section");
}

std::string PeImage::TextAtRva(uint32_t rva) const {
    const std::size_t offset = OffsetOfRva(rva);
    const void* end = std::memchr(m_bytes.data() + offset, 0, m_bytes.size() - offset);
    if (!end) throw std::runtime_error("unterminated name");
    return std::string(reinterpret_cast<const char*>(m_bytes.data() + offset),
                       static_cast<const char*>(end));
}

void PeImage::ReadExports(uint32_t rva) {
    const std::size_t at = OffsetOfRva(rva);
    m_exportModule = TextAtRva(Read<uint32_t>(m_bytes, at + 12));
    const uint32_t nameCount = Read<uint32_t>(m_bytes, at + 24);
    const std::size_t names = OffsetOfRva(Read<uint32_t>(m_bytes, at + 32));
    for (uint32_t i = 0; i < nameCount; ++i)
        m_exports.push_back(TextAtRva(Read<uint32_t>(m_bytes, names + 4u * i)));
}

void PeImage::ReadImports(uint32_t rva) {
    for (std::size_t at = OffsetOfRva(rva);; at += 20) {
        const uint32_t nameRva = Read<uint32_t>(m_bytes, at + 12);
        if (nameRva == 0) break;
        m_imports.push_back(TextAtRva(nameRva));
    }
}

// Resource tree: type, then name, then language; the leaves are data entries.
void PeImage::ReadResourceDirectory(uint32_t base, uint32_t offset, int depth, PeResource path) {
    if (depth > 2) throw std::runtime_error("resource tree deeper than type/name/language");
    const std::size_t directory = OffsetOfRva(base + offset);
    const uint16_t named = Read<uint16_t>(m_bytes, directory + 12);
    const uint16_t numbered = Read<uint16_t>(m_bytes, directory + 14);
    for (uint32_t i = 0; i < static_cast<uint32_t>(named) + numbered; ++i) {
        const std::size_t entry = directory + 16 + 8u * i;
        const uint32_t id = Read<uint32_t>(m_bytes, entry);
        const uint32_t target = Read<uint32_t>(m_bytes, entry + 4);
        PeResource next = path;
        // Named entries get an id no numeric resource can have, so they show up.
        const uint32_t key = (id & 0x80000000u) ? 0xFFFFFFFFu : id;
        if (depth == 0) next.type = key;
        if (depth == 1) next.name = key;
        if (depth == 2) next.language = key;
        if (target & 0x80000000u) {
            ReadResourceDirectory(base, target & 0x7FFFFFFFu, depth + 1, next);
        } else {
            if (depth != 2) throw std::runtime_error("resource data above the language level");
            const std::size_t dataEntry = OffsetOfRva(base + target);
            const uint32_t dataRva = Read<uint32_t>(m_bytes, dataEntry);
            const uint32_t size = Read<uint32_t>(m_bytes, dataEntry + 4);
            const std::size_t from = OffsetOfRva(dataRva);
            if (from + size > m_bytes.size()) throw std::runtime_error("resource past the end");
            next.data.assign(m_bytes.begin() + static_cast<std::ptrdiff_t>(from),
                             m_bytes.begin() + static_cast<std::ptrdiff_t>(from + size));
            m_resources.push_back(std::move(next));
        }
    }
}

std::vector<StringTableEntry> PeImage::StringTable() const {
    std::vector<StringTableEntry> entries;
    for (const PeResource& bundle : m_resources) {
        if (bundle.type != kResourceTypeString) continue;
        if (bundle.name == 0 || bundle.name == 0xFFFFFFFFu)
            throw std::runtime_error("string bundle without a numeric id");
        std::size_t at = 0;
        for (uint32_t index = 0; index < 16; ++index) {
            const uint16_t units = Read<uint16_t>(bundle.data, at);
            at += 2;
            if (units > 0)
                entries.push_back({(bundle.name - 1) * 16 + index, bundle.language,
                                   Utf16ToUtf8(bundle.data, at, units)});
            at += 2u * units;
        }
    }
    return entries;
}
