#include "scene_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "build/kep_build.h"
#include "plugin/exports.h"
#include "simhost/memblocks_images.h"

namespace scene_test {

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

} // namespace scene_test
