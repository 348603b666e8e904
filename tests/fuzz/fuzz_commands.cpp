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

#include "core/bits_and_case.h"
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
        return KepFloatFromBits(m_in.ConsumeIntegral<uint32_t>());
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

const std::vector<uint8_t>& AnySmallMap(FuzzedDataProvider& in) {
    const std::vector<std::vector<uint8_t>>& maps = SmallMaps();
    return maps[in.ConsumeIntegralInRange<std::size_t>(0, maps.size() - 1)];
}

// One entry per step kind; arguments are drawn in parameter order.
using Step = void (*)(Commands&);
const Step kSteps[] = {
    [](Commands& c) {
        const auto& map = AnySmallMap(c.m_in);
        const int32_t flag = c.Int();
        const bool file = c.m_in.ConsumeBool();
        c.Load([&] {
            return file ? LoadFromFile(map.data(), map.size(), flag)
                        : LoadFromMemblock(map.data(), map.size(), flag);
        });
    },
    [](Commands& c) {
        const std::vector<uint8_t> bytes =
            c.m_in.ConsumeBytes<uint8_t>(c.m_in.ConsumeIntegralInRange<std::size_t>(0, 600));
        const int32_t flag = c.Int();
        const bool file = c.m_in.ConsumeBool();
        c.Load([&] {
            return file ? LoadFromFile(bytes.data(), bytes.size(), flag)
                        : LoadFromMemblock(bytes.data(), bytes.size(), flag);
        });
    },
    [](Commands& c) {
        const char* name = c.Text();
        const int32_t flag = c.Int();
        c.Load([&] { return KEP_Load(name, flag); });
    },
    [](Commands& c) {
        const int32_t memblock = c.Int(), flag = c.Int();
        c.Load([&] { return KEP_MakeKEPFromMemblock(memblock, flag); });
    },
    [](Commands&) { KEP_Clear(); },
    [](Commands& c) { KEP_SetCurrentMap(c.Int()), KEP_GetCurrentMap(); },
    [](Commands&) { Destructor(); },
    [](Commands&) { Constructor(); },
    [](Commands& c) { KEP_InitialObject(c.Int()), KEP_InitialImage(c.Int()); },
    [](Commands& c) { KEP_BlendMode(static_cast<uint32_t>(c.Int())), KEP_MediaIncluded(c.Int()); },
    [](Commands& c) {
        const float x = c.Float(), y = c.Float(), z = c.Float();
        KEP_MapOffset(x, y, z);
    },
    [](Commands& c) { KEP_SetAmbient(c.Int()); },
    [](Commands& c) { (c.m_in.ConsumeBool() ? KEP_ShowMap : KEP_HideMap)(); },
    [](Commands& c) {
        int32_t (*const queries[])(int32_t) = {
            KEP_Count,        KEP_SurfaceCount, KEP_TextureID,     KEP_Texture,
            KEP_PivotID,      KEP_GetMeshIndex, KEP_ObjectToGroup, KEP_GroupToObject,
            KEP_GroupToPivot, KEP_PivotToGroup, KEP_MeshToGroup,   KEP_EntityToGroup};
        queries[c.m_in.ConsumeIntegralInRange<std::size_t>(0, std::size(queries) - 1)](c.Int());
    },
    [](Commands& c) {
        uint32_t (*const coordinates[])(int32_t) = {KEP_EntityX, KEP_EntityY, KEP_EntityZ};
        coordinates[c.m_in.ConsumeIntegralInRange(0, 2)](c.Int());
    },
    [](Commands& c) {
        const int32_t mesh = c.Int(), surface = c.Int();
        KEP_SurfaceTexture(mesh, surface);
    },
    [](Commands& c) {
        c.HostString([](char* p, Commands& cc) { return KEP_TextureName(p, cc.Int()); });
    },
    [](Commands& c) {
        const int32_t texture = c.Int();
        BufferCall(
            c, [&](char* p) { return KEP_TextureName(p, texture); },
            [&](char* b) { return KEPCPP_TextureName(b, texture); });
    },
    [](Commands& c) {
        const char* name = c.Text();
        KEP_TextureCreate(name, c.m_in.ConsumeBool() ? kHarnessImage : c.Int());
    },
    [](Commands& c) {
        const int32_t mesh = c.Int(), surface = c.Int(), texture = c.Int();
        KEP_TextureMesh(mesh, surface, texture);
    },
    [](Commands& c) {
        const int32_t component = c.Int(), index = c.Int();
        KEP_Flags(component, index);
        KEP_PropertyCount(component, index);
    },
    [](Commands& c) {
        const int32_t component = c.Int(), kind = c.Int(), index = c.Int(), property = c.Int();
        BufferCall(
            c, [&](char* p) { return KEP_Property(p, component, kind, index, property); },
            [&](char* b) { return KEPCPP_Property(b, component, kind, index, property); });
    },
    [](Commands& c) {
        const int32_t component = c.Int(), index = c.Int();
        const char* key = c.Text();
        BufferCall(
            c, [&](char* p) { return KEP_PropertyByKey(p, component, index, key); },
            [&](char* b) { return KEPCPP_PropertyByKey(b, component, index, key); });
    },
    [](Commands& c) {
        void (*const turns[])(int32_t, float, float, float) = {KEP_Move, KEP_Position, KEP_Angle,
                                                               KEP_Rotate};
        const int32_t pivot = c.Int();
        const float x = c.Float(), y = c.Float(), z = c.Float();
        turns[c.m_in.ConsumeIntegralInRange(0, 3)](pivot, x, y, z);
    },
    [](Commands& c) { (c.m_in.ConsumeBool() ? KEP_Show : KEP_Hide)(c.Int()); },
    [](Commands& c) {
        c.HostString([](char* p, Commands&) { return KEP_GetLastErrorText(p); });
        KEP_GetLastError();
    },
    [](Commands& c) { c.HostString([](char* p, Commands&) { return KEP_Version(p); }); },
    [](Commands& c) { GetDependencyID(c.Int()), GetNumDependencies(); },
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const fuzz::ScratchInput scratch;
    FuzzedDataProvider input(data, size);
    Commands commands(input);
    for (int steps = 0; steps < 48 && input.remaining_bytes() > 0; ++steps) {
        kSteps[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kSteps) - 1)](commands);
        CheckHostOperations("a command");
    }
    commands.Finish();
    ClearEveryMapAndCheckHost();
    return 0;
}
