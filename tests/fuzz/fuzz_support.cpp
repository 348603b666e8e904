#include "fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "host/host_functions.h"
#include "map/host_records.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "seed_maps.h"
#include "simhost/memblocks_images.h"
#include "simhost/scene.h"
#include "simhost/simhost.h"

namespace fuzz {

namespace {

std::string g_mapPath;

void WriteFileOrFail(const std::string& path, const uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || (size && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0)
        Fail("cannot write " + path);
}

std::vector<int32_t> Edges(int32_t count) {
    std::vector<int32_t> edges = {-1, 0, 1, INT_MIN, INT_MAX};
    for (int64_t near : {int64_t{count} - 1, int64_t{count}, int64_t{count} + 1})
        if (near >= INT_MIN && near <= INT_MAX) edges.push_back(static_cast<int32_t>(near));
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    return edges;
}

std::vector<int32_t> MapNumbers() {
    std::vector<int32_t> numbers;
    for (int32_t i = 0; i < g_plugin.maps.Count(); ++i)
        if (const KEP_Map* map = g_plugin.maps.At(i)) numbers.push_back(map->mapNumber);
    return numbers;
}

// Appends a result and the error state it left.
class Recorder {
  public:
    void Int(int64_t value) {
        m_text += std::to_string(value);
        Error();
    }
    // String results are host strings: each is handed back as the next
    // call's previous result, as a script does, and the last one freed here.
    template <class Call> void HostString(Call call) {
        m_previous = call(m_previous);
        m_text += m_previous ? m_previous : "(null)";
        Error();
    }
    template <class Call> void Buffer(std::size_t length, Call call) {
        // Exactly the room the text needs: a longer copy is a reported overflow.
        std::vector<char> buffer(length + 1, '\x7f');
        Int(call(buffer.data()));
        m_text.append(buffer.data(), buffer.size());
        m_text += ' ';
    }
    std::size_t LastLength() const { return m_previous ? std::strlen(m_previous) : 0; }
    std::string Finish() {
        if (m_previous) host::DeleteHostString(m_previous);
        m_previous = nullptr;
        return std::move(m_text);
    }

