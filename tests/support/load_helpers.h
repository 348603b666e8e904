// Helpers for the tests: a fresh stand-in host and plug-in state, map bytes
// into host memblocks and files, temporary directories to hold maps and
// texture images, and what a build left in the stand-in host and the model.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "kep_session.h"
#include "kep_writer.h"
#include "map/kep_model.h"
#include "plugin/plugin_state.h"
#include "simhost/scene.h"
#include "simhost/simhost.h"

// A fresh temporary directory, removed with all its content when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    // Path of `relative` inside the directory; creates its parent directories.
    std::string Place(const std::string& relative) const;

  private:
    std::string m_path;
};

// Makes the process work in `dir` until the object goes (memblock maps look
// their textures up relative to the working directory).
class ScopedWorkingDir {
  public:
    explicit ScopedWorkingDir(const std::string& dir);
    ~ScopedWorkingDir();
    ScopedWorkingDir(const ScopedWorkingDir&) = delete;
    ScopedWorkingDir& operator=(const ScopedWorkingDir&) = delete;

  private:
    std::string m_previous;
};

constexpr int kMapMemblock = 7; // where the map tests put their maps
// Both loads check every loaded map against the host afterwards
// (ExpectLoadedMapsConsistent), whatever the result, and that the host raised
// no run-time error (ExpectNoRunTimeError).
// "MAKE KEP FROM MEMBLOCK" of the bytes.
int32_t LoadFromMemblock(const kepw::Bytes& bytes, int32_t lightmapFlag = 0);
// Writes the bytes to `path` and runs "LOAD KEP" on it (lightmap flag 0).
int32_t LoadFromFile(const std::string& path, const kepw::Bytes& bytes);
// Writes a small image file of a single colour (kind by extension).
void WriteImageFile(const std::string& path, uint32_t colour = 0xff336699u);

using kepsession::CurrentMap;

// The plug-in's last-error text, read without touching the error state.
inline std::string LastErrorText() {
    return g_plugin.lastErrorText.CStr();
}

class PluginTest : public ::testing::Test {
  protected:
    void SetUp() override { kepsession::Restart(); }
    void TearDown() override { kepsession::Restart(); }
};

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

// What must hold for every loaded map, whatever the file said and wherever a
// load stopped: the model's cross-references agree with one another, and every
// image and object number it records is one the host holds. The loads above
// run it after every load, so each test that loads a map checks it for free
// and asserts only what its own case is about. Adds a test failure for every
// broken rule, naming the map and the record.
void ExpectLoadedMapsConsistent();

// Adds a test failure for every run-time error the stand-in host recorded
// since the last check (a real host would have ended the script), then
// forgets them.
void ExpectNoRunTimeError();
