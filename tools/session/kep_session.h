// How tools and tests get at maps: read with the plug-in's reader alone, no
// host involved; or loaded by the plug-in's own code, linked in and bound to
// the stand-in host, through the same entry points a script reaches ("LOAD
// KEP", "MAKE KEP FROM MEMBLOCK").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "map/kep_read.h"

namespace kepsession {

// What reading a map file gave: the map (null when the data is no map of a
// known version), whether it was read whole, and if not, why.
struct MapRead {
    KepPending<KEP_Map> map;
    bool complete = false;
    std::string message; // the script's error text, e.g. "EOF"
    std::string failure; // with its place: "mesh 12, surface 3: vertex data ends at ..."
    // What the read passed over without failing, in file order.
    KEP_Oddities oddities;
};
// Reads the file as "LOAD KEP" would, without building; `mediaIncluded` as
// "KEP MEDIA INCLUDED" sets it.
MapRead ReadMapFile(const std::string& path, bool mediaIncluded = false);
// The same for map bytes, as "MAKE KEP FROM MEMBLOCK" would.
MapRead ReadMapBytes(const std::vector<uint8_t>& bytes, bool mediaIncluded = false);

// Clears every map and setting of the plug-in and every record of the
// stand-in host, then starts the plug-in afresh, as a freshly loaded plug-in
// beside a freshly started host.
void Restart();

// Ends the plug-in as the host does when it closes: every map cleared.
void Stop();

// "LOAD KEP" of a file. On failure returns false and, when `error` is given,
// the plug-in's own error text.
bool LoadFile(const std::string& path, int32_t lightmapFlag, std::string* error = nullptr);

// Makes host memblock `memblock` holding the bytes (none when there are no
// bytes), then forgets the host calls that took, so that only the load's own
// calls are recorded afterwards.
bool PutInMemblock(int memblock, const std::vector<uint8_t>& bytes);

// "MAKE KEP FROM MEMBLOCK" of the bytes, put in memblock `memblock` first.
bool LoadBytes(const std::vector<uint8_t>& bytes, int32_t lightmapFlag, int memblock,
               std::string* error = nullptr);

// The plug-in's current map, null when none is loaded.
KEP_Map* CurrentMap();

// The plug-in's version text.
std::string PluginVersion();

} // namespace kepsession
