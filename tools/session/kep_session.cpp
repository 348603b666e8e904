#include "kep_session.h"

#include <cstring>
#include <new>

#include "core/CFile.h"
#include "host/host_functions.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "simhost/simhost.h"

namespace kepsession {
namespace {

bool Finish(int32_t result, std::string* error) {
    if (!result && error) *error = g_plugin.lastErrorText.CStr();
    return result != 0;
}

MapRead Read(CFile& reader, const std::string& path, bool mediaIncluded) {
    MapRead result;
    KEP_ReadOptions options;
    options.mediaIncluded = mediaIncluded;
    options.oddities = &result.oddities;
    try {
        const int32_t version = KEP_ReadVersion(reader);
        result.map.reset(KepNewRecord<KEP_Map>("kepsession::Read"));
        result.map->version = version;
        KEP_SetMapDirectory(*result.map, path.c_str());
        KEP_ReadContext read{reader, *result.map, options};
        KEP_ReadSections(read);
        result.complete = true;
    } catch (const CError& error) {
        result.message = error.message;
        // A foreign version has no place in a map to name.
        result.failure = error.kind == CErrorKind::Unsupported ? std::string(error.message)
                                                               : KepDescribeFailure(error);
    }
    return result;
}

} // namespace

MapRead ReadMapFile(const std::string& path, bool mediaIncluded) {
    CFile reader;
    if (path.size() >= sizeof KEP_Map::mapDirectory || !reader.Open(path.c_str())) {
        MapRead result;
        result.message = result.failure = "Unable to load the file " + path;
        return result;
    }
    return Read(reader, path, mediaIncluded);
}

MapRead ReadMapBytes(const std::vector<uint8_t>& bytes, bool mediaIncluded) {
    CFile reader;
    if (bytes.empty() || !reader.OpenMemory(bytes.data(), static_cast<int32_t>(bytes.size()))) {
        MapRead result;
        result.message = result.failure = "no map bytes";
        return result;
    }
    return Read(reader, "", mediaIncluded);
}

void Restart() {
    Destructor();
    // Every setting, counter and builder state back to what a freshly loaded
    // plug-in has (the maps are gone with the destructor).
    g_plugin.~PluginState();
    new (&g_plugin) PluginState();
    Constructor();
    simhost::Reset();
}

void Stop() {
    Destructor();
    simhost::ReleaseHostStrings();
}

bool LoadFile(const std::string& path, int32_t lightmapFlag, std::string* error) {
    simhost::ClearCalls();
    return Finish(KEP_Load(path.c_str(), lightmapFlag), error);
}

bool PutInMemblock(int memblock, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return true;
    // The host makes no memblock under a number in use, as a script learns.
    if (host::memblock::MemblockExist(memblock)) host::memblock::DeleteMemblock(memblock);
    host::memblock::MakeMemblock(memblock, static_cast<int>(bytes.size()));
    const uint32_t address = host::memblock::GetMemblockPtr(memblock);
    if (address == 0 || host::memblock::GetMemblockSize(memblock) != static_cast<int>(bytes.size()))
        return false;
    std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), bytes.data(),
                bytes.size());
    simhost::ClearCalls();
    return true;
}

bool LoadBytes(const std::vector<uint8_t>& bytes, int32_t lightmapFlag, int memblock,
               std::string* error) {
    if (!PutInMemblock(memblock, bytes)) {
        if (error) *error = "the host made no memblock of that size";
        return false;
    }
    return Finish(KEP_MakeKEPFromMemblock(memblock, lightmapFlag), error);
}

KEP_Map* CurrentMap() {
    return g_plugin.currentMap;
}

std::string PluginVersion() {
    char* text = KEP_Version(nullptr);
    std::string version = text ? text : "";
    simhost::ReleaseHostStrings();
    return version;
}

} // namespace kepsession
