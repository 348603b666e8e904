// `kep check` on one table of maps from the writer: each broken map must be
// reported with the place of its fault, each tolerated oddity as a warning
// with its place, and the exit code must say which it was.
#include <string>
#include <vector>

#include "load_helpers.h"
#include "map_check.h"

namespace {

// One mesh of one tile: two triangles over four vertices, textured "a.bmp".
kepw::Map OneMesh(int32_t lightmap = 0, const char* texture = "a.bmp") {
    kepw::Surface tile = kepw::TriangleSurface(texture, lightmap);
    tile.vertices.push_back(tile.vertices[0]);
    tile.triangles.push_back({0, 2, 3});
    kepw::Map map;
    map.meshes = {kepw::Mesh{}};
    map.meshes[0].surfaces = {std::move(tile)};
    return map;
}

struct Case {
    const char* name;
    kepw::Bytes bytes;
    int exitCode;
    std::vector<std::string> findings;
};

// The maps lie in `dir`, the one folder that holds the texture "a.bmp".
std::vector<Case> Cases(const std::string& dir) {
    const kepw::Bytes whole = kepw::Write(OneMesh());
    // Two vertices written, three announced: vertex 3 starts on the entity
    // count, the last 4 bytes, and lacks the other 56 of its 60.
    kepw::Map short3 = OneMesh();
    kepw::Surface& cut = short3.meshes[0].surfaces[0];
    cut.vertices.resize(2);
    cut.triangles.clear();
    cut.vertexCount = 3;
    const kepw::Bytes shortBytes = kepw::Write(short3);
    // A 4x4 lightmap (64 bytes) with 3 pixels: 12 bytes and the two section
    // counts after it are all that is left, 44 short.
    kepw::Map lightmapShort;
    lightmapShort.lightmaps = {{4, 4, {1, 2, 3}}};
    const kepw::Bytes lightmapBytes = kepw::Write(lightmapShort);
    // Everything the plug-in reads past without stopping: group links first,
    // then what the readers met, in file order.
    kepw::Map odd = OneMesh(2); // lightmap 2 of none
    odd.version = 5;
    odd.visGroups = {{"only", {}}};
    odd.groups = {{0, 9, "name=orphan\r\nbare", {}}, // parent 9: no such group
                  {0, 3, "name=a", {}},              // a cycle 2 -> 3 -> 2
                  {0, 2, "name=b", {}}};
    odd.meshes[0].surfaces[0].triangles.push_back({1, 2, 9});
    odd.meshes[0].visGroupNumber = 3;
    odd.meshes[0].properties = "solid";
    odd.entities = {{-2, 0, "classname=light\n\nlonely", {}}};
    const auto end = [](const kepw::Bytes& bytes) { return std::to_string(bytes.size()); };
    return {
        {"clean", whole, 0, {}},
        {"vertices cut short",
         shortBytes,
         2,
         {"mesh 1, surface 1: vertex data ends at byte " + end(shortBytes) + " (needs 56 more)"}},
        {"lightmap pixels cut short",
         lightmapBytes,
         2,
         {"lightmap 1: pixels ends at byte " + end(lightmapBytes) + " (needs 44 more)"}},
        {"foreign version", kepw::WithVersion(whole, 6), 2, {"Unsupported Version"}},
        {"empty file", {}, 2, {"header: ends at byte 0 (needs 4 more)"}},
        {"texture file missing",
         kepw::Write(OneMesh(0, "missing.bmp")),
         2,
         {"mesh 1, surface 1: Unable to find texture: " + dir + "/missing.bmp"}},
        {"tolerated oddities",
         kepw::Write(odd),
         1,
         {"group 1: parent group number 9 names no group",
          "group 2: its parents lead back to it (a parent cycle)",
          "group 1: property line 2 \"bare\" has no \"=\"", "mesh 1: visgroup number 3 names none",
          "mesh 1: property line 1 \"solid\" has no \"=\"",
          "mesh 1, surface 1, triangle 3: corner 3 names vertex 9 of 4",
          "mesh 1, surface 1: lightmap number 2 names none",
          "entity 1: visgroup number -2 names none",
          "entity 1: property line 3 \"lonely\" has no \"=\""}},
    };
}

TEST_F(PluginTest, KepCheckReportsEachFaultWithItsPlace) {
    TempDir dir;
    WriteImageFile(dir.Place("a.bmp"));
    const std::string path = dir.Place("map.kep");
    for (const Case& c : Cases(dir.Path())) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(kepw::WriteFile(path, c.bytes));
        const std::vector<kep::Finding> findings = kep::CheckMap(path);
        std::vector<std::string> texts;
        for (const kep::Finding& finding : findings)
            texts.push_back(finding.text);
        EXPECT_EQ(texts, c.findings);
        EXPECT_EQ(kep::CheckExitCode(findings), c.exitCode);
    }
}

} // namespace
