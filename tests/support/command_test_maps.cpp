#include "command_test_maps.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "host/host_functions.h"
#include "plugin/plugin_state.h"
#include "simhost/memblocks_images.h"

namespace {

// A pivot entity is also in the pivot list and becomes its group's pivot.
KEP_Entity* AddEntity(KEP_Map* map, KEP_Group* group, bool pivot,
                      std::array<float, 3> position = {}) {
    KEP_Entity* entity = Append<KEP_Entity>(map->entities);
    entity->group = group;
    std::copy(position.begin(), position.end(), entity->position);
    if (!pivot) return entity;
    KEP_AddProperty(entity->properties, "classname", "PIVOT");
    map->pivots.SetCurrent(-1);
    map->pivots.Add(entity);
    if (group) group->pivotEntity = entity;
    return entity;
}

::testing::AssertionResult ErrorStateIs(int32_t code, const std::string& message) {
    const std::string text = g_plugin.lastErrorText.CStr();
    if (g_plugin.lastErrorCode == code && text == message) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "code " << g_plugin.lastErrorCode << ", " << text;
}

} // namespace

KEP_Map* AddTestMap() {
    KEP_Map* map = Append<KEP_Map>(g_plugin.maps);
    map->mapNumber = g_plugin.mapNumberCounter++;
    map->version = 5;
    map->defaultGroup = Append<KEP_Group>(map->groups);
    return g_plugin.currentMap = map;
}

void SampleMapTest::SetUp() {
    PluginTest::SetUp();
    g_plugin.mapNumberCounter = 0; // as in a fresh process
    map = AddTestMap();
    // The group list as loading leaves it: the default group, then 3, 2, 1.
    KEP_Group* empty = Append<KEP_Group>(map->groups);
    KEP_Group* limb = Append<KEP_Group>(map->groups);
    KEP_Group* owner = Append<KEP_Group>(map->groups);
    map->groupsByNumber = {owner, limb, empty};
    for (int32_t number = 1; number <= 3; ++number)
        map->groupsByNumber[number - 1]->groupNumber = number;
    owner->flags = 0x11;
    limb->flags = 0x22;
    owner->build.object = limb->build.object = 1000;
    owner->build.ownsObject = 1;
    limb->build.firstLimb = 3;
    KEP_AddProperty(limb->properties, "name", "lift");
    KEP_Mesh* mesh = Append<KEP_Mesh>(map->meshes);
    mesh->group = owner;
    mesh->flags = 0x33;
    owner->meshes.Add(mesh);
    for (int32_t builtLimb : {0, 2}) {
        KEP_Surface* surface = Append<KEP_Surface>(mesh->surfaces);
        surface->textureIndex = 1;
        surface->build.object = 1000;
        surface->build.limb = builtLimb;
    }
    Append<KEP_Surface>(mesh->surfaces);
    KEP_Entity* light = AddEntity(map, nullptr, false, {1.5f, -2.25f, 0});
    const char* properties[] = {"classname", "light",  "Colour", "255 255 255",
                                "colour",    "second", "empty",  ""};
    for (int i = 0; i < 8; i += 2)
        KEP_AddProperty(light->properties, properties[i], properties[i + 1]);
    AddEntity(map, nullptr, false);
    AddEntity(map, owner, true, {1, 2, 3});
    AddEntity(map, limb, true, {4, 5, 6});
    AddEntity(map, empty, true);
    AddEntity(map, nullptr, true);
    for (int i = 0; i < 2; ++i) {
        KEP_TextureInfo* texture = Append<KEP_TextureInfo>(map->textures);
        texture->name = i == 0 ? "brick" : "";
        texture->build.image = 1010 + 10 * i;
        simhost::MakeTestImage(texture->build.image, 1, 1, {0u});
    }
    host::object::MakeObject(1000, 0, 0);
    for (int limbNumber = 1; limbNumber <= 3; ++limbNumber)
        host::object::AddLimb(1000, limbNumber, 0);
    host::object::Position(1000, 5, 5, 5);
    host::object::OffsetLimb(1000, 3, 1, 1, 1);
    simhost::ClearCalls();
}

::testing::AssertionResult Failed(const char* message) {
    return ErrorStateIs(0, message);
}

::testing::AssertionResult Succeeded() {
    return ErrorStateIs(1, "");
}
