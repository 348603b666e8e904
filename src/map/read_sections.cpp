// The sections of a map after its version, in file order.
#include <new>

#include "core/CError.h"
#include "map/kep_read.h"

int32_t KEP_ReadVersion(CFile& reader) {
    const int32_t version = reader.ReadInt();
    if (version != 4 && version != 5)
        KEP_FAIL(Unsupported, UnsupportedVersion, "KEP_ReadVersion", KEP_UNIT_MAP);
    return version;
}

void KEP_ReadSections(KEP_ReadContext& read) {
    try {
        KEP_DoGroups(read);
        // The default group heads the list: group number 0 in the file finds
        // it from now on.
        read.place = {"group"};
        KepPending<KEP_Group> defaultGroup(KepNewRecord<KEP_Group>("KEP_Load"));
        read.map.groups.PushFront(defaultGroup.get());
        read.map.defaultGroup = defaultGroup.release();
        if (read.map.version == 5) KEP_DoVisGroups(read);
        KEP_DoLightmaps(read);
        KEP_DoMeshes(read);
        KEP_DoEntities(read);
    } catch (CError& error) {
        // The reader and the checks know the offsets; the readers know where.
        const CErrorPlace& at = read.place;
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
        error.place = read.place;
        throw error;
    }
}
