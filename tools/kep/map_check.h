// `kep check`: reads a map as a script's load would, with no host at all, and
// reports, with its place, the fault that stopped the read, or else every
// oddity the reader tolerated.
#pragma once

#include <string>
#include <vector>

namespace kep {

struct Finding {
    bool fatal = false;
    std::string text; // "mesh 12, surface 3: vertex data ends at byte 1048576 (needs 60 more)"
};

// The fatal fault alone when the read fails (nothing else is known then),
// else every warning. Records are numbered from 1, as in the fault's place.
std::vector<Finding> CheckMap(const std::string& path);

// 0 when there is no finding, 1 with warnings only, 2 with a fatal fault.
int CheckExitCode(const std::vector<Finding>& findings);

} // namespace kep
