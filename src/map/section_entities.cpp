// Entity section: positions with the map offset, the pivot list, group pivot
// entities and the AMBIENT colour.
#include <cstdint>

#include "map/kep_read.h"

namespace {

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

uint32_t KEP_ParseAmbient(const std::string& value) {
    // Reads like "%d %d %d" would, but keeps only the low 8 bits of each
    // number as it goes, so no value is ever out of range.
    uint32_t components[3] = {0, 0, 0};
    std::size_t at = 0;
    for (uint32_t& component : components) {
        while (at < value.size() && IsSpace(value[at]))
            ++at;
        bool negative = false;
        if (at < value.size() && (value[at] == '-' || value[at] == '+'))
            negative = value[at++] == '-';
        if (at >= value.size() || value[at] < '0' || value[at] > '9') break;
        uint32_t low = 0;
        while (at < value.size() && value[at] >= '0' && value[at] <= '9')
            low = (low * 10 + static_cast<uint32_t>(value[at++] - '0')) & 0xFFu;
        component = negative ? (256u - low) & 0xFFu : low;
    }
    return components[0] << 16 | components[1] << 8 | components[2];
}

void KEP_DoEntities(KEP_ReadContext& read) {
    CFile& reader = read.reader;
    KEP_Map* map = &read.map;
    KepForEachRecord(read, "entity", [&](int32_t) {
        KepPending<KEP_Entity> entity(KepNewRecord<KEP_Entity>("KEP_DoEntities"));
        const int32_t visGroup = reader.ReadInt();
        if (visGroup > 0) entity->visGroup = map->visGroups.At(visGroup - 1);
        if (read.options.oddities && visGroup != 0 && !entity->visGroup)
            KEP_NoteOddity(read, "", "visgroup number " + std::to_string(visGroup) + " names none");
        entity->group = KEP_FindGroup(*map, reader.ReadInt());
        Cstring text;
        reader.ReadString(text);
        for (int axis = 0; axis < 3; ++axis)
            entity->position[axis] = reader.ReadFloat() + read.options.mapOffset[axis];
        KEP_Entity* added = KepHandOver(map->entities, entity);
        KEP_BarePropertyLines bareLines{read};
        KEP_ParseProperties(text, added->properties,
                            [&](const std::string& key, const std::string& value, bool hasEquals) {
                                bareLines(key, value, hasEquals);
                                const std::string upperKey = KEP_UpperCase(key);
                                if (upperKey == "CLASSNAME") {
                                    if (KEP_UpperCase(value) != "PIVOT") return;
                                    map->pivots.Add(added);
                                    if (added->group) added->group->pivotEntity = added;
                                } else if (upperKey == "AMBIENT") {
                                    map->hasAmbient = true;
                                    map->ambientColour = KEP_ParseAmbient(value);
                                }
                            });
    });
}
