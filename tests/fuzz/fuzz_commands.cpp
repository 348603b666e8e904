// Command sequences chosen by the fuzzer: every export with edge integers,
// null, empty, long and odd-byte strings and NaN, infinite and denormal
// floats, interleaved with loads of small valid maps and of fuzzer bytes,
// clears, map switches and the host's end call. Whenever a load fails, the
// maps loaded before it must answer every query exactly as before.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "host/host_functions.h"
#include "plugin/exports.h"
#include "simhost/scene.h"

namespace {

using namespace fuzz;

class Commands {
  public:
    explicit Commands(FuzzedDataProvider& input) : m_in(input) {}

    int32_t Int() {
        static const int32_t edges[] = {-1, 0, 1, 2, 3, 4, 7, 8, 9, 1000, 1001, INT_MIN, INT_MAX};
        const std::size_t pick = m_in.ConsumeIntegralInRange<std::size_t>(0, std::size(edges));
        return pick < std::size(edges) ? edges[pick] : m_in.ConsumeIntegral<int32_t>();
    }
    float Float() {
        static const float edges[] = {std::numeric_limits<float>::quiet_NaN(),
                                      std::numeric_limits<float>::infinity(),
                                      -std::numeric_limits<float>::infinity(),
                                      std::numeric_limits<float>::denorm_min(),
                                      -0.0f,
                                      0.0f,
                                      1.0f,
                                      -90.0f,
                                      std::numeric_limits<float>::max(),
                                      -std::numeric_limits<float>::max()};
        const std::size_t pick = m_in.ConsumeIntegralInRange<std::size_t>(0, std::size(edges));
        if (pick < std::size(edges)) return edges[pick];
        const uint32_t bits = m_in.ConsumeIntegral<uint32_t>();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // Null, empty, 260 characters (longer than a path), odd bytes, a
    // directory, the textures and the last map file, or text from the input.
    const char* Text() {
        static const std::string longText(260, 'a');
        static const char* const texts[] = {nullptr, "",      longText.c_str(), "\xff\xfe\x80\x01",
                                            ".",     "t.bmp", "T.BMP",          "input.kep",
                                            "name",  "caulk"};
        const std::size_t pick = m_in.ConsumeIntegralInRange<std::size_t>(0, std::size(texts));
        if (pick < std::size(texts)) return texts[pick];
        m_text = m_in.ConsumeRandomLengthString(300);
        return m_text.c_str();
    }

    // A host string result: handed back as the next call's previous result.
    void HostString(char* (*call)(char*, Commands&)) { m_previous = call(m_previous, *this); }
    void Finish() {
        host::DeleteHostString(m_previous);
        m_previous = nullptr;
    }

    // Runs a load; when it fails, the earlier maps must be as they were.
    // Every load asks every map everything twice: a few loads per input keep
    // an input well under a second.
    void Load(const std::function<int32_t()>& load) {
        if (++m_loads > 6) return;
        const std::vector<int> objects = simhost::ObjectNumbers();
        const Answers before = AnswersOfEveryMap(objects);
        if (load() == 0) CheckMapsUnchanged(before, objects, "a failed load");
    }

    FuzzedDataProvider& m_in;

  private:
    std::string m_text;
    char* m_previous = nullptr;
    int m_loads = 0;
};

// Buffer commands get exactly the room the text needs, from the string form.
template <class Text, class Copy> void BufferCall(Commands& c, Text text, Copy copy) {
    char* result = text(nullptr);
    const std::size_t length = result ? std::strlen(result) : 0;
    host::DeleteHostString(result);
    std::vector<char> buffer(length + 1);
    copy(c.m_in.ConsumeBool() ? buffer.data() : nullptr);
}

void Step(Commands& c) {
    FuzzedDataProvider& in = c.m_in;
    const std::vector<std::vector<uint8_t>>& maps = SmallMaps();
    switch (in.ConsumeIntegralInRange(0, 44)) {
    case 0: {
        const auto& map = maps[in.ConsumeIntegralInRange<std::size_t>(0, maps.size() - 1)];
        const int32_t flag = c.Int();
        c.Load([&] { return LoadFromFile(map.data(), map.size(), flag); });
        break;
    }
    case 1: {
        const auto& map = maps[in.ConsumeIntegralInRange<std::size_t>(0, maps.size() - 1)];
        const int32_t flag = c.Int();
        c.Load([&] { return LoadFromMemblock(map.data(), map.size(), flag); });
        break;
    }
    case 2:
    case 3: {
        const std::vector<uint8_t> bytes =
            in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 600));
        const int32_t flag = c.Int();
        const bool file = in.ConsumeBool();
        c.Load([&] {
            return file ? LoadFromFile(bytes.data(), bytes.size(), flag)
                        : LoadFromMemblock(bytes.data(), bytes.size(), flag);
        });
        break;
    }
    case 4: {
        const char* name = c.Text();
        const int32_t flag = c.Int();
        c.Load([&] { return KEP_Load(name, flag); });
        break;
    }
    case 5: {
        const int32_t memblock = c.Int(), flag = c.Int();
        c.Load([&] { return KEP_MakeKEPFromMemblock(memblock, flag); });
        break;
    }
    case 6:
        KEP_Clear();
        break;
    case 7:
        KEP_SetCurrentMap(c.Int());
        break;
    case 8:
        KEP_GetCurrentMap();
        break;
    case 9:
        Destructor();
        break;
    case 10:
        Constructor();
        break;
    case 11:
        KEP_InitialObject(c.Int());
        break;
    case 12:
        KEP_InitialImage(c.Int());
        break;
    case 13:
        KEP_BlendMode(static_cast<uint32_t>(c.Int()));
        break;
    case 14: {
        const float x = c.Float(), y = c.Float(), z = c.Float();
        KEP_MapOffset(x, y, z);
        break;
    }
    case 15:
        KEP_MediaIncluded(c.Int());
        break;
    case 16:
        KEP_SetAmbient(c.Int());
        break;
    case 17:
        KEP_ShowMap();
        break;
    case 18:
        KEP_HideMap();
        break;
    case 19:
        KEP_Count(c.Int());
        break;
    case 20:
        KEP_SurfaceCount(c.Int());
        break;
    case 21: {
        const int32_t mesh = c.Int(), surface = c.Int();
        KEP_SurfaceTexture(mesh, surface);
        break;
    }
    case 22:
        c.HostString([](char* p, Commands& cc) { return KEP_TextureName(p, cc.Int()); });
        break;
    case 23: {
        const int32_t texture = c.Int();
        BufferCall(
            c, [&](char* p) { return KEP_TextureName(p, texture); },
            [&](char* b) { return KEPCPP_TextureName(b, texture); });
        break;
    }
    case 24:
        KEP_TextureID(c.Int());
        break;
    case 25:
        KEP_Texture(c.Int());
        break;
    case 26: {
        const char* name = c.Text();
        KEP_TextureCreate(name, in.ConsumeBool() ? kHarnessImage : c.Int());
        break;
    }
    case 27: {
        const int32_t mesh = c.Int(), surface = c.Int(), texture = c.Int();
        KEP_TextureMesh(mesh, surface, texture);
        break;
    }
    case 28:
        KEP_EntityX(c.Int());
        break;
    case 29:
        KEP_EntityY(c.Int());
        break;
    case 30:
        KEP_EntityZ(c.Int());
        break;
    case 31:
        KEP_PivotID(c.Int());
        break;
    case 32:
        KEP_GetMeshIndex(c.Int());
        break;
    case 33: {
        const int32_t component = c.Int(), index = c.Int();
        KEP_Flags(component, index);
        KEP_PropertyCount(component, index);
        break;
    }
    case 34: {
        const int32_t component = c.Int(), kind = c.Int(), index = c.Int(), property = c.Int();
        BufferCall(
            c, [&](char* p) { return KEP_Property(p, component, kind, index, property); },
            [&](char* b) { return KEPCPP_Property(b, component, kind, index, property); });
        break;
    }
    case 35: {
        const int32_t component = c.Int(), index = c.Int();
        const char* key = c.Text();
        BufferCall(
            c, [&](char* p) { return KEP_PropertyByKey(p, component, index, key); },
            [&](char* b) { return KEPCPP_PropertyByKey(b, component, index, key); });
        break;
    }
    case 36:
    case 37:
    case 38:
    case 39: {
        void (*const turns[])(int32_t, float, float, float) = {KEP_Move, KEP_Position, KEP_Angle,
                                                               KEP_Rotate};
        const int32_t pivot = c.Int();
        const float x = c.Float(), y = c.Float(), z = c.Float();
        turns[in.ConsumeIntegralInRange(0, 3)](pivot, x, y, z);
        break;
    }
    case 40:
        (in.ConsumeBool() ? KEP_Show : KEP_Hide)(c.Int());
        break;
    case 41: {
        int32_t (*const mapping[])(int32_t) = {KEP_ObjectToGroup, KEP_GroupToObject,
                                               KEP_GroupToPivot,  KEP_PivotToGroup,
                                               KEP_MeshToGroup,   KEP_EntityToGroup};
        mapping[in.ConsumeIntegralInRange(0, 5)](c.Int());
        break;
    }
    case 42:
        c.HostString([](char* p, Commands&) { return KEP_GetLastErrorText(p); });
        KEP_GetLastError();
        break;
    case 43:
        c.HostString([](char* p, Commands&) { return KEP_Version(p); });
        break;
    case 44:
        GetDependencyID(c.Int()), GetNumDependencies();
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const fuzz::ScratchInput scratch;
    FuzzedDataProvider input(data, size);
    Commands commands(input);
    for (int steps = 0; steps < 48 && input.remaining_bytes() > 0; ++steps) {
        Step(commands);
        CheckHostOperations("a command");
    }
    commands.Finish();
    ClearEveryMapAndCheckHost();
    return 0;
}
