#include "map_check.h"

#include <algorithm>
#include <set>

#include "kep_session.h"
#include "map/kep_model.h"

namespace kep {
namespace {

// Groups whose parent numbers name no group, and parent chains that come
// back to where they started (reported once per cycle, at its lowest group).
void GroupFindings(const KEP_Map& map, std::vector<Finding>* out) {
    const auto& groups = map.groupsByNumber;
    const int32_t count = static_cast<int32_t>(groups.size());
    auto parentOf = [&](const KEP_Group* group) -> const KEP_Group* {
        const int32_t parent = group->parentGroupNumber;
        return parent >= 1 && parent <= count ? groups[parent - 1] : nullptr;
    };
    std::set<int32_t> reported;
    for (const KEP_Group* group : groups) {
        const std::string place = "group " + std::to_string(group->groupNumber);
        if (group->parentGroupNumber != 0 && !parentOf(group))
            out->push_back({false, place + ": parent group number " +
                                       std::to_string(group->parentGroupNumber) +
                                       " names no group"});
        std::set<const KEP_Group*> seen;
        const KEP_Group* at = parentOf(group);
        while (at && at != group && seen.insert(at).second)
            at = parentOf(at);
        if (at != group) continue;
        int32_t lowest = group->groupNumber;
        for (const KEP_Group* g = parentOf(group); g != group; g = parentOf(g))
            lowest = std::min(lowest, g->groupNumber);
        if (reported.insert(lowest).second)
            out->push_back({false, "group " + std::to_string(lowest) +
                                       ": its parents lead back to it (a parent cycle)"});
    }
}

// What the whole map shows (group links), then what the readers met on the
// way, in file order.
std::vector<Finding> Warnings(const KEP_Map& map, const KEP_Oddities& oddities) {
    std::vector<Finding> out;
    GroupFindings(map, &out);
    for (const std::string& oddity : oddities)
        out.push_back({false, oddity});
    return out;
}

} // namespace

std::vector<Finding> CheckMap(const std::string& path) {
    const kepsession::MapRead read = kepsession::ReadMapFile(path);
    if (!read.complete) return {{true, read.failure}};
    return Warnings(*read.map, read.oddities);
}

int CheckExitCode(const std::vector<Finding>& findings) {
    if (findings.empty()) return 0;
    return std::any_of(findings.begin(), findings.end(), [](const Finding& f) { return f.fatal; })
               ? 2
               : 1;
}

} // namespace kep
