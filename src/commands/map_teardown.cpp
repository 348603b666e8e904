// Part of "KEP CLEAR" (commands/map_commands.cpp): what a map made in the host.
#include "commands/map_teardown.h"

#include <unordered_set>

#include "build/kep_build.h"
#include "core/memory.h"
#include "host/host_functions.h"
#include "host/host_ranges.h"
#include "map/kep_model.h"

namespace {

// Image numbers already deleted during one teardown. A script can hand the
// same image to several textures ("KEP TEXTURE CREATE"); the host is asked to
// delete each image once.
class DeletedImages {
  public:
    explicit DeletedImages(KEP_NumberSearches& searches) : m_searches(searches) {}
    void Delete(int32_t image) {
        // Image 0 or below is what a texture or lightmap holds when its image
        // never loaded: there is nothing of ours to delete. The script may
        // have deleted an image itself, and the host ends the script when
        // asked to delete one that is not there.
        if (image <= 0 || !host::IsImageNumber(image)) return;
        if (!FirstTime(image)) return;
        if (host::image::GetExistEx(image)) KEP_DeleteHostImage(m_searches, image);
    }

  private:
    bool FirstTime(int32_t image) {
        try {
            return m_seen.insert(image).second;
        } catch (...) {
            return true; // without memory to remember, deleting again is harmless
        }
    }
    KEP_NumberSearches& m_searches;
    std::unordered_set<int32_t> m_seen;
};

} // namespace

void KEP_DeleteHostMedia(const KEP_Map* map, KEP_NumberSearches& searches) {
    if (!map) return;
    // Groups that share one object all carry its number: the first deletes
    // it and the existence test passes over it for the others.
    for (int32_t i = 0; i < map->groups.Count(); ++i) {
        const KEP_Group* group = map->groups.At(i);
        if (group && host::IsObjectNumber(group->build.object) &&
            host::object::GetExist(group->build.object))
            KEP_DeleteHostObject(searches, group->build.object);
    }
    DeletedImages images(searches);
    for (int32_t i = 0; i < map->textures.Count(); ++i)
        if (const KEP_TextureInfo* texture = map->textures.At(i))
            images.Delete(texture->build.image);
    for (int32_t i = 0; i < map->lightmaps.Count(); ++i)
        if (const KEP_Lightmap* lightmap = map->lightmaps.At(i))
            images.Delete(lightmap->build.image);
}
