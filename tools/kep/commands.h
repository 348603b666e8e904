// The subcommands of `kep`. Each loads its map through the shared session
// and returns the process exit code.
#pragma once

#include <string>

namespace kep {

struct InfoOptions {
    std::string map;
    bool json = false;
};
int RunInfo(const InfoOptions& options);

struct RenderOptions {
    std::string map;
    std::string picture;
    int width = 800;
    int height = 600;
    std::string view = "iso"; // top, iso or player
    bool lightmaps = true;
};
int RunRender(const RenderOptions& options);

struct ExportOptions {
    std::string map;
    std::string output;
};
int RunExport(const ExportOptions& options);

struct CheckOptions {
    std::string map;
};
int RunCheck(const CheckOptions& options);

// Starts the plug-in and host afresh and loads the map ("LOAD KEP"); on
// failure prints the plug-in's error and returns false.
bool LoadForTool(const std::string& map, bool lightmaps);

} // namespace kep
