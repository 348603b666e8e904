// kep: inspect, check, picture and export KEP maps from the command line.
// The plug-in's own code reads the map beside the stand-in host, exactly as
// a game would see it.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <map>
#include <string>

#include "commands.h"
#include "stand_in_host.h"

namespace {
// Every subcommand takes the map first.
void AddMapArgument(CLI::App* command, std::string& map) {
    command->add_option("MAP", map, "KEP map file")->required()->check(CLI::ExistingFile);
}
} // namespace

int main(int argc, char** argv) {
    CLI::App app{"kep: inspect, check, picture and export KEP maps (versions 4 and 5).\n"
                 "Each subcommand has its own --help.",
                 "kep"};
    app.require_subcommand(1);

    kep::InfoOptions info;
    CLI::App* infoCommand =
        app.add_subcommand("info", "Print the map's version, counts, groups, meshes, textures, "
                                   "lightmaps and entities");
    AddMapArgument(infoCommand, info.map);
    infoCommand->add_flag("--json", info.json, "Print one JSON document instead of tables");

    kep::CheckOptions check;
    CLI::App* checkCommand = app.add_subcommand(
        "check", "Report the first fatal fault with its place, then every tolerated oddity.\n"
                 "Exit code 0: clean, 1: warnings only, 2: a fatal fault");
    AddMapArgument(checkCommand, check.map);

    kep::RenderOptions render;
    std::string size = "800x600", lightmaps = "on";
    CLI::App* renderCommand =
        app.add_subcommand("render", "Draw the scene the host builds into a PNG picture");
    AddMapArgument(renderCommand, render.map);
    renderCommand->add_option("OUT", render.picture, "PNG picture to write")->required();
    renderCommand->add_option("--size", size, "Picture size WIDTHxHEIGHT (16 to 8192 each)")
        ->capture_default_str();
    renderCommand
        ->add_option("--view", render.view,
                     "top: from above; iso: from above and in front; player: from the "
                     "info_player_start entity along its angle")
        ->check(CLI::IsMember({"top", "iso", "player"}))
        ->capture_default_str();
    renderCommand->add_option("--lightmaps", lightmaps, "Build and draw the lightmaps")
        ->check(CLI::IsMember({"on", "off"}))
        ->capture_default_str();

    kep::ExportOptions exportOptions;
    CLI::App* exportCommand = app.add_subcommand(
        "export", "Write the scene as glTF 2.0: OUT.glb (one file) or OUT.gltf (with OUT.bin "
                  "and PNG images beside it)");
    AddMapArgument(exportCommand, exportOptions.map);
    exportCommand->add_option("OUT", exportOptions.output, "glTF file to write (.gltf or .glb)")
        ->required();

    CLI11_PARSE(app, argc, argv);

    // Checking reads the map alone; the other commands build it beside the
    // stand-in host.
    if (checkCommand->parsed()) return kep::RunCheck(check);
    std::string hostError;
    if (!kepsession::LoadStandInHost(&hostError)) {
        std::fprintf(stderr, "kep: %s\n", hostError.c_str());
        return 2;
    }

    if (infoCommand->parsed()) return kep::RunInfo(info);
    if (exportCommand->parsed()) return kep::RunExport(exportOptions);

    char separator = 0;
    if (std::sscanf(size.c_str(), "%dx%d%c", &render.width, &render.height, &separator) != 2 ||
        render.width < 16 || render.height < 16 || render.width > 8192 || render.height > 8192) {
        std::fprintf(stderr, "kep render: --size wants WIDTHxHEIGHT, 16 to 8192 each: %s\n",
                     size.c_str());
        return 1;
    }
    render.lightmaps = lightmaps == "on";
    return kep::RunRender(render);
}
