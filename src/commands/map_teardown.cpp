#include "commands/map_teardown.h"

#include <unordered_set>

#include "core/memory.h"
#include "host/host_functions.h"
#include "map/kep_model.h"

namespace {

// Image numbers already deleted during one teardown. A script can hand the
// same image to several textures ("KEP TEXTURE CREATE"); the host is asked to
// delete each image once.
class DeletedImages {
  public:
    void Delete(int32_t image) {
        // Image 0 or below is what a texture or lightmap holds when its image
        // never loaded: there is nothing of ours to delete.
        if (image <= 0) return;
        if (!FirstTime(image)) return;
        host::image::DeleteEx(image);
    }

  private:
    bool FirstTime(int32_t image) {
        try {
            return m_seen.insert(image).second;
        } catch (...) {
            return true; // without memory to remember, deleting again is harmless
        }
    }
    std::unordered_set<int32_t> m_seen;
};

void FreeEntities(KEP_Map& map) {
    for (int32_t i = 0; i < map.entities.Count(); ++i) {
        KEP_Entity* entity = map.entities.At<KEP_Entity>(i);
        if (!entity) continue;
        KEP_FreeProperties(entity->properties);
        KEP_DELETE(entity);
    }
    map.entities.Clear(false);
}

void FreeGroups(KEP_Map& map) {
    for (int32_t i = 0; i < map.groups.Count(); ++i) {
        KEP_Group* group = map.groups.At<KEP_Group>(i);
        if (!group) continue;
        KEP_FreeProperties(group->properties);
        // Groups that share one object all carry its number: the first
        // deletes it and the existence test passes over it for the others.
        if (group->object != 0 && host::object::GetExist(group->object))
            host::object::DeleteEx(group->object);
        group->meshes.Clear(false);
        group->childGroups.Clear(false);
        KEP_DELETE(group);
    }
    map.groups.Clear(false);
}

void FreeVisGroups(KEP_Map& map) {
    for (int32_t i = 0; i < map.visGroups.Count(); ++i) {
        KEP_VisGroup* visGroup = map.visGroups.At<KEP_VisGroup>(i);
        if (visGroup) KEP_DELETE(visGroup);
    }
    map.visGroups.Clear(false);
}

void FreeTextures(KEP_Map& map, DeletedImages& images) {
    for (int32_t i = 0; i < map.textures.Count(); ++i) {
        KEP_TextureInfo* texture = map.textures.At<KEP_TextureInfo>(i);
        if (!texture) continue;
        images.Delete(texture->image);
        KEP_DELETE(texture);
    }
    map.textures.Clear(false);
}

void FreeLightmaps(KEP_Map& map, DeletedImages& images) {
    for (int32_t i = 0; i < map.lightmaps.Count(); ++i) {
        KEP_Lightmap* lightmap = map.lightmaps.At<KEP_Lightmap>(i);
        if (!lightmap) continue;
        images.Delete(lightmap->image);
        KEP_DELETE(lightmap);
    }
    map.lightmaps.Clear(false);
}

void FreeMeshes(KEP_Map& map) {
    for (int32_t i = 0; i < map.meshes.Count(); ++i) {
        KEP_Mesh* mesh = map.meshes.At<KEP_Mesh>(i);
        if (!mesh) continue;
        KEP_FreeProperties(mesh->properties);
        for (int32_t s = 0; s < mesh->surfaces.Count(); ++s) {
            KEP_Surface* surface = mesh->surfaces.At<KEP_Surface>(s);
            if (surface) KEP_FreeSurface(surface);
        }
        mesh->surfaces.Clear(false);
        KEP_DELETE(mesh);
    }
    map.meshes.Clear(false);
}

} // namespace

void KEP_FreeMap(KEP_Map* map) {
    if (!map) return;
    // Entities first: the pivot list and the groups' pivot references point
    // at them, and neither is followed again below.
    FreeEntities(*map);
    map->pivots.Clear(false);
    FreeGroups(*map);
    FreeVisGroups(*map);
    DeletedImages images;
    FreeTextures(*map, images);
    FreeLightmaps(*map, images);
    FreeMeshes(*map);
    KEP_DELETE(map);
}
