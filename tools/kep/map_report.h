// What `kep info` tells about a loaded map, gathered once as a JSON document
// and printed either as that document or as readable tables.
#pragma once

#include <cstdio>

#include <nlohmann/json.hpp>

struct KEP_Map;

namespace kep {

// The current map as the plug-in read it and the stand-in host built it:
// version, counts, groups, meshes, textures, lightmaps and entities, and what
// the host holds (objects, limbs, vertices).
nlohmann::ordered_json DescribeMap(const KEP_Map& map);

// The same document as tables, one per kind of record.
void PrintMapTables(const nlohmann::ordered_json& report, std::FILE* out);

} // namespace kep
