// Command sequences chosen by the fuzzer: every export, with arguments drawn
// by its parameter types (edge integers; NaN, infinite and denormal floats;
// null, empty, long and odd-byte texts; or the fuzzer's own), interleaved with
// loads of the sample map and of fuzzer bytes and the host's start and end
// calls. (The tests' checks of a loaded map do not hold here: commands may
// point a map's textures at any image.)
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "core/bits_and_case.h"
#include "fuzz_support.h"
#include "host/host_functions.h"
#include "kep_session.h"
#include "plugin/exports.h"

namespace {

class Commands {
  public:
    explicit Commands(FuzzedDataProvider& input) : in(input) {}
    ~Commands() { host::DeleteHostString(m_previous); }

    template <class T> T Draw() {
        if constexpr (std::is_same_v<T, float>) {
            static const float edges[] = {std::numeric_limits<float>::quiet_NaN(),
                                          std::numeric_limits<float>::infinity(),
                                          -std::numeric_limits<float>::infinity(),
                                          std::numeric_limits<float>::denorm_min(),
                                          -0.0f,
                                          1.0f,
                                          -90.0f,
                                          std::numeric_limits<float>::max()};
            return Pick(edges, [&] { return KepFloatFromBits(in.ConsumeIntegral<uint32_t>()); });
        } else if constexpr (std::is_same_v<T, const char*>) {
            // Null, empty, longer than a path, odd bytes, a directory, the
            // textures and the map file in the working directory.
            static const std::string longText(260, 'a');
            static const char* const texts[] = {
                nullptr,     "",         longText.c_str(), "\xff\xfe\x80", ".",
                "floor.bmp", "WALL.BMP", "sample.kep",     "name",         "caulk"};
            return Pick(texts,
                        [&] { return (m_text = in.ConsumeRandomLengthString(300)).c_str(); });
        } else if constexpr (std::is_same_v<T, char*>) {
            return m_previous; // a string command's previous result, as a script hands it back
        } else {
            static const int32_t edges[] = {-1, 0, 1,    2,    3,       4,      7,
                                            8,  9, 1000, 1001, INT_MIN, INT_MAX};
            return static_cast<T>(Pick(edges, [&] { return in.ConsumeIntegral<int32_t>(); }));
        }
    }

    // Calls an export with drawn arguments; a string result becomes the next
    // previous result.
    template <class R, class... A> void Call(R (*command)(A...)) {
        std::tuple<A...> args{Draw<A>()...}; // drawn left to right
        if constexpr (std::is_same_v<R, char*>)
            m_previous = std::apply(command, args);
        else
            std::apply(command, args);
    }

    FuzzedDataProvider& in;
    int loads = 0;

  private:
    template <class T, std::size_t N, class Other>
    std::remove_cv_t<T> Pick(T (&edges)[N], Other other) {
        const std::size_t pick = in.ConsumeIntegralInRange<std::size_t>(0, N);
        return pick < N ? edges[pick] : other();
    }
    std::string m_text;
    char* m_previous = nullptr;
};

// A buffer command gets exactly the room its string form's text needs, or null.
template <class... A>
void BufferCall(Commands& c, char* (*text)(char*, A...), int32_t (*copy)(char*, A...)) {
    const std::tuple<A...> args{c.Draw<A>()...};
    char* result = std::apply([&](A... a) { return text(nullptr, a...); }, args);
    std::vector<char> buffer(result ? std::strlen(result) + 1 : 1);
    host::DeleteHostString(result);
    char* into = c.in.ConsumeBool() ? buffer.data() : nullptr;
    std::apply([&](A... a) { return copy(into, a...); }, args);
}
template <auto Text, auto Copy> void Buffer(Commands& c) {
    BufferCall(c, Text, Copy);
}

template <auto Command> void Any(Commands& c) {
    c.Call(Command);
}

// A load of the sample map or fuzzer bytes, from a file or a memblock, or of a
// drawn name or memblock; loads past eight only slow an input down.
void Load(Commands& c) {
    if (++c.loads > 8) return;
    const int32_t flag = c.Draw<int32_t>();
    const int how = c.in.ConsumeIntegralInRange(0, 3);
    if (how == 0) KEP_Load(c.Draw<const char*>(), flag);
    if (how == 1) KEP_MakeKEPFromMemblock(c.Draw<int32_t>(), flag);
    if (how < 2) return;
    const kepw::Bytes bytes = c.in.ConsumeBool()
                                  ? fuzz::SampleMap()
                                  : c.in.ConsumeBytes<uint8_t>(c.in.ConsumeIntegralInRange(0, 600));
    if (how == 2 && kepw::WriteFile("input.kep", bytes))
        kepsession::LoadFile("input.kep", flag);
    else
        kepsession::LoadBytes(bytes, flag, kMapMemblock);
}

using Step = void (*)(Commands&);
// One line per command would make the list four times as long.
// clang-format off
const Step kSteps[] = {
    Load, Buffer<KEP_TextureName, KEPCPP_TextureName>, Buffer<KEP_Property, KEPCPP_Property>,
    Buffer<KEP_PropertyByKey, KEPCPP_PropertyByKey>, Any<Constructor>, Any<Destructor>,
    Any<KEP_Clear>, Any<KEP_SetCurrentMap>, Any<KEP_GetCurrentMap>, Any<KEP_ShowMap>,
    Any<KEP_HideMap>, Any<KEP_InitialObject>, Any<KEP_InitialImage>, Any<KEP_BlendMode>,
    Any<KEP_MediaIncluded>, Any<KEP_MapOffset>, Any<KEP_SetAmbient>, Any<KEP_GetLastError>,
    Any<KEP_GetLastErrorText>, Any<KEP_Version>, Any<KEP_Count>, Any<KEP_SurfaceCount>,
    Any<KEP_SurfaceTexture>, Any<KEP_TextureName>, Any<KEP_TextureID>, Any<KEP_Texture>,
    Any<KEP_TextureCreate>, Any<KEP_TextureMesh>, Any<KEP_EntityX>, Any<KEP_EntityY>,
    Any<KEP_EntityZ>, Any<KEP_PivotID>, Any<KEP_GetMeshIndex>, Any<KEP_Flags>,
    Any<KEP_PropertyCount>, Any<KEP_Property>, Any<KEP_PropertyByKey>, Any<KEP_Move>,
    Any<KEP_Position>, Any<KEP_Angle>, Any<KEP_Rotate>, Any<KEP_Show>, Any<KEP_Hide>,
    Any<KEP_ObjectToGroup>, Any<KEP_GroupToObject>, Any<KEP_GroupToPivot>, Any<KEP_PivotToGroup>,
    Any<KEP_MeshToGroup>, Any<KEP_EntityToGroup>, Any<GetNumDependencies>, Any<GetDependencyID>};
// clang-format on

int OneInput(const uint8_t* data, std::size_t size) {
    const ScopedWorkingDir here(fuzz::Scratch().Path());
    fuzz::StartInput();
    FuzzedDataProvider input(data, size);
    {
        Commands commands(input);
        for (int steps = 0; steps < 48 && input.remaining_bytes() > 0; ++steps)
            kSteps[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kSteps) - 1)](commands);
    }
    fuzz::ClearEveryMap();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return fuzz::Main(argc, argv, OneInput);
}
