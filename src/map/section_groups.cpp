// Group and visgroup sections.
#include "core/CError.h"
#include "map/kep_read.h"

void KEP_DoGroups(KEP_ReadContext& read) {
    CFile& reader = read.reader;
    KEP_Map* map = &read.map;
    KepForEachRecord(read, "group", [&](int32_t i) {
        KepPending<KEP_Group> group(KepNewRecord<KEP_Group>("KEP_DoGroups"));
        group->groupNumber = i + 1;
        group->flags = reader.ReadInt();
        group->parentGroupNumber = reader.ReadInt();
        Cstring text;
        reader.ReadString(text);
        for (int32_t& value : group->values)
            value = reader.ReadInt();
        // Each group goes before the head: the list runs from the last read to
        // the first, and group n stands at position count - n.
        // Number and list grow together: the index never misses a group (the
        // room for its number is taken first, doubling, so adding it cannot fail).
        auto& numbers = map->groupsByNumber;
        if (numbers.size() == numbers.capacity()) numbers.reserve(2 * numbers.size() + 8);
        map->groups.PushFront(group.get());
        KEP_Group* added = group.release();
        map->groupsByNumber.push_back(added);
        KEP_ParseProperties(text, added->properties, KEP_BarePropertyLines{read});
    });

    // Parents are linked once every group is known, in list order, so each
    // child list holds its children from the last read to the first.
    for (int32_t i = 0; i < map->groups.Count(); ++i) {
        KEP_Group* group = map->groups.At(i);
        if (group->parentGroupNumber == 0) continue;
        KEP_Group* parent = KEP_FindGroup(*map, group->parentGroupNumber);
        if (!parent) continue;
        group->parent = parent;
        parent->childGroups.Add(group);
    }
}

void KEP_DoVisGroups(KEP_ReadContext& read) {
    CFile& reader = read.reader;
    KEP_Map* map = &read.map;
    KepForEachRecord(read, "visgroup", [&](int32_t) {
        KepPending<KEP_VisGroup> visGroup(KepNewRecord<KEP_VisGroup>("KEP_DoVisGroups"));
        reader.ReadString(visGroup->name);
        for (int32_t& value : visGroup->values)
            value = reader.ReadInt();
        KepHandOver(map->visGroups, visGroup);
    });
}
