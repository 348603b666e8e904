// Maps built directly as records for the command tests, registered as a load
// registers them: in the map list, current, with the next map number. The
// records are the plug-in's own; "KEP CLEAR" or Destructor frees them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "map/kep_model.h"
#include "test_host.h"

class TestMap {
  public:
    // A new empty map. Without the default group it looks like a map whose
    // loading stopped inside the group section.
    explicit TestMap(bool withDefaultGroup = true);

    KEP_Map* operator->() const { return m_map; }
    KEP_Map* Map() const { return m_map; }

    // The next file group (number N + 1), placed as the loader places it:
    // right after the default group, ahead of the groups read before it.
    KEP_Group* AddGroup(int32_t flags = 0);
    KEP_Mesh* AddMesh(KEP_Group* group, int32_t flags = 0);
    KEP_Surface* AddSurface(KEP_Mesh* mesh, int32_t textureIndex = 0);
    KEP_Entity* AddEntity(KEP_Group* group, float x = 0, float y = 0, float z = 0);
    // An entity that is also in the pivot list and becomes its group's pivot.
    KEP_Entity* AddPivot(KEP_Group* group, float x = 0, float y = 0, float z = 0);
    KEP_TextureInfo* AddTexture(const char* name, int32_t image);
    KEP_Lightmap* AddLightmap(int32_t image);
    KEP_VisGroup* AddVisGroup(const char* name);

  private:
    KEP_Map* m_map;
};

// Base of fixtures that hold their TestMap as a member: plug-in and host are
// reset in the constructor, before the members are made, not in SetUp.
class MapFixture : public ::testing::Test {
  protected:
    MapFixture() { ResetPluginAndHost(); }
    void TearDown() override { ResetPluginAndHost(); }
};

void AddProperty(KEP_Properties& properties, const char* key, const char* value);

// Host objects in the stand-in host: an object with its limb 0, and limbs.
void MakeHostObject(int32_t object);
void MakeHostLimb(int32_t object, int32_t limb);
// A 1 x 1 host image.
void MakeHostImage(int32_t image);

// The last-error state after a command.
::testing::AssertionResult Failed(const char* message);
::testing::AssertionResult Succeeded();

// A "F" command's result word read as the float it holds.
float FloatFromBits(uint32_t bits);
