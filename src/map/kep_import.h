// Reading a KEP map into the model, and building it into the host's scene.
// Everything here works on what it is handed (a load context, or the map and
// the builder's state); failures are thrown as CError and caught by the
// loading commands (commands/load_commands.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/CError.h"
#include "core/CFile.h"
#include "core/Cstring.h"
#include "core/memory.h"
#include "map/kep_model.h"
#include "map/load_context.h"

class KEP_NormalSmoothing;

// Reads every section after the version into the context's map: groups, the
// default group, visgroups (version 5), lightmaps, meshes and entities. On
// failure throws CError with its place filled in (the section, the record
// path and, for data that ends too soon, the byte offsets); what was read
// before stays in the map. Standard containers that cannot grow come out as
// the same CError.
void KEP_ReadSections(KEP_LoadContext& load);

// Section readers, in file order.
void KEP_DoGroups(KEP_LoadContext& load);
void KEP_DoVisGroups(KEP_LoadContext& load);
void KEP_DoLightmaps(KEP_LoadContext& load);
void KEP_DoMeshes(KEP_LoadContext& load);
void KEP_DoSurfaces(KEP_LoadContext& load, KEP_Mesh* mesh);
// A surface's vertices, triangles and lines, each read as one block into the
// surface's geometry, which KEP_DoSurfaces has made room in for their counts.
void KEP_DoVertices(KEP_LoadContext& load, KEP_Surface* surface);
void KEP_DoTriangles(KEP_LoadContext& load, KEP_Surface* surface);
void KEP_DoLines(KEP_LoadContext& load, KEP_Surface* surface);
void KEP_DoEntities(KEP_LoadContext& load);

// Texture index for a surface's texture name; -1 for a CAULK name.
int32_t KEP_FindTexture(KEP_LoadContext& load, const Cstring& name);
int32_t KEP_AddTexture(KEP_LoadContext& load, const Cstring& name);

// Where the scratch numbers (KEP_ScratchNumbers) are looked for: the first
// number at or above these that the host holds nothing under, so that a
// script's own memblocks and meshes are never touched.
constexpr int KEP_kScratchMesh = 1;
constexpr int KEP_kMeshMemblock = 30;
constexpr int KEP_kImageMemblock = 31;
// Choose the scratch numbers of the lightmap pixels, or of a surface's memblock
// and mesh, unless this load already has; with none left, throw CError "No free
// memblock number" or "No free mesh number" before any of them is made.
void KEP_ChooseLightmapScratch(KEP_NumberSearches& searches);
void KEP_ChooseSurfaceScratch(KEP_NumberSearches& searches);

// The lightmap flag value that gives surfaces their lightmap (stage 1).
constexpr int32_t KEP_kLightmapsOn = 2;
inline bool KEP_UsesLightmaps(int32_t lightmapFlag) {
    return lightmapFlag == KEP_kLightmapsOn;
}

// The colour an AMBIENT property value sets: up to three decimal numbers
// separated by white space, the low 8 bits of each; missing ones count 0.
uint32_t KEP_ParseAmbient(const std::string& value);

// First free host image or object number at or above the setting (and at or
// above 1); 0 when every number up to the host's last one is taken, or the
// setting lies past it.
int32_t KEP_FreeImageNumber(KEP_NumberSearches& searches, int32_t initialImage);
int32_t KEP_FreeObjectNumber(KEP_NumberSearches& searches, int32_t initialObject);
// While one lives (one load), the searches above go on from where the last
// one stopped; the plug-in deletes host images and objects only through the
// two helpers below, which make them start from the setting again.
class KEP_NumberSearchScope {
  public:
    explicit KEP_NumberSearchScope(KEP_NumberSearches& searches);
    ~KEP_NumberSearchScope();
    KEP_NumberSearchScope(const KEP_NumberSearchScope&) = delete;
    KEP_NumberSearchScope& operator=(const KEP_NumberSearchScope&) = delete;

  private:
    KEP_NumberSearches& m_searches;
};
void KEP_DeleteHostImage(KEP_NumberSearches& searches, int32_t image);
void KEP_DeleteHostObject(KEP_NumberSearches& searches, int32_t object);

// Scene building.
void KEP_ApplyAmbient(const KEP_Map& map, uint32_t ambient, KEP_NumberSearches& searches);
// One surface of `mesh` as the scratch mesh, through the scratch memblock
// (both chosen before: KEP_ChooseSurfaceScratch), its normals smoothed as the
// host's SetSmoothing(object, 100) would; `group` tells whether it makes the
// group's object or becomes a limb. `smoothing` is working memory a build
// reuses (null: the call takes its own).
void KEP_BuildSurfaceMesh(KEP_Surface* surface, const KEP_Mesh* mesh, KEP_Group* group,
                          int32_t lightmapFlag, const KEP_BuildState& build,
                          const KEP_LoadSettings& settings,
                          KEP_NormalSmoothing* smoothing = nullptr);
void KEP_BuildGroups(KEP_Map& map, KEP_BuildState& build, const KEP_LoadSettings& settings,
                     int32_t lightmapFlag);

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
