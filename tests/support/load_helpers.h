// Helpers for the map-reading tests: map bytes into host memblocks and files,
// temporary directories with texture images, and plain views of the model.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "kep_writer.h"
#include "map/kep_model.h"

// A fresh directory under the system's temporary directory, removed with all
// its content when the object goes.
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

// Memblock number the map tests put their maps in.
constexpr int kMapMemblock = 7;

// Makes host memblock `number` through the host's own functions and copies the
// bytes into it, then forgets the host calls that took, so that a test sees
// only the calls of the load. An empty byte list makes no memblock.
void PutBytesInMemblock(int number, const kepw::Bytes& bytes);

// "MAKE KEP FROM MEMBLOCK" of the bytes (lightmap flag 0).
int32_t LoadFromMemblock(const kepw::Bytes& bytes);
// Writes the bytes to `path` and runs "LOAD KEP" on it (lightmap flag 0).
int32_t LoadFromFile(const std::string& path, const kepw::Bytes& bytes);

// Writes a small image file of a single colour (kind by extension).
void WriteImageFile(const std::string& path, uint32_t colour = 0xff336699u);

KEP_Map* CurrentMap();

using PropertyList = std::vector<std::pair<std::string, std::string>>;
PropertyList PropertiesOf(const KEP_Properties& properties);

// The group numbers of the map's group list, in list order.
std::vector<int32_t> GroupNumbersInListOrder(const KEP_Map& map);
// The group with that number, found by walking the list; null if none.
KEP_Group* GroupNumbered(const KEP_Map& map, int32_t number);
// Group numbers of a group's child-group list, in list order.
std::vector<int32_t> ChildGroupNumbers(const KEP_Group& group);

// Index of `item` in `list`, or -1.
int32_t IndexIn(const CList& list, const void* item);

// Number of host calls made with this short name since the calls were cleared.
std::size_t HostCallCount(const std::string& name);

// The lightmap pixel that the file loader leaves: each colour channel plus the
// ambient colour's, capped at 255, top byte 0.
uint32_t WithAmbient(uint32_t pixel, uint32_t ambient);

// True when leak checking is available and found no leak at this moment
// (always true in builds without LeakSanitizer).
bool NoLeaksSoFar();
