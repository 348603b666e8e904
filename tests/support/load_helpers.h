// Helpers for the map-reading tests: map bytes into host memblocks and files,
// and temporary directories to hold maps and texture images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kep_session.h"
#include "kep_writer.h"
#include "map/kep_model.h"

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
// (map_invariants.h), whatever the result, and that the host raised no
// run-time error (ExpectNoRunTimeError).
// "MAKE KEP FROM MEMBLOCK" of the bytes.
int32_t LoadFromMemblock(const kepw::Bytes& bytes, int32_t lightmapFlag = 0);
// Writes the bytes to `path` and runs "LOAD KEP" on it (lightmap flag 0).
int32_t LoadFromFile(const std::string& path, const kepw::Bytes& bytes);
// Writes a small image file of a single colour (kind by extension).
void WriteImageFile(const std::string& path, uint32_t colour = 0xff336699u);

using kepsession::CurrentMap;

// Adds a test failure for every run-time error the stand-in host recorded
// since the last check (a real host would have ended the script), then
// forgets them.
void ExpectNoRunTimeError();

// False only when LeakSanitizer is in the build and finds a leak at this moment.
bool NoLeaksSoFar();