  private:
    void Error() {
        m_text += ':';
        m_text += std::to_string(KEP_GetLastError());
        if (KEP_GetLastError() == 0) m_text += g_plugin.lastErrorText.CStr();
        m_text += ' ';
    }
    std::string m_text;
    char* m_previous = nullptr;
};

const char* const kKeys[] = {nullptr, "", "name", "CLASSNAME", "\xff\x80odd"};

void PropertyAnswers(Recorder& r, int32_t component, int32_t index) {
    r.Int(KEP_Flags(component, index));
    const int32_t properties = KEP_PropertyCount(component, index);
    const bool known = KEP_GetLastError() != 0;
    r.Int(properties);
    // A component index that names nothing fails the same way whatever else
    // is asked: one property and one key are enough there.
    for (int32_t kind : {-1, 0, 1, 2}) {
        if (!known && kind != 0) continue;
        for (int32_t p : known ? Edges(properties) : std::vector<int32_t>{0}) {
            r.HostString(
                [&](char* previous) { return KEP_Property(previous, component, kind, index, p); });
            r.Buffer(r.LastLength(), [&](char* buffer) {
                return KEPCPP_Property(buffer, component, kind, index, p);
            });
        }
    }
    for (const char* key : kKeys) {
        r.HostString(
            [&](char* previous) { return KEP_PropertyByKey(previous, component, index, key); });
        r.Buffer(r.LastLength(),
                 [&](char* buffer) { return KEPCPP_PropertyByKey(buffer, component, index, key); });
        if (!known) break;
    }
}

std::string AnswersOfCurrentMap(const std::vector<int>& objectNumbers) {
    Recorder r;
    r.Int(KEP_GetCurrentMap());
    // How many maps there are belongs to no map: asked, not compared.
    const int32_t kMaps = 7;
    Recorder unrecorded;
    int32_t counts[9] = {};
    for (int32_t c = 0; c < 9; ++c)
        (c == kMaps ? unrecorded : r).Int(counts[c] = KEP_Count(c));
    for (int32_t c : {-1, 9, INT_MIN, INT_MAX})
        r.Int(KEP_Count(c));
    for (int32_t c = -1; c < 10; ++c)
        for (int32_t i : Edges(c >= 0 && c < 9 ? counts[c] : 0))
            PropertyAnswers(c == kMaps ? unrecorded : r, c, i);
    unrecorded.Finish();
    for (int32_t i : Edges(counts[0])) {
        r.Int(KEP_GroupToObject(i));
        r.Int(KEP_GroupToPivot(i));
    }
    for (int32_t i : Edges(counts[2])) {
        r.Int(KEP_EntityX(i));
        r.Int(KEP_EntityY(i));
        r.Int(KEP_EntityZ(i));
        r.Int(KEP_PivotID(i));
        r.Int(KEP_EntityToGroup(i));
    }
    for (int32_t i : Edges(counts[3])) {
        const int32_t surfaces = KEP_SurfaceCount(i);
        r.Int(surfaces);
        r.Int(KEP_MeshToGroup(i));
        for (int32_t s : Edges(surfaces))
            r.Int(KEP_SurfaceTexture(i, s));
    }
    for (int32_t i : Edges(counts[4])) {
        r.HostString([&](char* previous) { return KEP_TextureName(previous, i); });
        r.Buffer(r.LastLength(), [&](char* buffer) { return KEPCPP_TextureName(buffer, i); });
        r.Int(KEP_TextureID(i));
        r.Int(KEP_Texture(i));
    }
    for (int32_t i : Edges(counts[6]))
        r.Int(KEP_PivotToGroup(i));
    std::vector<int> objects = objectNumbers;
    objects.insert(objects.end(), {0, -1, INT_MIN, INT_MAX});
    for (int object : objects) {
        r.Int(KEP_ObjectToGroup(object));
        r.Int(KEP_GetMeshIndex(object));
    }
    return r.Finish();
}

} // namespace

void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

namespace {

const std::string& ScratchDir() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/kep_fuzz_XXXXXX";
        if (!mkdtemp(pattern)) Fail("no scratch directory");
        const std::string made = pattern;
        for (const std::string& name : SeedTextureNames())
            if (!simhost::WriteTestImageFile(made + "/" + name, 2, 2,
                                             std::vector<uint32_t>(4, 0xff336699u)))
                Fail("cannot write " + name);
        g_mapPath = made + "/input.kep";
        // The directory goes with the process; its files are small.
        std::atexit([] {
            std::remove(g_mapPath.c_str());
            const std::string dir = g_mapPath.substr(0, g_mapPath.rfind('/'));
            for (const std::string& name : SeedTextureNames())
                std::remove((dir + "/" + name).c_str());
            rmdir(dir.c_str());
        });
        return made;
    }();
    return dir;
}

void ResetPluginAndHost() {
    Destructor();
    g_plugin.lastErrorCode = 0;
    g_plugin.lastErrorText.Empty();
    g_plugin.mapNumberCounter = 0;
    g_plugin.settings.initialObject = 1000;
    g_plugin.settings.initialImage = 1000;
    g_plugin.blendMode = 8;
    g_plugin.settings.mediaIncluded = 0;
    g_plugin.settings.ambientColour = 0;
    g_plugin.build.limbCounter = 1;
    for (float& axis : g_plugin.build.buildOrigin)
        axis = 0.0f;
    g_plugin.build.recordLayout = HostRecordLayoutChoice();
    Constructor();
    simhost::Reset();
    simhost::MakeTestImage(kHarnessImage, 1, 1, {0xff00ff00u});
}

} // namespace

