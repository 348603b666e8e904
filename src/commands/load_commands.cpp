// "LOAD KEP" and "MAKE KEP FROM MEMBLOCK": open a reader on the bytes, check
// the version, register a new map as current, read every section and build.
#include <cstdint>
#include <cstring>
#include <new>

#include "core/CError.h"
#include "core/CFile.h"
#include "host/host_functions.h"
#include "host/host_ranges.h"
#include "map/kep_import.h"
#include "map/load_context.h"
#include "plugin/exports.h"
#include "plugin/guard.h"
#include "plugin/plugin_state.h"

namespace {

const int32_t kMaxFileNameLength = 259;

enum class Source { File, Memblock };

// Directory part of a file name, separator kept; empty when the name has no
// separator or the prefix is shorter than two characters.
int32_t DirectoryPrefixLength(const char* fileName) {
    int32_t length = 0;
    for (int32_t i = 0; fileName[i]; ++i)
        if (fileName[i] == '/' || fileName[i] == '\\') length = i + 1;
    return length >= 2 ? length : 0;
}

// Steps from the version on, shared by both commands. Returns the result.
int32_t ReadMap(CFile& reader, Source source, const char* fileName, int32_t lightmapFlag) {
    int32_t version = 0;
    try {
        version = reader.ReadInt();
    } catch (const CError& error) {
        SetLastErrorText(error.message);
        g_plugin.lastLoadFailure = KepDescribeFailure(error);
        return 0;
    }
    if (version != 4 && version != 5) {
        SetLastError(KepMessage::UnsupportedVersion);
        return 0;
    }

    KEP_Map* map = KEP_NEW(KEP_Map, KEP_UNIT_MAP);
    g_plugin.currentMap = map;
    if (!map) {
        SetLastError(KepMessage::InsufficientMemory);
        return 0;
    }
    try {
        g_plugin.maps.Add(map);
    } catch (...) {
        KepDelete(map);
        g_plugin.currentMap = nullptr;
        SetLastError(KepMessage::InsufficientMemory);
        return 0;
    }
    map->mapNumber = g_plugin.mapNumberCounter;
    if (g_plugin.mapNumberCounter < INT32_MAX) ++g_plugin.mapNumberCounter;
    map->version = version;
    if (source == Source::File) {
        const int32_t prefix = DirectoryPrefixLength(fileName);
        std::memcpy(map->mapDirectory, fileName, static_cast<std::size_t>(prefix));
        map->mapDirectory[prefix] = '\0';
    }
    map->build.objectsBuilt = 0;

    const KEP_NumberSearchScope numberSearches(g_plugin.build.numbers);
    KEP_LoadContext load{reader, *map, g_plugin.settings, g_plugin.build};
    load.oddities = g_plugin.loadOddities;
    const auto releaseGeometry = [map] {
        if (!g_plugin.build.keepGeometry) KEP_ReleaseGeometry(map);
    };
    try {
        KEP_ReadSections(load);
        // Nothing reads the map's bytes any more.
        reader.ReleaseData();
        if (source == Source::File)
            KEP_ApplyAmbient(*map, g_plugin.settings.ambientColour, g_plugin.build.numbers);
        KEP_BuildGroups(*map, g_plugin.build, g_plugin.settings, lightmapFlag);
    } catch (const CError& error) {
        releaseGeometry();
        SetLastErrorText(error.message);
        g_plugin.lastLoadFailure = KepDescribeFailure(error);
        return 0;
    } catch (const std::bad_alloc&) { // the builder's own working lists
        releaseGeometry();
        SetLastError(KepMessage::RecordAllocation);
        return 0;
    }
    releaseGeometry();
    return 1;
}

} // namespace

KEP_EXPORT int32_t KEP_CDECL KEP_Load(const char* fileName, int32_t lightmapFlag) {
    CFile reader;
    ResetLastError();
    return Guarded<int32_t>(0, [&]() -> int32_t {
        const char* name = fileName ? fileName : "";
        const std::size_t length = std::strlen(name);
        if (length == 0 || length > kMaxFileNameLength || !reader.Open(name)) {
            SetLastError(KepMessage::UnableToLoadFile, name);
            return 0;
        }
        return ReadMap(reader, Source::File, name, lightmapFlag);
    });
}

KEP_EXPORT int32_t KEP_CDECL KEP_MakeKEPFromMemblock(int32_t memblock, int32_t lightmapFlag) {
    CFile reader;
    ResetLastError();
    return Guarded<int32_t>(0, [&]() -> int32_t {
        // The host ends the script when asked about a number it has no place for.
        if (!host::IsMemblockNumber(memblock) || !host::memblock::MemblockExist(memblock)) {
            SetLastError(KepMessage::InvalidMemblock, memblock);
            return 0;
        }
        const int32_t size = host::memblock::GetMemblockSize(memblock);
        const uint32_t address = host::memblock::GetMemblockPtr(memblock);
        if (size <= 0 || address == 0) {
            SetLastError(KepMessage::InvalidMemblock, memblock);
            return 0;
        }
        // The reader keeps a private copy: the memblock stays the caller's.
        // Without memory for it the load fails as any other part of the map
        // that cannot be held, not as a map without data.
        if (!reader.OpenMemory(reinterpret_cast<const void*>(static_cast<uintptr_t>(address)),
                               size)) {
            SetLastError(KepMessage::RecordAllocation);
            return 0;
        }
        return ReadMap(reader, Source::Memblock, "", lightmapFlag);
    });
}
