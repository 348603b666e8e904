// Group and visgroup sections.
#include "core/CError.h"
#include "map/kep_import.h"
#include "plugin/plugin_state.h"

void KEP_DoGroups(CFile& reader) {
    KEP_Map* map = g_plugin.currentMap;
    const int32_t count = reader.ReadInt();
    for (int32_t i = 0; i < count; ++i) {
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
        map->groups.Insert(group.get());
        KEP_Group* added = group.release();
        map->groupsByNumber.push_back(added);
        KEP_ParseProperties(text, added->properties);
    }

    // Parents are linked once every group is known, in list order, so each
    // child list holds its children from the last read to the first.
    for (int32_t i = 0; i < map->groups.Count(); ++i) {
        KEP_Group* group = map->groups.At(i);
        if (group->parentGroupNumber == 0) continue;
        KEP_Group* parent = KEP_FindGroup(group->parentGroupNumber);
        if (!parent) continue;
        group->parent = parent;
        parent->childGroups.Add(group);
    }
}

void KEP_DoVisGroups(CFile& reader) {
    KEP_Map* map = g_plugin.currentMap;
    const int32_t count = reader.ReadInt();
    for (int32_t i = 0; i < count; ++i) {
        KepPending<KEP_VisGroup> visGroup(KepNewRecord<KEP_VisGroup>("KEP_DoVisGroups"));
        reader.ReadString(visGroup->name);
        for (int32_t& value : visGroup->values)
            value = reader.ReadInt();
        KepHandOver(map->visGroups, visGroup);
    }
}
