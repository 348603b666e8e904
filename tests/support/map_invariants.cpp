#include "map_invariants.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "map/kep_model.h"
#include "plugin/plugin_state.h"
#include "simhost/memblocks_images.h"
#include "simhost/scene.h"

namespace {

// The items of a model list, in list order.
template <class List> auto Items(const List& list) {
    std::vector<decltype(list.At(0))> items;
    for (int32_t i = 0; i < list.Count(); ++i)
        items.push_back(list.At(i));
    return items;
}

// Each record's position in its list, -1 for none: fast on 100,000 records.
template <class T> struct Positions {
    explicit Positions(const std::vector<T*>& items) {
        for (std::size_t i = 0; i < items.size(); ++i)
            at.emplace(items[i], static_cast<int32_t>(i));
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
    for (const T* item : Items(list)) {
        ++listed[item];
        EXPECT_EQ(item->*link, owner) << "a list holds a record that is not its own";
        EXPECT_GT(order(item), last) << "a list is out of order";
        last = order(item);
    }
}

bool IsPivot(const KEP_Entity* entity) {
    const KEP_Properties& properties = entity->properties;
    for (int32_t i = 0; i < properties.Count(); ++i)
        if (KEP_UpperCase(properties.Key(i)) == "CLASSNAME" &&
            KEP_UpperCase(properties.Value(i)) == "PIVOT")
            return true;
    return false;
}

int FailuresSoFar() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

class MapChecker {
  public:
    explicit MapChecker(const KEP_Map& map)
        : m_map(map), m_groups(Items(map.groups)), m_meshes(Items(map.meshes)),
          m_entities(Items(map.entities)), m_pivots(Items(map.pivots)), m_groupAt(m_groups),
          m_meshAt(m_meshes), m_entityAt(m_entities), m_visGroupAt(Items(map.visGroups)) {}

    // `images` gathers the image numbers of all maps, `limbs` how many
    // surfaces became limbs of each object.
    void Run(std::map<int32_t, std::string>& images, std::map<int32_t, int32_t>& limbs) {
        SCOPED_TRACE("map " + std::to_string(m_map.mapNumber));
        EXPECT_TRUE(m_map.version != 4 || m_visGroupAt.at.empty()) << "visgroups in version 4";
        Groups();
        Meshes(limbs);
        Entities();
        Images(images);
    }

  private:
    // A broken rule is told once, not once per record.
    bool Broken() const { return FailuresSoFar() > m_failuresBefore; }

    void Groups() {
        // Numbers run N, N-1, ..., 1 behind the default group once the group
        // section is complete; only then are parents linked.
        const bool complete = !m_groups.empty() && m_groups[0]->groupNumber == 0;
        std::set<int32_t> numbers;
        for (std::size_t i = complete ? 1 : 0; i < m_groups.size(); ++i) {
            EXPECT_EQ(m_groups[i]->groupNumber, static_cast<int32_t>(m_groups.size() - i));
            numbers.insert(m_groups[i]->groupNumber);
        }
        std::unordered_map<const void*, int> listed;
        std::unordered_map<const KEP_Group*, const KEP_Entity*> lastPivot;
        for (const KEP_Entity* pivot : m_pivots)
            lastPivot[pivot->group] = pivot;
        std::set<int32_t> owned;
        for (const KEP_Group* g : m_groups) {
            ExpectBackLinks(g->childGroups, m_groupAt, g, &KEP_Group::parent, listed);
            ExpectBackLinks(g->meshes, m_meshAt, g, &KEP_Mesh::group, listed);
        }
        for (const KEP_Mesh* mesh : m_meshes) {
            if (Broken()) return;
            EXPECT_EQ(listed[mesh], mesh->group ? 1 : 0) << "mesh not once in its group's list";
        }
        for (const KEP_Group* g : m_groups) {
            if (Broken()) return;
            SCOPED_TRACE("group " + std::to_string(g->groupNumber));
            EXPECT_EQ(listed[g], g->parent ? 1 : 0) << "not once in its parent's list";
            EXPECT_TRUE(g->parent ? m_groupAt.NoneOrHeld(g->parent) &&
                                        g->parent->groupNumber == g->parentGroupNumber
                                  : !complete || !numbers.count(g->parentGroupNumber))
                << "parent " << g->parentGroupNumber << " not linked as such";
            EXPECT_EQ(g->pivotEntity, lastPivot[g]) << "not the group's last pivot";
            // A parent without meshes takes over a child's record, its owns-object
            // flag included, so several groups may own one object.
            EXPECT_TRUE(!g->build.ownsObject || g->build.object != 0) << "owns no object";
            if (g->build.ownsObject) owned.insert(g->build.object);
            const simhost::ObjectState* object =
                g->build.object ? Object(g->build.object) : nullptr;
            EXPECT_TRUE(g->build.object == 0 ? g->build.firstLimb == 0
                                             : object && (g->build.firstLimb == 0 ||
                                                          HasLimb(*object, g->build.firstLimb)))
                << "object " << g->build.object << " limb " << g->build.firstLimb
                << " not in the host";
        }
        EXPECT_EQ(static_cast<int32_t>(owned.size()), m_map.build.objectsBuilt);
    }

    void Meshes(std::map<int32_t, int32_t>& limbs) {
        const int32_t textureCount = m_map.textures.Count();
        std::set<std::pair<int32_t, int32_t>> built;
        for (const KEP_Mesh* mesh : m_meshes) {
            if (Broken()) return;
            SCOPED_TRACE("mesh " + std::to_string(m_meshAt(mesh)));
            EXPECT_TRUE(m_groupAt.NoneOrHeld(mesh->group) &&
                        m_visGroupAt.NoneOrHeld(mesh->visGroup))
                << "group or visgroup of another map";
            for (const KEP_Surface* surface : Items(mesh->surfaces)) {
                EXPECT_TRUE(surface->textureIndex >= 0 && surface->textureIndex < textureCount)
                    << "texture index " << surface->textureIndex;
                if (surface->build.object == 0) continue;
                // A built surface is a limb of its group's object, and its own.
                EXPECT_TRUE(mesh->group && mesh->group->build.object == surface->build.object &&
                            built.insert({surface->build.object, surface->build.limb}).second)
                    << "object " << surface->build.object << " limb " << surface->build.limb;
                ++limbs[surface->build.object];
            }
        }
    }

    void Entities() {
        int32_t last = -1; // in entity order; an entity naming PIVOT twice is listed twice
        for (const KEP_Entity* pivot : m_pivots) {
            EXPECT_GE(m_entityAt(pivot), last) << "pivot outside the map or out of order";
            last = m_entityAt(pivot);
        }
        const std::set<const KEP_Entity*> pivots(m_pivots.begin(), m_pivots.end());
        for (const KEP_Entity* entity : m_entities) {
            if (Broken()) return;
            EXPECT_TRUE(m_groupAt.NoneOrHeld(entity->group) &&
                        m_visGroupAt.NoneOrHeld(entity->visGroup))
                << "entity " << m_entityAt(entity) << ": group or visgroup of another map";
            EXPECT_EQ(pivots.count(entity) != 0, IsPivot(entity))
                << "entity " << m_entityAt(entity) << ": pivot list and CLASSNAME disagree";
        }
    }

    void Images(std::map<int32_t, std::string>& images) {
        simhost::ImageContent content;
        auto claim = [&](int32_t image, const std::string& who) {
            const auto [at, fresh] = images.emplace(image, who);
            EXPECT_TRUE(fresh) << who << " shares image " << image << " with " << at->second;
            EXPECT_TRUE(simhost::ReadImage(image, &content)) << who << ": no host image " << image;
        };
        int32_t index = 0;
        for (const KEP_Lightmap* l : Items(m_map.lightmaps)) {
            const std::string who = "lightmap " + std::to_string(index++);
            if (l->width <= 0 || l->height <= 0) {
                EXPECT_EQ(l->build.image, 0) << who << " has no pixels";
            } else if (l->build.image != 0) {
                claim(l->build.image, who);
            }
        }
        const auto textures = Items(m_map.textures);
        std::set<std::string> names;
        for (std::size_t i = 0; i < textures.size(); ++i) {
            const std::string who = "texture " + std::to_string(i), name = textures[i]->name.CStr();
            if (textures[i]->build.image != 0) {
                claim(textures[i]->build.image, who);
                EXPECT_TRUE(names.insert(KEP_UpperCase(name)).second) << who << " repeats " << name;
            } else { // only a load that failed on its last texture leaves one unmade
                EXPECT_TRUE(i + 1 == textures.size() && name.empty()) << who << " has no image";
            }
        }
    }

    // The host's object, null for none; looked up once per number, as a
    // hundred thousand groups may share one.
    const simhost::ObjectState* Object(int32_t number) {
        auto found = m_objects.find(number);
        if (found == m_objects.end()) {
            simhost::ObjectState state;
            if (!simhost::FindObject(number, &state)) return nullptr;
            found = m_objects.emplace(number, std::move(state)).first;
        }
        return &found->second;
    }

    static bool HasLimb(const simhost::ObjectState& object, int32_t limb) {
        return std::any_of(object.limbs.begin(), object.limbs.end(),
                           [&](const simhost::LimbState& l) { return l.number == limb; });
    }

    const KEP_Map& m_map;
    const std::vector<KEP_Group*> m_groups;
    const std::vector<KEP_Mesh*> m_meshes;
    const std::vector<KEP_Entity*> m_entities;
    const std::vector<KEP_Entity*> m_pivots;
    const Positions<KEP_Group> m_groupAt;
    const Positions<KEP_Mesh> m_meshAt;
    const Positions<KEP_Entity> m_entityAt;
    const Positions<KEP_VisGroup> m_visGroupAt;
    std::map<int32_t, simhost::ObjectState> m_objects;
    const int m_failuresBefore = FailuresSoFar();
};

} // namespace

void ExpectLoadedMapsConsistent() {
    std::map<int32_t, std::string> images;
    std::map<int32_t, int32_t> limbs;
    for (const KEP_Map* map : Items(g_plugin.maps))
        MapChecker(*map).Run(images, limbs);
    // Every object the maps built holds exactly the limbs their surfaces became.
    for (const auto& [number, count] : limbs) {
        simhost::ObjectState object;
        EXPECT_TRUE(simhost::FindObject(number, &object)) << "no host object " << number;
        EXPECT_EQ(static_cast<int32_t>(object.limbs.size()), count) << "object " << number;
    }
}
