// Map bytes from the fuzzer through both loading commands, beside a map loaded
// before them that a failed load must leave as it was; clearing every map must
// then leave the host as it was.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace fuzz;
    const ScratchInput scratch;
    const std::vector<uint8_t>& earlier = SmallMaps()[5]; // version 5, one mesh
    if (LoadBytes(earlier.data(), earlier.size(), false, 2) != 1) Fail("the earlier map failed");
    // The file load builds lightmaps and adds the ambient colour; the memblock
    // load builds without them.
    LoadBytes(data, size, true, 2);
    LoadBytes(data, size, false, 0);
    ClearEveryMapAndCheckHost();
    return 0;
}
