// What a map made in the host goes when the map goes. The records free
// themselves: the map list owns each map, and each record what it holds.
#pragma once

struct KEP_Map;
struct KEP_NumberSearches;

// Deletes the host objects of the map's groups, then the host images of its
// textures and lightmaps (each image once), through the helpers that keep
// the free-number searches right.
void KEP_DeleteHostMedia(const KEP_Map* map, KEP_NumberSearches& searches);
