#include "load_helpers.h"

#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>

#include "simhost/memblocks_images.h"

namespace {

// Each record's position in its list, -1 for none: fast on 100,000 records.
template <class T> struct Positions {
    template <class List> explicit Positions(const List& list) {
        int32_t i = 0;
        for (const T* item : list)
            at.emplace(item, i++);
    }
    int32_t operator()(const T* item) const {
        const auto found = at.find(item);
        return found == at.end() ? -1 : found->second;
    }
    bool NoneOrHeld(const T* item) const { return !item || at.count(item) != 0; }
    std::unordered_map<const T*, int32_t> at;
};

// Every entry of a reference list links back to `owner` and keeps list order;
// `listed` counts how often each record is listed.
template <class List, class T, class Owner>
void ExpectBackLinks(const List& list, const Positions<T>& order, const Owner* owner,
                     Owner* T::*link, std::unordered_map<const void*, int>& listed) {
    int32_t last = -1;
    for (const T* item : list) {
        ++listed[item];
        EXPECT_EQ(item->*link, owner) << "a list holds a record that is not its own";
        EXPECT_GT(order(item), last) << "a list is out of order";
        last = order(item);
    }
}

// The limbs of each object the host holds.
using HostLimbs = std::map<int32_t, std::set<int32_t>>;

// `images` gathers the image numbers of all maps, `limbs` how many surfaces
// became limbs of each object.
void CheckMap(const KEP_Map& map, const HostLimbs& host, std::map<int32_t, std::string>& images,
              std::map<int32_t, int32_t>& limbs) {
    SCOPED_TRACE("map " + std::to_string(map.mapNumber));
    // A broken rule is told once, not once per record after it.
    const auto broken = [] { return ::testing::Test::HasFailure(); };
    const auto& groups = map.groups;
    const Positions<KEP_Group> groupAt(groups);
    const Positions<KEP_Mesh> meshAt(map.meshes);
    const Positions<KEP_Entity> entityAt(map.entities);
    const Positions<KEP_VisGroup> visGroupAt(map.visGroups);

    // Numbers run N, N-1, ..., 1 behind the default group once the group
    // section is complete; only then are parents linked.
    const bool complete = groups.Count() > 0 && groups.At(0)->groupNumber == 0;
    std::set<int32_t> numbers;
    for (int32_t i = complete ? 1 : 0; i < groups.Count(); ++i) {
        EXPECT_EQ(groups.At(i)->groupNumber, groups.Count() - i);
        numbers.insert(groups.At(i)->groupNumber);
    }
    std::unordered_map<const void*, int> listed;
    std::unordered_map<const KEP_Group*, const KEP_Entity*> lastPivot;
    int32_t last = -1; // in entity order; an entity naming PIVOT twice is listed twice
    for (const KEP_Entity* pivot : map.pivots) {
        lastPivot[pivot->group] = pivot;
        EXPECT_GE(entityAt(pivot), last) << "pivot outside the map or out of order";
        last = entityAt(pivot);
    }
    for (const KEP_Group* g : groups) {
        ExpectBackLinks(g->childGroups, groupAt, g, &KEP_Group::parent, listed);
        ExpectBackLinks(g->meshes, meshAt, g, &KEP_Mesh::group, listed);
    }
    std::set<int32_t> owned;
    for (const KEP_Group* g : groups) {
        if (broken()) return;
        SCOPED_TRACE("group " + std::to_string(g->groupNumber));
        EXPECT_EQ(listed[g], g->parent ? 1 : 0) << "not once in its parent's list";
        EXPECT_TRUE(g->parent ? groupAt.NoneOrHeld(g->parent) &&
                                    g->parent->groupNumber == g->parentGroupNumber
                              : !complete || !numbers.count(g->parentGroupNumber))
            << "parent " << g->parentGroupNumber << " not linked as such";
        EXPECT_EQ(g->pivotEntity, lastPivot[g]) << "not the group's last pivot";
        // A parent without meshes takes over a child's record, its owns-object
        // flag included, so several groups may own one object.
        EXPECT_TRUE(!g->build.ownsObject || g->build.object != 0) << "owns no object";
        if (g->build.ownsObject) owned.insert(g->build.object);
        const auto object = host.find(g->build.object);
        EXPECT_TRUE(g->build.object == 0
                        ? g->build.firstLimb == 0
                        : object != host.end() &&
                              (g->build.firstLimb == 0 || object->second.count(g->build.firstLimb)))
            << "object " << g->build.object << " limb " << g->build.firstLimb << " not in the host";
    }
    EXPECT_EQ(static_cast<int32_t>(owned.size()), map.build.objectsBuilt);

    std::set<std::pair<int32_t, int32_t>> built;
    for (const KEP_Mesh* mesh : map.meshes) {
        if (broken()) return;
        SCOPED_TRACE("mesh " + std::to_string(meshAt(mesh)));
        EXPECT_EQ(listed[mesh], mesh->group ? 1 : 0) << "not once in its group's list";
        EXPECT_TRUE(groupAt.NoneOrHeld(mesh->group) && visGroupAt.NoneOrHeld(mesh->visGroup))
            << "group or visgroup of another map";
        for (const KEP_Surface* surface : mesh->surfaces) {
            EXPECT_TRUE(surface->textureIndex >= 0 && surface->textureIndex < map.textures.Count())
                << "texture index " << surface->textureIndex;
            if (surface->build.object == 0) continue;
            // A built surface is a limb of its group's object, and its own.
            EXPECT_TRUE(mesh->group && mesh->group->build.object == surface->build.object &&
                        built.insert({surface->build.object, surface->build.limb}).second)
                << "object " << surface->build.object << " limb " << surface->build.limb;
            ++limbs[surface->build.object];
        }
    }
    for (const KEP_Entity* entity : map.entities) {
        if (broken()) return;
        EXPECT_TRUE(groupAt.NoneOrHeld(entity->group) && visGroupAt.NoneOrHeld(entity->visGroup))
            << "entity " << entityAt(entity) << ": group or visgroup of another map";
    }

    simhost::ImageContent content;
    auto claim = [&](int32_t image, const std::string& who) {
        const auto [at, fresh] = images.emplace(image, who);
        EXPECT_TRUE(fresh) << who << " shares image " << image << " with " << at->second;
        EXPECT_TRUE(simhost::ReadImage(image, &content)) << who << ": no host image " << image;
    };
    for (int32_t i = 0; i < map.lightmaps.Count(); ++i)
        if (map.lightmaps.At(i)->build.image != 0)
            claim(map.lightmaps.At(i)->build.image, "lightmap " + std::to_string(i));
    std::set<std::string> names;
    // A load stops at the first image the host does not make: that texture
    // and every later one stay without an image.
    bool unmade = false;
    for (int32_t i = 0; i < map.textures.Count(); ++i) {
        const KEP_TextureInfo& texture = *map.textures.At(i);
        const std::string who = "texture " + std::to_string(i), name = texture.name.CStr();
        EXPECT_TRUE(names.insert(KEP_UpperCase(name)).second) << who << " repeats " << name;
        unmade = unmade || texture.build.image == 0;
        if (!unmade) claim(texture.build.image, who);
        EXPECT_TRUE(!unmade || texture.build.image == 0) << who << " made after one unmade";
    }
}

} // namespace

void ExpectLoadedMapsConsistent() {
    HostLimbs host;
    for (const int number : simhost::ObjectNumbers()) {
        simhost::ObjectState object;
        EXPECT_TRUE(simhost::FindObject(number, &object)) << "object " << number;
        for (const simhost::LimbState& limb : object.limbs)
            host[number].insert(limb.number);
    }
    std::map<int32_t, std::string> images;
    std::map<int32_t, int32_t> limbs;
    for (const KEP_Map* map : g_plugin.maps)
        CheckMap(*map, host, images, limbs);
    // Every object the maps built holds exactly the limbs their surfaces became.
    for (const auto& [number, count] : limbs)
        EXPECT_EQ(static_cast<int32_t>(host[number].size()), count) << "object " << number;
}
