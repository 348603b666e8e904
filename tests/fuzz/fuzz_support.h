// What both fuzz targets share. Each input does one cheap thing and leaves
// finding faults to the sanitizers and to the checks the tests run after every
// load (load_helpers.h). The whole fuzz run is one test, so those checks have
// a test to report to, and their first failure crashes the input.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kep_writer.h"
#include "load_helpers.h"

namespace fuzz {

// A target's main: libFuzzer with its usual options, each input to `one`.
int Main(int argc, char** argv, int (*one)(const uint8_t* data, std::size_t size));

// Once per process a scratch directory holding the sample map and its
// textures (small ones); each input runs in it (a memblock map finds its textures there)
// with a fresh plug-in and host.
const TempDir& Scratch();
void StartInput();

// The sample map's bytes, a small valid map that uses every section.
const kepw::Bytes& SampleMap();

// Clears every map; the host must then hold nothing the plug-in made.
void ClearEveryMap();

} // namespace fuzz
