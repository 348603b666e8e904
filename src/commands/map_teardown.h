// Taking a map apart: its records, strings and the host objects and images
// it created.
#pragma once

struct KEP_Map;

// Frees every record of `map` and the map record itself, deleting the host
// objects of its groups and the host images of its textures and lightmaps.
// Leaves the map list alone: the caller removes the map's node.
void KEP_FreeMap(KEP_Map* map);
