#include "command_test_maps.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/memory.h"
#include "host/host_functions.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "simhost/memblocks_images.h"
#include "simhost/simhost.h"

namespace {

template <class T> T* NewRecord() {
    T* record = KEP_NEW(T, KEP_UNIT_MAP);
    if (!record) std::abort();
    return record;
}

// Appends at the end whatever commands left the cursor on.
void Append(CList& list, void* item) {
    list.SetCurrent(-1);
    list.Add(item);
}

} // namespace

TestMap::TestMap(bool withDefaultGroup) : m_map(NewRecord<KEP_Map>()) {
    m_map->mapNumber = g_plugin.mapNumberCounter++;
    m_map->version = 5;
    if (withDefaultGroup) {
        m_map->defaultGroup = NewRecord<KEP_Group>();
        m_map->groups.Add(m_map->defaultGroup);
    }
    Append(g_plugin.maps, m_map);
    g_plugin.currentMap = m_map;
}

KEP_Group* TestMap::AddGroup(int32_t flags) {
    KEP_Group* group = NewRecord<KEP_Group>();
    group->flags = flags;
    m_map->groupsByNumber.push_back(group);
    group->groupNumber = static_cast<int32_t>(m_map->groupsByNumber.size());
    if (m_map->defaultGroup) {
        m_map->groups.SetCurrent(0);
        m_map->groups.Add(group);
    } else {
        m_map->groups.First();
        m_map->groups.Insert(group);
    }
    m_map->groups.SetCurrent(-1);
    return group;
}

KEP_Mesh* TestMap::AddMesh(KEP_Group* group, int32_t flags) {
    KEP_Mesh* mesh = NewRecord<KEP_Mesh>();
    mesh->flags = flags;
    mesh->group = group;
    if (group) Append(group->meshes, mesh);
    Append(m_map->meshes, mesh);
    return mesh;
}

KEP_Surface* TestMap::AddSurface(KEP_Mesh* mesh, int32_t textureIndex) {
    KEP_Surface* surface = NewRecord<KEP_Surface>();
    surface->textureIndex = textureIndex;
    surface->lightmapIndex = -1;
    Append(mesh->surfaces, surface);
    return surface;
}

KEP_Entity* TestMap::AddEntity(KEP_Group* group, float x, float y, float z) {
    KEP_Entity* entity = NewRecord<KEP_Entity>();
    entity->group = group;
    entity->position[0] = x;
    entity->position[1] = y;
    entity->position[2] = z;
    Append(m_map->entities, entity);
    return entity;
}

KEP_Entity* TestMap::AddPivot(KEP_Group* group, float x, float y, float z) {
    KEP_Entity* entity = AddEntity(group, x, y, z);
    AddProperty(entity->properties, "classname", "PIVOT");
    Append(m_map->pivots, entity);
    if (group) group->pivotEntity = entity;
    return entity;
}

KEP_TextureInfo* TestMap::AddTexture(const char* name, int32_t image) {
    KEP_TextureInfo* texture = NewRecord<KEP_TextureInfo>();
    texture->name = name;
    texture->image = image;
    Append(m_map->textures, texture);
    return texture;
}

KEP_Lightmap* TestMap::AddLightmap(int32_t image) {
    KEP_Lightmap* lightmap = NewRecord<KEP_Lightmap>();
    lightmap->image = image;
    lightmap->width = lightmap->height = 1;
    Append(m_map->lightmaps, lightmap);
    return lightmap;
}

KEP_VisGroup* TestMap::AddVisGroup(const char* name) {
    KEP_VisGroup* visGroup = NewRecord<KEP_VisGroup>();
    visGroup->name = name;
    Append(m_map->visGroups, visGroup);
    return visGroup;
}

void AddProperty(KEP_Properties& properties, const char* key, const char* value) {
    properties.keys.SetCurrent(-1);
    properties.values.SetCurrent(-1);
    KEP_AddProperty(properties, key, value);
}

void MakeHostObject(int32_t object) {
    host::object::MakeObject(object, 0, 0);
}

void MakeHostLimb(int32_t object, int32_t limb) {
    host::object::AddLimb(object, limb, 0);
}

void MakeHostImage(int32_t image) {
    simhost::MakeTestImage(image, 1, 1, {0xFF000000u});
}

::testing::AssertionResult Failed(const char* message) {
    const std::string text = g_plugin.lastErrorText.CStr();
    if (g_plugin.lastErrorCode == 0 && text == message) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected code 0 with \"" << message << "\", got code "
                                         << g_plugin.lastErrorCode << " with \"" << text << "\"";
}

::testing::AssertionResult Succeeded() {
    const std::string text = g_plugin.lastErrorText.CStr();
    if (g_plugin.lastErrorCode == 1 && text.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected code 1 and no text, got code "
                                         << g_plugin.lastErrorCode << " with \"" << text << "\"";
}

float FloatFromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
