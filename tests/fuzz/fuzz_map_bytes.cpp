// Map bytes from the fuzzer through both loading commands, beside the sample
// map loaded before them; clearing every map must then leave the host empty.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"

namespace {

int OneInput(const uint8_t* data, std::size_t size) {
    const ScopedWorkingDir here(fuzz::Scratch().Path());
    fuzz::StartInput();
    if (LoadFromMemblock(fuzz::SampleMap()) != 1) std::abort();
    // Lightmaps built from the memblock; the file load builds without them.
    LoadFromMemblock(kepw::Bytes(data, data + size), 2);
    LoadFromFile("input.kep", kepw::Bytes(data, data + size));
    fuzz::ClearEveryMap();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return fuzz::Main(argc, argv, OneInput);
}
