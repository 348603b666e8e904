// The floor a load can be measured against: read a KEP file and touch every
// value in it once, building nothing.
#pragma once

#include <cstdint>
#include <string>

namespace kepbench {

// Reads the file at `path` and walks every section; returns a checksum of all
// values so that no work can be left out, or 0 with `ok` false when the file
// cannot be read or is not a whole map.
uint64_t ParseOnly(const std::string& path, bool* ok);

} // namespace kepbench
