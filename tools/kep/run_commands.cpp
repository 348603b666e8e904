// info, render and export: load the map, then read the plug-in's model and
// the stand-in host's scene.
#include <cmath>
#include <cstdio>
#include <string>

#include "build/kep_build.h"
#include "commands.h"
#include "gltf_export.h"
#include "kep_session.h"
#include "map/kep_model.h"
#include "map_check.h"
#include "map_report.h"
#include "progress.h"
#include "scene_render.h"
#include "simhost/scene.h"

namespace kep {
namespace {

constexpr int32_t kLightmapsOff = 0;

// The player start's place and facing: its "angle" property turns the view
// about the vertical axis, 0 looking along +X and 90 along +Z.
bool PlayerCamera(const KEP_Map& map, kepr::Camera* camera) {
    for (int32_t e = 0; e < map.entities.Count(); ++e) {
        const KEP_Entity* entity = map.entities.At(e);
        std::string classname, angle;
        for (int32_t i = 0; i < entity->properties.Count(); ++i) {
            const std::string key = KEP_UpperCase(entity->properties.Key(i));
            const char* value = entity->properties.Value(i);
            if (key == "CLASSNAME") classname = KEP_UpperCase(value);
            if (key == "ANGLE") angle = value;
        }
        if (classname != "INFO_PLAYER_START") continue;
        const double radians = std::atof(angle.c_str()) * 3.14159265358979 / 180.0;
        camera->eye = {entity->position[0], entity->position[1], entity->position[2]};
        camera->target = {camera->eye.x + std::cos(radians), camera->eye.y,
                          camera->eye.z + std::sin(radians)};
        return true;
    }
    return false;
}

} // namespace

bool LoadForTool(const std::string& map, bool lightmaps) {
    kepsession::Restart();
    std::string error;
    if (kepsession::LoadFile(map, lightmaps ? KEP_kLightmapsOn : kLightmapsOff, &error))
        return true;
    std::fprintf(stderr, "kep: cannot load %s: %s\n", map.c_str(), error.c_str());
    kepsession::Stop();
    return false;
}

int RunInfo(const InfoOptions& options) {
    if (!LoadForTool(options.map, true)) return 1;
    const nlohmann::ordered_json report = DescribeMap(*kepsession::CurrentMap());
    if (options.json)
        std::printf("%s\n", report.dump(2).c_str());
    else
        PrintMapTables(report, stdout);
    kepsession::Stop();
    return 0;
}

int RunRender(const RenderOptions& options) {
    if (!LoadForTool(options.map, options.lightmaps)) return 1;
    const auto triangles = simhost::VisibleWorldTriangles();
    kepr::Camera camera = kepr::FrameTriangles(triangles);
    if (options.view == "top") {
        camera = kepr::TopCamera(triangles);
    } else if (options.view == "player" && !PlayerCamera(*kepsession::CurrentMap(), &camera)) {
        std::fprintf(stderr, "kep: %s has no info_player_start entity; drawing the iso view\n",
                     options.map.c_str());
    }
    kepr::Picture picture;
    {
        Progress progress("drawing triangles", triangles.size());
        picture = kepr::Render(triangles, camera, options.width, options.height, options.lightmaps,
                               [&progress](std::size_t done) { progress.Update(done); });
    }
    kepsession::Stop();
    if (!kepr::WritePng(options.picture, picture)) {
        std::fprintf(stderr, "kep: cannot write %s\n", options.picture.c_str());
        return 1;
    }
    std::printf("Drew %zu visible triangles into %s (%dx%d, %s view)\n", triangles.size(),
                options.picture.c_str(), options.width, options.height, options.view.c_str());
    return 0;
}

int RunExport(const ExportOptions& options) {
    if (!LoadForTool(options.map, true)) return 1;
    ExportCounts counts;
    std::string error;
    const bool written = ExportGltf(*kepsession::CurrentMap(), options.output, &counts, &error);
    kepsession::Stop();
    if (!written) {
        std::fprintf(stderr, "kep: %s\n", error.c_str());
        return 1;
    }
    std::printf("Wrote %s: %d nodes, %d meshes, %d vertices, %d images\n", options.output.c_str(),
                counts.nodes, counts.meshes, counts.vertices, counts.images);
    return 0;
}

int RunCheck(const CheckOptions& options) {
    const std::vector<Finding> findings = CheckMap(options.map);
    for (const Finding& finding : findings)
        std::printf("%s: %s\n", finding.fatal ? "fatal" : "warning", finding.text.c_str());
    const int code = CheckExitCode(findings);
    if (code == 0) std::printf("%s: no faults found\n", options.map.c_str());
    return code;
}

} // namespace kep
