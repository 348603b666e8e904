// The sections of a map after its version, in file order.
#include <new>

#include "core/CError.h"
#include "map/kep_import.h"

void KEP_ReadSections(KEP_LoadContext& load) {
    try {
        KEP_DoGroups(load);
        // The default group heads the list: group number 0 in the file finds
        // it from now on.
        load.place = {"group"};
        KEP_Group* defaultGroup = KepNewRecord<KEP_Group>("KEP_Load");
        try {
            load.map.groups.PushFront(defaultGroup);
        } catch (...) {
            KepDelete(defaultGroup);
            throw;
        }
        load.map.defaultGroup = defaultGroup;
        if (load.map.version == 5) KEP_DoVisGroups(load);
        KEP_DoLightmaps(load);
        KEP_DoMeshes(load);
        KEP_DoEntities(load);
    } catch (CError& error) {
        // The reader and the checks know the offsets; the readers know where.
        const CErrorPlace& at = load.place;
        error.place.section = at.section;
        error.place.record = at.record;
        error.place.surface = at.surface;
        if (!error.place.item) error.place.item = at.item;
        throw;
    } catch (const std::bad_alloc&) {
        // A list or index of the model that could not grow.
        CError error(KepMessageText(KepMessage::RecordAllocation), "KEP_ReadSections", KEP_UNIT_MAP,
                     __LINE__);
        error.kind = CErrorKind::OutOfMemory;
        error.place = load.place;
        throw error;
    }
}
