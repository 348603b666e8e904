// Small valid maps that together use every section of both versions: the
// fuzz targets' seed corpus and the maps the command target loads.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "kep_writer.h"

namespace fuzz {

// Texture files the maps name; they must exist beside a map for it to load.
const std::vector<std::string>& SeedTextureNames();
// Named maps ("v5_full", ...), each loadable with every lightmap flag.
std::vector<std::pair<std::string, kepw::Map>> SeedMaps();

} // namespace fuzz
