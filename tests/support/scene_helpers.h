// Helpers for the scene-building tests: loading a described map with texture
// files beside it, the mesh memblocks the host was handed, and the host calls
// of a build in a form that compares well.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "kep_writer.h"
#include "load_helpers.h"
#include "map/kep_model.h"
#include "simhost/scene.h"
#include "simhost/simhost.h"
#include "test_host.h"

namespace scene_test {

// A fresh plug-in and host; the builder state that outlives maps (limb
// counter, build origin) and the map offset start from their load-time values.
class SceneTest : public PluginTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a 2x2 image file for every texture the map names (CAULK names
    // excepted) into the test's directory, each in its own colour (see
    // TextureColour), writes the map there as "map.kep" and runs "LOAD KEP".
    // The host calls made before the load are forgotten.
    int32_t LoadFile(const kepw::Map& map, int32_t lightmapFlag);
    // The same texture files, then "MAKE KEP FROM MEMBLOCK" with the process
    // working in the test's directory so the names are found.
    int32_t LoadMemblock(const kepw::Map& map, int32_t lightmapFlag);
    // The same with bytes of the test's own making (textures from `map`).
    int32_t LoadMemblockBytes(const kepw::Map& map, const kepw::Bytes& bytes, int32_t lightmapFlag);

  private:
    void WriteTextures(const kepw::Map& map);
    TempDir m_dir;
};

// The colour every pixel of the texture file written for `name` holds (as the
// host decodes it, 0xAARRGGBB with alpha 0xff).
uint32_t TextureColour(const std::string& name);

// A vertex whose every value tells it apart: position (x, y, z), normal,
// colour and both texture-coordinate pairs derived from `seed`.
kepw::Vertex DistinctVertex(float x, float y, float z, int32_t seed);
// A surface with the given vertices and triangles.
kepw::Surface MakeSurface(const std::string& texture, int32_t lightmap,
                          std::vector<kepw::Vertex> vertices,
                          std::vector<std::array<int32_t, 3>> triangles);
// A one-triangle surface whose three corners are at `base`, base + (1,0,0)
// and base + (0,1,0), with seeds from `seed`.
kepw::Surface OneTriangle(const std::string& texture, int32_t lightmap, float x, float y, float z,
                          int32_t seed);
// An entity "classname=pivot" of group `group` at the file position (x, y, z).
kepw::Entity Pivot(int32_t group, float x, float y, float z);

// --- Mesh memblocks -------------------------------------------------------

// The content of memblock 30 at each CreateMeshFromMemblock(1, 30), rebuilt
// from the recorded MakeMemblock and write calls in the order the host got
// them (a made memblock starts zero-filled; writes outside it are dropped,
// as the host drops them).
struct SentMeshMemblock {
    int32_t madeSize = 0; // size asked for in MakeMemblock(30, ...)
    std::vector<uint8_t> bytes;
    int32_t dwordWrites = 0; // write calls into memblock 30 before this mesh
    int32_t floatWrites = 0;
};
std::vector<SentMeshMemblock> SentMeshMemblocks();

struct MemblockVertex {
    float position[3] = {};
    float normal[3] = {};
    uint32_t diffuse = 0;
    float uv[2] = {};
    float uv2[2] = {}; // only in 44-byte vertices
};

struct DecodedMeshMemblock {
    uint32_t flags = 0;
    uint32_t stride = 0;
    uint32_t count = 0;
    std::vector<MemblockVertex> vertices; // as many as fit, up to `count`
};
DecodedMeshMemblock DecodeMeshMemblock(const std::vector<uint8_t>& bytes);

// --- Host calls -----------------------------------------------------------

// The expected Text() of a host call with these arguments, formatted as the
// host records them (pass floats as float to get their single-precision value).
std::string CallText(const std::string& name, std::initializer_list<double> args);
// Text() of every recorded call whose name is in `names`, in call order.
std::vector<std::string> CallsAmong(const std::set<std::string>& names);
// Text() of every recorded call.
std::vector<std::string> AllCallTexts();
// The arguments of a recorded call, as numbers.
std::vector<double> ArgsOf(const simhost::Call& call);

// --- Model and host objects -----------------------------------------------

// The group of the current map with that number (0: the default group).
KEP_Group* Group(int32_t number);
// Surface `surface` of mesh `mesh` (indices in the current map's lists).
KEP_Surface* SurfaceOf(int32_t mesh, int32_t surface);
// The stand-in host's object; a failure is recorded when there is none.
simhost::ObjectState ObjectOf(int number);
// The limb `limb` of object `object`; a failure is recorded when there is none.
simhost::LimbState LimbOf(int object, int limb);

} // namespace scene_test