ScratchInput::ScratchInput() : m_previousDir(open(".", O_RDONLY | O_DIRECTORY)) {
    if (m_previousDir < 0 || chdir(ScratchDir().c_str()) != 0)
        Fail("cannot work in the scratch directory");
    ResetPluginAndHost();
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

int32_t LoadFromFile(const uint8_t* data, std::size_t size, int32_t lightmapFlag) {
    WriteFileOrFail(g_mapPath, data, size);
    return KEP_Load(g_mapPath.c_str(), lightmapFlag);
}

int32_t LoadFromMemblock(const uint8_t* data, std::size_t size, int32_t lightmapFlag) {
    host::memblock::DeleteMemblock(kMapMemblock);
    if (size > 0 && size <= simhost::kMaxMemblockSize) {
        host::memblock::MakeMemblock(kMapMemblock, static_cast<int32_t>(size));
        const uint32_t address = host::memblock::GetMemblockPtr(kMapMemblock);
        if (!address) Fail("the host made no map memblock");
        std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), data, size);
    }
    return KEP_MakeKEPFromMemblock(kMapMemblock, lightmapFlag);
}

Answers AnswersOfEveryMap(const std::vector<int>& objectNumbers) {
    KEP_Map* current = g_plugin.currentMap;
    Answers answers;
    for (int32_t number : MapNumbers()) {
        if (KEP_SetCurrentMap(number) != 1) Fail("map " + std::to_string(number) + " not found");
        answers[number] = AnswersOfCurrentMap(objectNumbers);
    }
    g_plugin.currentMap = current;
    return answers;
}

void CheckMapsUnchanged(const Answers& before, const std::vector<int>& objectNumbers,
                        const char* after) {
    const Answers now = AnswersOfEveryMap(objectNumbers);
    for (const auto& [number, text] : before) {
        const auto found = now.find(number);
        if (found == now.end()) Fail("map " + std::to_string(number) + " is gone after " + after);
        if (found->second != text) {
            std::size_t at = 0;
            while (at < text.size() && text[at] == found->second[at])
                ++at;
            const std::size_t from = at > 60 ? at - 60 : 0;
            Fail("map " + std::to_string(number) + " answers differently after " + after +
                 ":\n  before: ..." + text.substr(from, 160) + "\n  after:  ..." +
                 found->second.substr(from, 160));
        }
    }
}

void CheckHostOperations(const char* after) {
    for (const simhost::RefusedWrite& w : simhost::RefusedWrites())
        Fail(std::string(after) + ": the host refused " + w.function + " to memblock " +
             std::to_string(w.memblock) + " at " + std::to_string(w.position));
    for (int number : simhost::MemblockNumbers())
        if (number != kMapMemblock)
            Fail(std::string(after) + ": left memblock " + std::to_string(number));
    for (int number : simhost::MeshNumbers())
        Fail(std::string(after) + ": left mesh " + std::to_string(number));
}

void ChangeEveryMap() {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float tiny = std::numeric_limits<float>::denorm_min();
    KEP_Map* current = g_plugin.currentMap;
    for (int32_t number : MapNumbers()) {
        KEP_SetCurrentMap(number);
        for (int32_t p : Edges(KEP_Count(6))) {
            KEP_Move(p, 1.0f, -2.0f, tiny);
            KEP_Rotate(p, 90.0f, inf, -0.0f);
            KEP_Angle(p, nan, 45.0f, -inf);
            KEP_Position(p, 1e30f, -1e30f, 3.0f);
            KEP_Hide(p);
            KEP_Show(p);
        }
        const int32_t created = KEP_TextureCreate("fuzz.bmp", kHarnessImage);
        KEP_TextureCreate(nullptr, kHarnessImage);
        KEP_TextureCreate("", 0);
        const int32_t textures = KEP_Count(4);
        for (int32_t m : Edges(KEP_Count(3)))
            for (int32_t s : Edges(KEP_SurfaceCount(m)))
                for (int32_t t : {-1, 0, created, textures})
                    KEP_TextureMesh(m, s, t);
        KEP_HideMap();
        KEP_ShowMap();
    }
    g_plugin.currentMap = current;
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
            Fail("image " + std::to_string(number) + " left after clearing every map");
}

} // namespace fuzz
