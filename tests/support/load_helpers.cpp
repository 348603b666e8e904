#include "load_helpers.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "build/kep_build.h"
#include "simhost/memblocks_images.h"

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "kep_load_XXXXXX").string();
    if (mkdtemp(pattern.data())) m_path = pattern;
    EXPECT_FALSE(m_path.empty()) << "cannot make a temporary directory";
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!m_path.empty()) fs::remove_all(m_path, ignored);
}

std::string TempDir::Place(const std::string& relative) const {
    const fs::path full = fs::path(m_path) / relative;
    std::error_code ignored;
    fs::create_directories(full.parent_path(), ignored);
    return full.string();
}

ScopedWorkingDir::ScopedWorkingDir(const std::string& dir) : m_previous(fs::current_path()) {
    fs::current_path(dir);
}

ScopedWorkingDir::~ScopedWorkingDir() {
    std::error_code ignored;
    fs::current_path(m_previous, ignored);
}

int32_t LoadFromMemblock(const kepw::Bytes& bytes, int32_t lightmapFlag) {
    const int32_t result = kepsession::LoadBytes(bytes, lightmapFlag, kMapMemblock) ? 1 : 0;
    ExpectLoadedMapsConsistent();
    ExpectNoRunTimeError();
    return result;
}

int32_t LoadFromFile(const std::string& path, const kepw::Bytes& bytes) {
    EXPECT_TRUE(kepw::WriteFile(path, bytes)) << path;
    const int32_t result = kepsession::LoadFile(path, 0) ? 1 : 0;
    ExpectLoadedMapsConsistent();
    ExpectNoRunTimeError();
    return result;
}

void ExpectNoRunTimeError() {
    for (const simhost::RunTimeError& error : simhost::RunTimeErrors())
        ADD_FAILURE() << "the host raised a run-time error: " << error.Text();
    simhost::ClearRunTimeErrors();
}

void WriteImageFile(const std::string& path, uint32_t colour) {
    ASSERT_TRUE(simhost::WriteTestImageFile(path, 2, 2, std::vector<uint32_t>(4, colour))) << path;
}

int32_t SceneTest::Load(const kepw::Map& map, int32_t lightmapFlag) {
    std::set<std::string> textures;
    for (const kepw::Mesh& mesh : map.meshes)
        for (const kepw::Surface& surface : mesh.surfaces)
            if (!surface.textureName.empty() && textures.insert(surface.textureName).second)
                WriteImageFile(m_dir.Place(surface.textureName));
    ScopedWorkingDir inDir(m_dir.Path());
    return LoadFromMemblock(kepw::Write(map), lightmapFlag);
}

kepw::Surface OneTriangle(const std::string& texture, int32_t lightmap, float x, float y, float z) {
    kepw::Surface s;
    s.textureName = texture;
    s.lightmapNumber = lightmap;
    for (int32_t n = 1; n <= 3; ++n) {
        const float f = static_cast<float>(n);
        s.vertices.push_back({{x + (n == 2 ? 1 : 0), y + (n == 3 ? 1 : 0), z},
                              {0.5f + f, -0.25f, 0.125f * f},
                              {n, 7 * n, 13 * n},
                              {0.25f * f, 1.5f + f},
                              0,
                              {0.0625f * f, 0.75f + f},
                              0});
    }
    s.triangles = {{0, 1, 2}};
    return s;
}

kepw::Group ChildOf(int32_t parent) {
    return kepw::Group{0, parent, "", {}};
}

kepw::Mesh MeshOf(int32_t group, std::vector<kepw::Surface> surfaces,
                  std::array<float, 3> position) {
    return kepw::Mesh{0, group, "", {}, position, 0, std::move(surfaces), std::nullopt};
}

kepw::Entity Pivot(int32_t group, float x, float y, float z) {
    return kepw::Entity{0, group, "classname=pivot", {x, y, z}};
}

std::string CallsAmong(const std::set<std::string>& names) {
    std::string texts;
    for (const simhost::Call& call : simhost::Calls())
        if (names.count(call.name)) texts += (texts.empty() ? "" : " ") + call.Text();
    return texts;
}

bool ScratchLeft() {
    const std::vector<int> memblocks = simhost::MemblockNumbers();
    const std::vector<int> meshes = simhost::MeshNumbers();
    return std::count(memblocks.begin(), memblocks.end(), KEP_kMeshMemblock) != 0 ||
           std::count(meshes.begin(), meshes.end(), KEP_kScratchMesh) != 0;
}
