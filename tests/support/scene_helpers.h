// Helpers for the scene-building tests: maps loaded with their texture files,
// and what the build left in the stand-in host and the model.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "kep_writer.h"
#include "load_helpers.h"
#include "simhost/scene.h"
#include "test_host.h"

namespace scene_test {

class SceneTest : public PluginTest {
  protected:
    // "MAKE KEP FROM MEMBLOCK" in a directory holding an image file for every
    // texture the map names; the host calls made before are forgotten.
    int32_t Load(const kepw::Map& map, int32_t lightmapFlag);

  private:
    TempDir m_dir;
};

// One triangle over corners A = (x, y, z), B = A + (1, 0, 0), C = A + (0, 1, 0)
// whose normals, colours and texture coordinates all differ.
kepw::Surface OneTriangle(const std::string& texture, int32_t lightmap, float x = 0, float y = 0,
                          float z = 0);
kepw::Group ChildOf(int32_t parent);
kepw::Mesh MeshOf(int32_t group, std::vector<kepw::Surface> surfaces,
                  std::array<float, 3> position = {});
// An entity "classname=pivot" of group `group` at the file position (x, y, z).
kepw::Entity Pivot(int32_t group, float x, float y, float z);

// Text() of the recorded calls with these names, in call order, space-separated.
std::string CallsAmong(const std::set<std::string>& names);
// True when memblock 30 or mesh 1, the builder's scratch numbers, exist.
bool ScratchLeft();

} // namespace scene_test
