// Building a read map into the host's scene: images for its lightmaps and
// textures, then objects and limbs for its groups. Failures are thrown as
// CError; what was made before a failure stays in the host and in the map's
// `build` records.
#pragma once

#include <cstdint>

#include "build/build_state.h"
#include "map/kep_model.h"

class KEP_NormalSmoothing;

// The lightmap flag value that gives surfaces their lightmap (stage 1).
constexpr int32_t KEP_kLightmapsOn = 2;
inline bool KEP_UsesLightmaps(int32_t lightmapFlag) {
    return lightmapFlag == KEP_kLightmapsOn;
}

// Makes a host image of every lightmap with pixels, in file order, then of
// every texture's file, in the order of first use: the order and numbers a
// reader that made each image as it met it would give. Stops at the first
// image the host does not make ("Invalid image identifier"), that image's
// number left 0. With options.applyAmbient, every lightmap image is then made
// again from its pixels brightened by the ambient colour.
void KEP_BuildImages(KEP_Map& map, KEP_NumberSearches& searches, const KEP_BuildOptions& options);

// Objects and limbs for every group, placed by pivot origins.
void KEP_BuildGroups(KEP_Map& map, KEP_BuildState& build, const KEP_BuildOptions& options);

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

// One surface of `mesh` as the scratch mesh, through the scratch memblock
// (both chosen before: KEP_ChooseSurfaceScratch), its normals smoothed as the
// host's SetSmoothing(object, 100) would; `group` tells whether it makes the
// group's object or becomes a limb. `smoothing` is working memory a build
// reuses (null: the call takes its own).
void KEP_BuildSurfaceMesh(KEP_Surface* surface, const KEP_Mesh* mesh, KEP_Group* group,
                          const KEP_BuildState& build, const KEP_BuildOptions& options,
                          KEP_NormalSmoothing* smoothing = nullptr);
