// Reading a KEP map into the model. Everything here works on the read context
// it is handed and calls nothing in the host; failures are thrown as CError.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/CError.h"
#include "core/CFile.h"
#include "core/Cstring.h"
#include "core/memory.h"
#include "map/kep_model.h"
#include "map/read_context.h"

// The map's version, the first value of its data: 4 or 5, else CError
// "Unsupported Version" (and "EOF" for data too short to hold one).
int32_t KEP_ReadVersion(CFile& reader);

// Reads every section after the version into the context's map: groups, the
// default group, visgroups (version 5), lightmaps, meshes and entities. On
// failure throws CError with its place filled in (the section, the record
// path and, for data that ends too soon, the byte offsets); what was read
// before stays in the map. Standard containers that cannot grow come out as
// the same CError.
void KEP_ReadSections(KEP_ReadContext& read);

// Section readers, in file order.
void KEP_DoGroups(KEP_ReadContext& read);
void KEP_DoVisGroups(KEP_ReadContext& read);
void KEP_DoLightmaps(KEP_ReadContext& read);
void KEP_DoMeshes(KEP_ReadContext& read);
void KEP_DoSurfaces(KEP_ReadContext& read, KEP_Mesh* mesh);
// A surface's vertices, triangles and lines, each read as one block into the
// surface's geometry, which KEP_DoSurfaces has made room in for their counts.
void KEP_DoVertices(KEP_ReadContext& read, KEP_Surface* surface);
void KEP_DoTriangles(KEP_ReadContext& read, KEP_Surface* surface);
void KEP_DoLines(KEP_ReadContext& read, KEP_Surface* surface);
void KEP_DoEntities(KEP_ReadContext& read);

// A section: its record count, then `readRecord(i)` for each record i from 0,
// the read's place following along (the section, then each record from 1).
template <class ReadRecord>
void KepForEachRecord(KEP_ReadContext& read, const char* section, ReadRecord readRecord) {
    read.place = {section};
    const int32_t count = read.reader.ReadInt();
    for (int32_t i = 0; i < count; ++i) {
        read.place = {section, i + 1};
        readRecord(i);
    }
}

// Texture index for a surface's texture name; -1 for a CAULK name. A new
// name gets a texture record at the end of the list; unless the map's media
// are included, its file must be beside the map ("Unable to find texture").
int32_t KEP_FindTexture(KEP_ReadContext& read, const Cstring& name);

// The colour an AMBIENT property value sets: up to three decimal numbers
// separated by white space, the low 8 bits of each; missing ones count 0.
uint32_t KEP_ParseAmbient(const std::string& value);

// Owns a record while it is being read: freed if reading stops before the
// record joins its list.
template <class T> struct KepRecordDeleter {
    void operator()(T* record) const { KepDelete(record); }
};
template <class T> using KepPending = std::unique_ptr<T, KepRecordDeleter<T>>;

// Hands a record being read over to the list that will own it: added first,
// released only once the list holds it, so a failed add still frees it.
template <class T> T* KepHandOver(COwningList<T>& list, KepPending<T>& pending) {
    list.Add(pending.get());
    return pending.release();
}

// Creates a record or throws the readers' allocation failure; the record's
// block is named by the line that asks for it.
template <class T> T* KepNewRecord(const char* function, int line = __builtin_LINE()) {
    T* record = KepNew<T>(KEP_UNIT_MAP, line);
    if (!record)
        KepFail(CErrorKind::OutOfMemory, KepMessage::RecordAllocation, function, KEP_UNIT_MAP,
                line);
    return record;
}
