#include "fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "host/host_functions.h"
#include "kep_session.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "seed_maps.h"
#include "simhost/memblocks_images.h"
#include "simhost/scene.h"
#include "simhost/simhost.h"

namespace fuzz {

namespace {

std::string g_dir;

const std::string& ScratchDir() {
    if (g_dir.empty()) {
        char pattern[] = "/tmp/kep_fuzz_XXXXXX";
        if (!mkdtemp(pattern)) Fail("no scratch directory");
        g_dir = pattern;
        for (const std::string& name : SeedTextureNames())
            if (!simhost::WriteTestImageFile(g_dir + "/" + name, 2, 2,
                                             std::vector<uint32_t>(4, 0xff336699u)))
                Fail("cannot write " + name);
        std::atexit([] {
            for (const std::string& name : SeedTextureNames())
                std::remove((g_dir + "/" + name).c_str());
            std::remove((g_dir + "/input.kep").c_str());
            rmdir(g_dir.c_str());
        });
    }
    return g_dir;
}

// What each map answers about its size and its host objects and images:
// cheap enough to ask around every load.
std::map<int32_t, std::string> Summaries() {
    std::map<int32_t, std::string> summaries;
    KEP_Map* current = g_plugin.currentMap;
    for (int32_t i = 0; i < g_plugin.maps.Count(); ++i) {
        KEP_SetCurrentMap(g_plugin.maps.At(i)->mapNumber);
        std::string& text = summaries[g_plugin.maps.At(i)->mapNumber];
        for (int32_t component : {0, 1, 2, 3, 4, 5, 6, 8})
            text += std::to_string(KEP_Count(component)) + " ";
        for (int32_t g = 0; g < KEP_Count(0); ++g)
            text += "o" + std::to_string(KEP_GroupToObject(g));
        for (int32_t t = 0; t < KEP_Count(4); ++t)
            text += "i" + std::to_string(KEP_TextureID(t));
    }
    g_plugin.currentMap = current;
    return summaries;
}

} // namespace

void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

ScratchInput::ScratchInput() : m_previousDir(open(".", O_RDONLY | O_DIRECTORY)) {
    if (m_previousDir < 0 || chdir(ScratchDir().c_str()) != 0)
        Fail("cannot work in the scratch directory");
    kepsession::Restart();
    simhost::MakeTestImage(kHarnessImage, 1, 1, {0xff00ff00u});
}

ScratchInput::~ScratchInput() {
    if (fchdir(m_previousDir) != 0) Fail("cannot return to the working directory");
    close(m_previousDir);
}

const std::vector<std::vector<uint8_t>>& SmallMaps() {
    static const std::vector<std::vector<uint8_t>> maps = [] {
        std::vector<std::vector<uint8_t>> bytes;
        for (const auto& [name, map] : SeedMaps())
            bytes.push_back(kepw::Write(map));
        return bytes;
    }();
    return maps;
}

int32_t CheckedLoad(const std::function<int32_t()>& load) {
    const std::map<int32_t, std::string> before = Summaries();
    const int32_t result = load();
    CheckHostOperations("a load");
    if (result != 0) return result;
    const std::map<int32_t, std::string> after = Summaries();
    for (const auto& [number, summary] : before) {
        const auto found = after.find(number);
        if (found == after.end() || found->second != summary)
            Fail("map " + std::to_string(number) + " changed in a failed load: " + summary + " / " +
                 (found == after.end() ? "gone" : found->second));
    }
    return result;
}

int32_t LoadBytes(const uint8_t* data, std::size_t size, bool fromFile, int32_t lightmapFlag) {
    const kepw::Bytes bytes(data, data + size);
    if (fromFile) {
        const std::string path = ScratchDir() + "/input.kep";
        if (!kepw::WriteFile(path, bytes)) Fail("cannot write " + path);
        return CheckedLoad([&] { return KEP_Load(path.c_str(), lightmapFlag); });
    }
    host::memblock::DeleteMemblock(kMapMemblock);
    if (size <= simhost::kMaxMemblockSize && !kepsession::PutInMemblock(kMapMemblock, bytes))
        Fail("the host made no map memblock");
    return CheckedLoad([&] { return KEP_MakeKEPFromMemblock(kMapMemblock, lightmapFlag); });
}

void CheckHostOperations(const char* after) {
    for (const simhost::RefusedWrite& w : simhost::RefusedWrites())
        Fail(std::string(after) + ": the host refused " + w.function + " to memblock " +
             std::to_string(w.memblock) + " at " + std::to_string(w.position));
    for (int number : simhost::MemblockNumbers())
        if (number != kMapMemblock)
            Fail(std::string(after) + ": left memblock " + std::to_string(number));
    if (!simhost::MeshNumbers().empty()) Fail(std::string(after) + ": left a mesh");
}

void ClearEveryMapAndCheckHost() {
    for (int32_t guard = g_plugin.maps.Count(); g_plugin.maps.Count() > 0; --guard) {
        if (guard < 0) Fail("KEP CLEAR does not clear");
        KEP_Clear();
    }
    CheckHostOperations("clearing");
    if (!simhost::ObjectNumbers().empty()) Fail("objects left after clearing every map");
    for (int number : simhost::ImageNumbers())
        if (number != kHarnessImage)
            Fail("image " + std::to_string(number) + " left after clearing");
}

} // namespace fuzz
