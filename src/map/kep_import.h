// Reading a KEP map into the model, and building it into the host's scene.
// Section readers work on the current map and throw CError when they cannot
// go on; the loading commands catch it (map/kep_load.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/CFile.h"
#include "core/Cstring.h"
#include "core/memory.h"
#include "map/kep_model.h"

// Section readers, in file order.
void KEP_DoGroups(CFile& reader);
void KEP_DoVisGroups(CFile& reader);
void KEP_DoLightmaps(CFile& reader);
void KEP_DoMeshes(CFile& reader);
void KEP_DoSurfaces(KEP_Mesh* mesh, CFile& reader);
void KEP_DoVertices(KEP_Surface* surface, CFile& reader, int32_t count);
void KEP_DoTriangles(KEP_Surface* surface, CFile& reader, int32_t count);
void KEP_DoLines(KEP_Surface* surface, CFile& reader, int32_t count);
void KEP_DoEntities(CFile& reader);

// Texture index for a surface's texture name; -1 for a CAULK name.
int32_t KEP_FindTexture(const Cstring& name);
int32_t KEP_AddTexture(const Cstring& name);

// The colour an AMBIENT property value sets: up to three decimal numbers
// separated by white space, the low 8 bits of each; missing ones count 0.
uint32_t KEP_ParseAmbient(const std::string& value);

// First free host image or object number at or above the setting (and at or
// above 1); 0 when every number up to the largest is taken.
int32_t KEP_FreeImageNumber();
int32_t KEP_FreeObjectNumber();
// While one lives (one load), the searches above go on from where the last
// one stopped; the plug-in deletes host images and objects only through the
// two helpers below, which make them start from the setting again.
class KEP_NumberSearchScope {
  public:
    KEP_NumberSearchScope();
    ~KEP_NumberSearchScope();
    KEP_NumberSearchScope(const KEP_NumberSearchScope&) = delete;
    KEP_NumberSearchScope& operator=(const KEP_NumberSearchScope&) = delete;
};
void KEP_DeleteHostImage(int32_t image);
void KEP_DeleteHostObject(int32_t object);

// Scene building.
void KEP_ApplyAmbient();
void KEP_BuildSurfaceMesh(KEP_Surface* surface, KEP_Group* group, int32_t lightmapFlag);
void KEP_BuildGroups(int32_t lightmapFlag, KEP_Group* parent);

// Owns a record while it is being read: freed if reading stops before the
// record joins its list.
template <class T> struct KepRecordDeleter {
    void operator()(T* record) const { KEP_DELETE(record); }
};
template <class T> using KepPending = std::unique_ptr<T, KepRecordDeleter<T>>;

// Hands a record being read over to the list that will own it: added first,
// released only once the list holds it, so a failed add still frees it.
template <class T> T* KepHandOver(COwningList<T>& list, KepPending<T>& pending) {
    list.Add(pending.get());
    return pending.release();
}

[[noreturn]] void KepThrowNoMemory(const char* function);

// Creates a record or throws the readers' allocation failure.
template <class T> T* KepNewRecord(const char* function) {
    T* record = KEP_NEW(T, KEP_UNIT_MAP);
    if (!record) KepThrowNoMemory(function);
    return record;
}
