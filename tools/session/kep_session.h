// The one way tools and tests load a map: the plug-in's own code, linked in,
// bound to the stand-in host, loading through the same entry points a script
// reaches ("LOAD KEP", "MAKE KEP FROM MEMBLOCK").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct KEP_Map;

namespace kepsession {

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

// Where and why the last failed LoadFile stopped, e.g. "mesh 12, surface 3:
// vertex data ends at byte 1048576 (needs 60 more)"; empty when the failure
// came before any reading (no such file, a foreign version).
std::string LastLoadFailure();

// What the last load (failed or not) read past without failing, one line each
// with its place, in file order, e.g. "mesh 3, surface 2, triangle 7: corner
// 2 names vertex 40 of 12".
std::vector<std::string> LastLoadOddities();

// The plug-in's current map, null when none is loaded.
KEP_Map* CurrentMap();

// The plug-in's version text.
std::string PluginVersion();

} // namespace kepsession
