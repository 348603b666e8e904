// "LOAD KEP" and "MAKE KEP FROM MEMBLOCK": open a reader on the bytes, check
// the version, register a new map as current, read it whole, then build it.
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>

#include "build/kep_build.h"
#include "core/CError.h"
#include "core/CFile.h"
#include "host/host_functions.h"
#include "host/host_ranges.h"
#include "map/kep_read.h"
#include "plugin/exports.h"
#include "plugin/guard.h"
#include "plugin/plugin_state.h"

namespace {

const int32_t kMaxFileNameLength = 259;

enum class Source { File, Memblock };

// A new, empty map, registered and current from now on, whatever follows.
KEP_Map* NewCurrentMap(int32_t version, Source source, const char* fileName) {
    KEP_Map* map = KEP_NEW(KEP_Map, KEP_UNIT_MAP);
    g_plugin.currentMap = map;
    if (!map) KEP_FAIL(OutOfMemory, InsufficientMemory, "KEP_Load", KEP_UNIT_MAP);
    try {
        g_plugin.maps.Add(map);
    } catch (const std::bad_alloc&) {
        KepDelete(map);
        g_plugin.currentMap = nullptr;
        KEP_FAIL(OutOfMemory, InsufficientMemory, "KEP_Load", KEP_UNIT_MAP);
    }
    map->mapNumber = g_plugin.mapNumberCounter;
    if (g_plugin.mapNumberCounter < INT32_MAX) ++g_plugin.mapNumberCounter;
    map->version = version;
    if (source == Source::File) KEP_SetMapDirectory(*map, fileName);
    return map;
}

// The bulk of a map (geometry, pixels) goes once the load is over, built or not.
struct BuildInputRelease {
    KEP_Map* map;
    ~BuildInputRelease() { KEP_ReleaseBuildInput(map); }
};

// Reads the whole map, then builds it. A map that fails to read stays loaded
// and current with every record read before the failure, and gets the images
// of the lightmaps and textures among them, as if each had been made when it
// was read; the read's failure is then reported and no object is built.
void LoadMap(CFile& reader, Source source, const char* fileName, int32_t lightmapFlag) {
    const int32_t version = KEP_ReadVersion(reader);
    KEP_Map* map = NewCurrentMap(version, source, fileName);
    const BuildInputRelease release{map};
    KEP_LoadSettings& settings = g_plugin.settings;

    KEP_ReadOptions readOptions;
    std::memcpy(readOptions.mapOffset, settings.mapOffset, sizeof readOptions.mapOffset);
    readOptions.mediaIncluded = settings.mediaIncluded != 0;
    KEP_ReadContext read{reader, *map, readOptions};
    std::optional<CError> readFailure;
    try {
        KEP_ReadSections(read);
    } catch (const CError& error) {
        readFailure.emplace(error);
    }
    reader.ReleaseData(); // nothing reads the map's bytes any more

    KEP_BuildOptions options;
    options.initialObject = settings.initialObject;
    options.initialImage = settings.initialImage;
    std::memcpy(options.mapOffset, settings.mapOffset, sizeof options.mapOffset);
    options.lightmapFlag = lightmapFlag;
    options.applyAmbient = source == Source::File && !readFailure;
    options.ambientColour = map->hasAmbient ? map->ambientColour : settings.ambientColour;
    const KEP_NumberSearchScope numberSearches(g_plugin.build.numbers);
    KEP_BuildImages(*map, g_plugin.build.numbers, options);
    // An image the host did not make stops the load where a reader making
    // each image as it went would have stopped, before any entity was read:
    // only a map whose images all came to be sets the ambient colour.
    if (map->hasAmbient) settings.ambientColour = map->ambientColour;
    if (readFailure) throw *readFailure;
    KEP_BuildGroups(*map, g_plugin.build, options);
}

// The one place a load's failure becomes the script's result and error text.
template <class Load> int32_t RunLoad(Load load) {
    ResetLastError();
    return Guarded<int32_t>(0, [&]() -> int32_t {
        try {
            load();
            return 1;
        } catch (const CError& error) {
            SetLastErrorText(error.message);
        } catch (const std::bad_alloc&) { // the builder's own working lists
            SetLastError(KepMessage::RecordAllocation);
        }
        return 0;
    });
}

} // namespace

KEP_EXPORT int32_t KEP_CDECL KEP_Load(const char* fileName, int32_t lightmapFlag) {
    CFile reader;
    return RunLoad([&] {
        const char* name = fileName ? fileName : "";
        const std::size_t length = std::strlen(name);
        if (length == 0 || length > kMaxFileNameLength || !reader.Open(name))
            KEP_FAIL(BadSource, UnableToLoadFile, "KEP_Load", KEP_UNIT_MAP, name);
        LoadMap(reader, Source::File, name, lightmapFlag);
    });
}

KEP_EXPORT int32_t KEP_CDECL KEP_MakeKEPFromMemblock(int32_t memblock, int32_t lightmapFlag) {
    CFile reader;
    return RunLoad([&] {
        // The host ends the script when asked about a number it has no place for.
        if (!host::IsMemblockNumber(memblock) || !host::memblock::MemblockExist(memblock))
            KEP_FAIL(BadSource, InvalidMemblock, "KEP_MakeKEPFromMemblock", KEP_UNIT_MAP, memblock);
        const int32_t size = host::memblock::GetMemblockSize(memblock);
        const uint32_t address = host::memblock::GetMemblockPtr(memblock);
        if (size <= 0 || address == 0)
            KEP_FAIL(BadSource, InvalidMemblock, "KEP_MakeKEPFromMemblock", KEP_UNIT_MAP, memblock);
        // The reader keeps a private copy: the memblock stays the caller's.
        // Without memory for it the load fails as any other part of the map
        // that cannot be held, not as a map without data.
        if (!reader.OpenMemory(reinterpret_cast<const void*>(static_cast<uintptr_t>(address)),
                               size))
            KEP_FAIL(OutOfMemory, RecordAllocation, "KEP_MakeKEPFromMemblock", KEP_UNIT_MAP);
        LoadMap(reader, Source::Memblock, "", lightmapFlag);
    });
}
