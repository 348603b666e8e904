#include "map_report.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>

#include "commands/command_support.h"
#include "kep_session.h"
#include "map/kep_model.h"
#include "plugin/exports.h"
#include "simhost/scene.h"
#include "simhost/simhost.h"

namespace kep {
namespace {

using json = nlohmann::ordered_json;

std::string Text(const Cstring& text) {
    return text.CStr();
}

json Properties(const KEP_Properties& properties) {
    json out = json::object();
    for (int32_t i = 0; i < properties.Count(); ++i)
        out[properties.Key(i)] = properties.Value(i);
    return out;
}

// A property's value looked up without regard to case, as the plug-in does.
std::string PropertyValue(const KEP_Properties& properties, const std::string& key) {
    const std::string wanted = KEP_UpperCase(key);
    for (int32_t i = 0; i < properties.Count(); ++i)
        if (KEP_UpperCase(properties.Key(i)) == wanted) return properties.Value(i);
    return "";
}

template <class List, class Record> int32_t IndexIn(const List& list, const Record* record) {
    for (int32_t i = 0; record && i < list.Count(); ++i)
        if (list.At(i) == record) return i;
    return -1;
}

json Groups(const KEP_Map& map) {
    json groups = json::array();
    for (int32_t g = -1; g < static_cast<int32_t>(map.groups.Count()) - 1; ++g) {
        const KEP_Group* group = GroupAtIndex(g);
        if (!group) continue;
        groups.push_back({{"index", g},
                          {"name", g < 0 ? "" : PropertyValue(group->properties, "name")},
                          {"parent", group->parent ? GroupIndexOf(group->parent) : -1},
                          {"object", KEP_GroupToObject(g)},
                          {"pivot", KEP_GroupToPivot(g)},
                          {"meshes", group->meshes.Count()},
                          {"properties", Properties(group->properties)}});
    }
    return groups;
}

json Meshes(const KEP_Map& map) {
    json meshes = json::array();
    for (int32_t m = 0; m < map.meshes.Count(); ++m) {
        const KEP_Mesh* mesh = map.meshes.At(m);
        json surfaces = json::array();
        for (int32_t s = 0; s < mesh->surfaces.Count(); ++s) {
            const KEP_Surface* surface = mesh->surfaces.At(s);
            surfaces.push_back({{"texture", surface->textureIndex},
                                {"lightmap", surface->lightmapIndex},
                                {"vertices", surface->vertexCount},
                                {"triangles", surface->triangleCount},
                                {"object", surface->build.object},
                                {"limb", surface->build.limb}});
        }
        meshes.push_back({{"index", m},
                          {"group", KEP_MeshToGroup(m)},
                          {"visgroup", IndexIn(map.visGroups, mesh->visGroup)},
                          {"surfaces", surfaces},
                          {"properties", Properties(mesh->properties)}});
    }
    return meshes;
}

json Textures(const KEP_Map& map) {
    json textures = json::array();
    for (int32_t t = 0; t < map.textures.Count(); ++t) {
        const KEP_TextureInfo* texture = map.textures.At(t);
        const std::string file = std::string(map.mapDirectory) + texture->name.CStr();
        std::error_code ignored;
        textures.push_back({{"index", t},
                            {"name", Text(texture->name)},
                            {"file", file},
                            {"found", std::filesystem::exists(file, ignored)},
                            {"image", texture->build.image}});
    }
    return textures;
}

json Lightmaps(const KEP_Map& map) {
    json lightmaps = json::array();
    for (int32_t l = 0; l < map.lightmaps.Count(); ++l) {
        const KEP_Lightmap* lightmap = map.lightmaps.At(l);
        lightmaps.push_back({{"index", l},
                             {"width", lightmap->width},
                             {"height", lightmap->height},
                             {"image", lightmap->build.image}});
    }
    return lightmaps;
}

json Entities(const KEP_Map& map) {
    json entities = json::array();
    for (int32_t e = 0; e < map.entities.Count(); ++e) {
        const KEP_Entity* entity = map.entities.At(e);
        entities.push_back(
            {{"index", e},
             {"classname", PropertyValue(entity->properties, "classname")},
             {"position", {entity->position[0], entity->position[1], entity->position[2]}},
             {"group", KEP_EntityToGroup(e)},
             {"pivot", KEP_PivotID(e)},
             {"properties", Properties(entity->properties)}});
    }
    return entities;
}

// What the stand-in host holds: the numbers a viewer of an export counts.
json HostScene() {
    int32_t objects = 0, limbs = 0, meshLimbs = 0;
    uint32_t vertices = 0;
    for (int number : simhost::ObjectNumbers()) {
        simhost::ObjectState object;
        if (!simhost::FindObject(number, &object)) continue;
        ++objects;
        for (const simhost::LimbState& limb : object.limbs) {
            ++limbs;
            if (limb.vertexCount == 0) continue;
            ++meshLimbs;
            vertices += limb.vertexCount;
        }
    }
    // Where the visible scene lies in world space, as the host places it.
    double low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
    bool first = true;
    for (const simhost::WorldTriangle& triangle : simhost::VisibleWorldTriangles())
        for (const simhost::WorldPoint& p : triangle.position) {
            const double at[3] = {p.x, p.y, p.z};
            for (int axis = 0; axis < 3; ++axis) {
                low[axis] = first ? at[axis] : std::min(low[axis], at[axis]);
                high[axis] = first ? at[axis] : std::max(high[axis], at[axis]);
            }
            first = false;
        }
    return {{"objects", objects},
            {"limbs", limbs},
            {"meshes", meshLimbs},
            {"vertices", vertices},
            {"triangles", vertices / 3},
            {"bounds", {{"min", {low[0], low[1], low[2]}}, {"max", {high[0], high[1], high[2]}}}}};
}

} // namespace

json DescribeMap(const KEP_Map& map) {
    json report;
    report["plugin"] = kepsession::PluginVersion();
    report["version"] = map.version;
    report["counts"] = {{"groups", map.groups.Count() - 1},   {"visgroups", map.visGroups.Count()},
                        {"meshes", map.meshes.Count()},       {"textures", map.textures.Count()},
                        {"lightmaps", map.lightmaps.Count()}, {"entities", map.entities.Count()},
                        {"pivots", map.pivots.Count()},       {"objects", map.build.objectsBuilt}};
    report["groups"] = Groups(map);
    report["meshes"] = Meshes(map);
    report["textures"] = Textures(map);
    report["lightmaps"] = Lightmaps(map);
    report["entities"] = Entities(map);
    report["host"] = HostScene();
    simhost::ReleaseHostStrings();
    return report;
}

namespace {

std::string PropertyLine(const json& properties) {
    std::string line;
    for (const auto& entry : properties.items()) {
        if (!line.empty()) line += ", ";
        line += entry.key() + "=" + entry.value().get<std::string>();
    }
    return line;
}

} // namespace

void PrintMapTables(const json& report, std::FILE* out) {
    const json& counts = report["counts"];
    const json& host = report["host"];
    std::fprintf(out,
                 "%s\nKEP version %d: %d groups, %d visgroups, %d meshes, %d textures, "
                 "%d lightmaps,\n  %d entities of which %d pivots; %d host objects built\n"
                 "Host scene: %d objects, %d limbs, %d meshes, %d vertices, %d triangles\n",
                 report["plugin"].get<std::string>().c_str(), report["version"].get<int>(),
                 counts["groups"].get<int>(), counts["visgroups"].get<int>(),
                 counts["meshes"].get<int>(), counts["textures"].get<int>(),
                 counts["lightmaps"].get<int>(), counts["entities"].get<int>(),
                 counts["pivots"].get<int>(), counts["objects"].get<int>(),
                 host["objects"].get<int>(), host["limbs"].get<int>(), host["meshes"].get<int>(),
                 host["vertices"].get<int>(), host["triangles"].get<int>());

    std::fprintf(out, "\nGroups (index: name, parent, host object, pivot, meshes)\n");
    for (const json& g : report["groups"])
        std::fprintf(out, "  %3d: %-14s parent %-4d object %-5d pivot %-4d meshes %d\n",
                     g["index"].get<int>(),
                     g["index"].get<int>() < 0 ? "(no group)"
                                               : g["name"].get<std::string>().c_str(),
                     g["parent"].get<int>(), g["object"].get<int>(), g["pivot"].get<int>(),
                     g["meshes"].get<int>());

    std::fprintf(out, "Meshes (index: group, visgroup, surfaces, texture of the first)\n");
    for (const json& m : report["meshes"]) {
        const json& surfaces = m["surfaces"];
        std::fprintf(out, "  %3d: group %-4d visgroup %-4d %zu surfaces, texture %d\n",
                     m["index"].get<int>(), m["group"].get<int>(), m["visgroup"].get<int>(),
                     surfaces.size(), surfaces.empty() ? -1 : surfaces[0]["texture"].get<int>());
    }

    std::fprintf(out, "Textures (index: name, host image, file)\n");
    for (const json& t : report["textures"])
        std::fprintf(out, "  %3d: %-14s image %-5d %s%s\n", t["index"].get<int>(),
                     t["name"].get<std::string>().c_str(), t["image"].get<int>(),
                     t["file"].get<std::string>().c_str(),
                     t["found"].get<bool>() ? "" : " (not found)");

    std::fprintf(out, "Lightmaps (index: width x height, host image)\n");
    for (const json& l : report["lightmaps"])
        std::fprintf(out, "  %3d: %d x %d, image %d\n", l["index"].get<int>(),
                     l["width"].get<int>(), l["height"].get<int>(), l["image"].get<int>());

    std::fprintf(out, "Entities (index: classname at x, y, z; group, pivot; properties)\n");
    for (const json& e : report["entities"]) {
        const json& p = e["position"];
        std::fprintf(out, "  %3d: %-18s at %7.2f %7.2f %7.2f  group %-4d pivot %-4d %s\n",
                     e["index"].get<int>(), e["classname"].get<std::string>().c_str(),
                     p[0].get<double>(), p[1].get<double>(), p[2].get<double>(),
                     e["group"].get<int>(), e["pivot"].get<int>(),
                     PropertyLine(e["properties"]).c_str());
    }
}

} // namespace kep
