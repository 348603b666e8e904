// Map bytes from the fuzzer through both loading commands, beside a map loaded
// before them that must answer every query exactly as before whenever a load
// fails; then every query over edge indices, pivot moves and texture changes
// on every map, and clearing them all must leave the host as it was.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "simhost/scene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace fuzz;
    const ScratchInput scratch;
    const std::vector<uint8_t>& earlier = SmallMaps()[4]; // version 5, every section
    if (LoadFromMemblock(earlier.data(), earlier.size(), 2) != 1) Fail("the earlier map failed");

    // The file load builds lightmaps and adds the ambient colour; the
    // memblock load builds without them.
    for (const bool fromFile : {true, false}) {
        const std::vector<int> objects = simhost::ObjectNumbers();
        const Answers before = AnswersOfEveryMap(objects);
        const int32_t loaded =
            fromFile ? LoadFromFile(data, size, 2) : LoadFromMemblock(data, size, 0);
        CheckHostOperations(fromFile ? "LOAD KEP" : "MAKE KEP FROM MEMBLOCK");
        if (loaded == 0)
            CheckMapsUnchanged(before, objects,
                               fromFile ? "a failed LOAD KEP" : "a failed MAKE KEP FROM MEMBLOCK");
    }
    AnswersOfEveryMap(simhost::ObjectNumbers());
    ChangeEveryMap();
    CheckHostOperations("changes");
    ClearEveryMapAndCheckHost();
    return 0;
}
