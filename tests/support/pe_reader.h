// Reads the parts of a 32-bit Windows DLL that a host relies on: the file and
// machine type, the export and import names, and the resources (string table
// and version information).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct PeResource {
    uint32_t type = 0;     // numeric resource type (6 string table, 16 version)
    uint32_t name = 0;     // numeric resource id
    uint32_t language = 0; // such as 0x0409
    std::vector<uint8_t> data;
};

// One node of a version resource: key, text or binary value, children.
struct VersionNode {
    std::string key;
    bool isText = false;
    std::string text;            // for text values
    std::vector<uint8_t> binary; // for binary values
    std::vector<VersionNode> children;

    const VersionNode* Child(const std::string& childKey) const;
};

struct StringTableEntry {
    uint32_t id = 0;
    uint32_t language = 0;
    std::string text; // UTF-16 turned into UTF-8 (plain ASCII stays as it is)
};

class PeImage {
  public:
    // Throws std::runtime_error when the file is not a PE image it can read.
    explicit PeImage(const std::string& path);

    uint16_t Machine() const { return m_machine; }
    uint16_t Characteristics() const { return m_characteristics; }
    uint16_t OptionalHeaderMagic() const { return m_magic; } // 0x10b for PE32
    bool IsDll() const { return (m_characteristics & 0x2000) != 0; }

    const std::string& ExportModuleName() const { return m_exportModule; }
    const std::vector<std::string>& ExportNames() const { return m_exports; }
    const std::vector<std::string>& ImportedModules() const { return m_imports; }
    const std::vector<PeResource>& Resources() const { return m_resources; }

    // Every string of every RT_STRING bundle, with its string id.
    std::vector<StringTableEntry> StringTable() const;

  private:
    std::size_t OffsetOfRva(uint32_t rva) const;
    std::string TextAtRva(uint32_t rva) const;
    void ReadExports(uint32_t rva);
    void ReadImports(uint32_t rva);
    void ReadResourceDirectory(uint32_t base, uint32_t offset, int depth, PeResource path);

    struct Section {
        uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
    };
    std::vector<uint8_t> m_bytes;
    std::vector<Section> m_sections;
    uint16_t m_machine = 0;
    uint16_t m_characteristics = 0;
    uint16_t m_magic = 0;
    std::string m_exportModule;
    std::vector<std::string> m_exports;
    std::vector<std::string> m_imports;
    std::vector<PeResource> m_resources;
};

// Parses a VS_VERSIONINFO block; throws std::runtime_error when it is malformed.
VersionNode ParseVersionResource(const std::vector<uint8_t>& data);

// The 52-byte VS_FIXEDFILEINFO record at the root of a version resource.
struct FixedFileInfo {
    uint32_t signature, structVersion, fileVersionMS, fileVersionLS, productVersionMS,
        productVersionLS, flagsMask, flags, fileOS, fileType, fileSubtype, dateMS, dateLS;
};
FixedFileInfo ReadFixedFileInfo(const VersionNode& root);
