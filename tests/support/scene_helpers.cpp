#include "scene_helpers.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "simhost/memblocks_images.h"

namespace scene_test {
namespace {

const int kMeshMemblock = 30;

void ResetBuilderState() {
    g_plugin.limbCounter = 1;
    for (float& axis : g_plugin.buildOrigin)
        axis = 0.0f;
    for (float& axis : g_plugin.mapOffset)
        axis = 0.0f;
}

std::string UpperCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

void PutWord(std::vector<uint8_t>& bytes, double position, uint32_t value) {
    if (position < 0 || position + 4 > static_cast<double>(bytes.size())) return;
    std::memcpy(bytes.data() + static_cast<std::size_t>(position), &value, 4);
}

uint32_t Word(const std::vector<uint8_t>& bytes, std::size_t at) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

float FloatAt(const std::vector<uint8_t>& bytes, std::size_t at) {
    float value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

} // namespace

void SceneTest::SetUp() {
    PluginTest::SetUp();
    ResetBuilderState();
}

void SceneTest::TearDown() {
    PluginTest::TearDown();
    ResetBuilderState();
}

void SceneTest::WriteTextures(const kepw::Map& map) {
    std::set<std::string> written;
    for (const kepw::Mesh& mesh : map.meshes)
        for (const kepw::Surface& surface : mesh.surfaces) {
            if (surface.texture.empty()) continue;
            if (UpperCase(surface.texture).find("CAULK") != std::string::npos) continue;
            if (!written.insert(surface.texture).second) continue;
            const std::string path = m_dir.Place(surface.texture);
            ASSERT_TRUE(simhost::WriteTestImageFile(
                path, 2, 2, std::vector<uint32_t>(4, TextureColour(surface.texture))))
                << path;
        }
}

int32_t SceneTest::LoadFile(const kepw::Map& map, int32_t lightmapFlag) {
    WriteTextures(map);
    const std::string path = m_dir.Place("map.kep");
    EXPECT_TRUE(kepw::WriteFile(path, kepw::Write(map))) << path;
    simhost::ClearCalls();
    return KEP_Load(path.c_str(), lightmapFlag);
}

int32_t SceneTest::LoadMemblock(const kepw::Map& map, int32_t lightmapFlag) {
    return LoadMemblockBytes(map, kepw::Write(map), lightmapFlag);
}

int32_t SceneTest::LoadMemblockBytes(const kepw::Map& map, const kepw::Bytes& bytes,
                                     int32_t lightmapFlag) {
    WriteTextures(map);
    ScopedWorkingDir inDir(m_dir.Path());
    PutBytesInMemblock(kMapMemblock, bytes);
    return KEP_MakeKEPFromMemblock(kMapMemblock, lightmapFlag);
}

uint32_t TextureColour(const std::string& name) {
    // FNV-1a over the upper-cased name: names that differ only in case are
    // one texture, others (almost surely) differ in colour.
    uint32_t hash = 2166136261u;
    for (char c : UpperCase(name)) {
        hash ^= static_cast<uint8_t>(c);
        hash *= 16777619u;
    }
    return 0xff000000u | (hash & 0x00ffffffu);
}

kepw::Vertex DistinctVertex(float x, float y, float z, int32_t seed) {
    kepw::Vertex v;
    const float s = static_cast<float>(seed);
    v.position = {x, y, z};
    v.normal = {0.5f + s, -0.25f, 0.125f * s};
    v.colour = {seed & 0xff, (seed * 7) & 0xff, (seed * 13) & 0xff};
    v.uv = {0.25f * s, 1.5f + s};
    v.uvW = 9.0f;
    v.lightmapUv = {0.0625f * s, 0.75f + s};
    v.lightmapW = 8.0f;
    return v;
}

kepw::Surface MakeSurface(const std::string& texture, int32_t lightmap,
                          std::vector<kepw::Vertex> vertices,
                          std::vector<std::array<int32_t, 3>> triangles) {
    kepw::Surface s;
    s.texture = texture;
    s.lightmap = lightmap;
    s.vertices = std::move(vertices);
    s.triangles = std::move(triangles);
    return s;
}

kepw::Surface OneTriangle(const std::string& texture, int32_t lightmap, float x, float y, float z,
                          int32_t seed) {
    return MakeSurface(texture, lightmap,
                       {DistinctVertex(x, y, z, seed), DistinctVertex(x + 1, y, z, seed + 1),
                        DistinctVertex(x, y + 1, z, seed + 2)},
                       {{0, 1, 2}});
}

kepw::Entity Pivot(int32_t group, float x, float y, float z) {
    kepw::Entity e;
    e.group = group;
    e.properties = "classname=pivot";
    e.position = {x, y, z};
    return e;
}

std::vector<SentMeshMemblock> SentMeshMemblocks() {
    std::vector<SentMeshMemblock> sent;
    std::vector<uint8_t> block;
    bool exists = false;
    int32_t madeSize = 0, dwordWrites = 0, floatWrites = 0;
    for (const simhost::Call& call : simhost::Calls()) {
        const std::vector<double> args = ArgsOf(call);
        if (args.empty() || args[0] != kMeshMemblock) {
            if (call.name == "CreateMeshFromMemblock" && args.size() == 2 &&
                args[1] == kMeshMemblock) {
                sent.push_back(
                    {madeSize, exists ? block : std::vector<uint8_t>(), dwordWrites, floatWrites});
                dwordWrites = floatWrites = 0;
            }
            continue;
        }
        if (call.name == "MakeMemblock") {
            madeSize = static_cast<int32_t>(args.at(1));
            exists = madeSize > 0;
            block.assign(exists ? static_cast<std::size_t>(madeSize) : 0, 0);
        } else if (call.name == "DeleteMemblock") {
            exists = false;
            block.clear();
        } else if (call.name == "WriteMemblockDWord") {
            // Values up to 999,999,999 survive the host's %.9g record exactly,
            // which covers every word a mesh memblock holds.
            PutWord(block, args.at(1), static_cast<uint32_t>(args.at(2)));
            ++dwordWrites;
        } else if (call.name == "WriteMemblockFloat") {
            const float value = static_cast<float>(args.at(2));
            uint32_t bits = 0;
            std::memcpy(&bits, &value, 4);
            PutWord(block, args.at(1), bits);
            ++floatWrites;
        }
    }
    return sent;
}

DecodedMeshMemblock DecodeMeshMemblock(const std::vector<uint8_t>& bytes) {
    DecodedMeshMemblock out;
    if (bytes.size() < 12) return out;
    out.flags = Word(bytes, 0);
    out.stride = Word(bytes, 4);
    out.count = Word(bytes, 8);
    if (out.stride < 36) return out;
    for (uint32_t i = 0; i < out.count; ++i) {
        const std::size_t at = 12 + std::size_t{i} * out.stride;
        if (at + out.stride > bytes.size()) break;
        MemblockVertex v;
        for (int k = 0; k < 3; ++k) {
            v.position[k] = FloatAt(bytes, at + 4 * k);
            v.normal[k] = FloatAt(bytes, at + 12 + 4 * k);
        }
        v.diffuse = Word(bytes, at + 24);
        v.uv[0] = FloatAt(bytes, at + 28);
        v.uv[1] = FloatAt(bytes, at + 32);
        if (out.stride >= 44) {
            v.uv2[0] = FloatAt(bytes, at + 36);
            v.uv2[1] = FloatAt(bytes, at + 40);
        }
        out.vertices.push_back(v);
    }
    return out;
}

std::string CallText(const std::string& name, std::initializer_list<double> args) {
    return name + "(" + simhost::FormatArgs(args) + ")";
}

std::vector<std::string> CallsAmong(const std::set<std::string>& names) {
    std::vector<std::string> texts;
    for (const simhost::Call& call : simhost::Calls())
        if (names.count(call.name)) texts.push_back(call.Text());
    return texts;
}

std::vector<std::string> AllCallTexts() {
    std::vector<std::string> texts;
    for (const simhost::Call& call : simhost::Calls())
        texts.push_back(call.Text());
    return texts;
}

std::vector<double> ArgsOf(const simhost::Call& call) {
    std::vector<double> values;
    const char* at = call.args.c_str();
    while (*at) {
        char* end = nullptr;
        const double value = std::strtod(at, &end);
        if (end == at) break; // not a number (a file name): stop here
        values.push_back(value);
        at = *end == ',' ? end + 1 : end;
    }
    return values;
}

KEP_Group* Group(int32_t number) {
    KEP_Map* map = g_plugin.currentMap;
    return map ? GroupNumbered(*map, number) : nullptr;
}

KEP_Surface* SurfaceOf(int32_t mesh, int32_t surface) {
    KEP_Map* map = g_plugin.currentMap;
    if (!map) return nullptr;
    const KEP_Mesh* found = map->meshes.At<KEP_Mesh>(mesh);
    return found ? found->surfaces.At<KEP_Surface>(surface) : nullptr;
}

simhost::ObjectState ObjectOf(int number) {
    simhost::ObjectState state;
    EXPECT_TRUE(simhost::FindObject(number, &state)) << "no host object " << number;
    return state;
}

simhost::LimbState LimbOf(int object, int limb) {
    const simhost::ObjectState state = ObjectOf(object);
    for (const simhost::LimbState& found : state.limbs)
        if (found.number == limb) return found;
    ADD_FAILURE() << "object " << object << " has no limb " << limb;
    return simhost::LimbState();
}

} // namespace scene_test
